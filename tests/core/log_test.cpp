#include "core/log.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "tests/support/temp_dir.h"

namespace sint {
namespace {

using sint::test::TempDir;

// True when `line` starts with "[dd.mm.yyyy hh:mm:ss]"; the rest goes to `message`.
bool timestamped(const std::string& line, std::string& message) {
    const std::string form = "[00.00.0000 00:00:00]";
    if (line.size() < form.size()) return false;
    for (std::size_t i = 0; i < form.size(); ++i) {
        const bool digit = line[i] >= '0' && line[i] <= '9';
        if (form[i] == '0' ? !digit : line[i] != form[i]) return false;
    }
    message = line.substr(form.size());
    return true;
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_path_ = log_path();
        set_log_path(dir_.file("sint.log"));
    }
    void TearDown() override {
        set_log_disabled(true);
        set_log_path(saved_path_);
    }
    std::string content() { return TempDir::read(dir_.file("sint.log")); }

    TempDir dir_;
    std::string saved_path_;
};

TEST_F(LogTest, DisabledWritesNothing) {
    set_log_disabled(true);
    log_write("nothing");
    report_error("still nothing on disk");
    EXPECT_FALSE(std::filesystem::exists(dir_.file("sint.log")));
    EXPECT_TRUE(error_flag());
    EXPECT_EQ(last_error(), "still nothing on disk");
    clear_error();
    EXPECT_FALSE(error_flag());
}

TEST_F(LogTest, EntriesCarryTheTimestamp) {
    set_log_disabled(false);
    log_write("GFP: 0.015000 s");
    log_write("two\r\n");
    std::istringstream lines(content());
    std::string line, message;
    ASSERT_TRUE(std::getline(lines, line));
    ASSERT_TRUE(timestamped(line, message)) << line;
    EXPECT_EQ(message, "GFP: 0.015000 s");
    ASSERT_TRUE(std::getline(lines, line));
    ASSERT_TRUE(timestamped(line, message)) << line;
    EXPECT_EQ(message, "two\r");
    ASSERT_TRUE(std::getline(lines, line));  // the LF of the message, then the entry's own
    EXPECT_EQ(line, "");
    EXPECT_FALSE(std::getline(lines, line));
}

TEST_F(LogTest, LastErrorIsCut) {
    set_log_disabled(true);
    report_error(std::string(2000, 'e'));
    EXPECT_EQ(last_error().size(), kLastErrorMax);
}

TEST_F(LogTest, Banners) {
    set_log_disabled(false);
    log_start_banner();
    log_stop_banner();
    const std::string stars(63, '*');
    const std::string text = content();
    EXPECT_NE(text.find("]\r\n" + stars + "\r\nSint launched\r\n" + stars + "\r\n\r\n\n"),
              std::string::npos);
    EXPECT_NE(text.find("]\n["), std::string::npos);  // the empty entry before the stop banner
    EXPECT_NE(text.find("\r\nSint stopped\r\n" + stars + "\r\n\n"), std::string::npos);
}

TEST_F(LogTest, TwoThreadsWriteWholeEntries) {
    set_log_disabled(false);
    auto writer = [](char c) {
        for (int i = 0; i < 200; ++i) {
            log_write(std::string(100, c));
            report_error(std::string(50, c));
        }
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();
    std::istringstream lines(content());
    std::string line, message;
    int count = 0;
    while (std::getline(lines, line)) {
        ASSERT_TRUE(timestamped(line, message)) << line;
        const bool whole = (message.size() == 100 || message.size() == 50) &&
                           message.find_first_not_of(message[0]) == std::string::npos;
        EXPECT_TRUE(whole) << line;
        ++count;
    }
    EXPECT_EQ(count, 800);
}

}  // namespace
}  // namespace sint

#include "server/log.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "tests/support/temp_dir.h"

namespace sint {
namespace {

using sint::testing::TempDir;

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
    const std::string text = content();
    const std::regex entry(R"(\[\d{2}\.\d{2}\.\d{4} \d{2}:\d{2}:\d{2}\]GFP: 0\.015000 s\n)"
                           R"(\[[^\]]+\]two\r\n\n)");
    EXPECT_TRUE(std::regex_match(text, entry)) << text;
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
    std::string line;
    int count = 0;
    const std::regex whole(R"(\[[^\]]+\](a{100}|b{100}|a{50}|b{50}))");
    while (std::getline(lines, line)) {
        EXPECT_TRUE(std::regex_match(line, whole)) << line;
        ++count;
    }
    EXPECT_EQ(count, 800);
}

}  // namespace
}  // namespace sint

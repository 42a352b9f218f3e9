#include "core/phone_symbols.h"

#include <gtest/gtest.h>

#include <string>

#include "core/log.h"
#include "tests/support/temp_dir.h"

namespace sint {
namespace {

class PhoneSymbolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        build_symbol_tables();
        set_log_path(dir_.file("sint.log"));
        set_log_disabled(false);
    }
    void TearDown() override { set_log_disabled(true); }
    std::string log() const { return test::TempDir::read(dir_.file("sint.log")); }

    test::TempDir dir_;
};

TEST_F(PhoneSymbolsTest, SampaToByteFollowsTheTable) {
    const struct {
        const char* sampa;
        const char* byte;
    } cases[] = {{"a:", "A"}, {"a", "a"},  {"_", " "},  {" ", " "},  {"E:", "3"},
                 {"@:", "%"}, {"e:", "e"}, {"o:", "o"}, {"u:", "9"}, {"=", "="}};
    for (const auto& c : cases) EXPECT_STREQ(sampa_to_byte(c.sampa), c.byte) << c.sampa;
    EXPECT_EQ(log(), "");
}

TEST_F(PhoneSymbolsTest, EveryRowRoundTripsExceptTheSharedBlank) {
    for (const PhoneSymbol& row : PhoneSymbolTable) {
        const std::string sampa = row.sampa;
        EXPECT_EQ(sampa_to_byte(sampa)[0], row.byte) << sampa;
        if (sampa != " ") {
            EXPECT_EQ(byte_to_sampa(row.byte), sampa);
        }
    }
    EXPECT_STREQ(byte_to_sampa(' '), "_");  // the later row wins the blank
}

TEST_F(PhoneSymbolsTest, UnknownSymbolsGiveEmptyTextAndALogEntry) {
    for (const char* bad : {"x", "q", "y", "abc", "e", ""}) {
        EXPECT_STREQ(sampa_to_byte(bad), "") << bad;
        EXPECT_NE(log().find(std::string("Znak <") + bad + "> ni SAMPA simbol!"), std::string::npos)
            << bad;
    }
}

TEST_F(PhoneSymbolsTest, ByteToSampaLogsUnknownBytesButNotMarks) {
    EXPECT_STREQ(byte_to_sampa('%'), "@:");
    EXPECT_STREQ(byte_to_sampa('$'), "");
    EXPECT_STREQ(byte_to_sampa('#'), "");
    EXPECT_EQ(log(), "");
    EXPECT_STREQ(byte_to_sampa('x'), "");
    EXPECT_NE(log().find("Character <x> is not a valid 1B symbol!"), std::string::npos);
}

TEST_F(PhoneSymbolsTest, HighBytesLookUpTheCellOf7Bits) {
    EXPECT_STREQ(sampa_to_byte(std::string(1, static_cast<char>('a' + 128))), "a");
    EXPECT_STREQ(byte_to_sampa(static_cast<char>('A' + 128)), "a:");
}

TEST_F(PhoneSymbolsTest, SampaStringsAreReadGreedily) {
    EXPECT_TRUE(is_sampa_string("ma:ma"));
    EXPECT_TRUE(is_sampa_string(""));
    EXPECT_TRUE(is_sampa_string("E:"));
    EXPECT_FALSE(is_sampa_string("max"));
    EXPECT_FALSE(is_sampa_string(":"));  // a lone length mark is no symbol
    EXPECT_TRUE(is_sampa_string("tS"));  // t then S
}

}  // namespace
}  // namespace sint

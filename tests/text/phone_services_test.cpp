// The phone-inventory and word-tag services that the prosody stages call.
#include <gtest/gtest.h>

#include "text_test_support.h"

namespace sint {
namespace {

TEST(PhoneServices, InventoryOfTheDefaultProfile) {
    const TGFP& engine = test::default_engine();
    EXPECT_EQ(engine.phone_inventory().size(), 48u);
    const int a = engine.phone_index("a");
    const int a_long = engine.phone_index("a:");
    const int b = engine.phone_index("b");
    ASSERT_GE(a, 0);
    ASSERT_GE(a_long, 0);
    ASSERT_GE(b, 0);
    EXPECT_EQ(engine.phone_index("x"), -1);
    EXPECT_EQ(engine.phone_index("abc"), -1);
    EXPECT_EQ(engine.phone_index(""), -1);

    std::vector<int> indices;
    EXPECT_EQ(engine.phone_indices("a:bX", indices), 2);
    EXPECT_EQ(indices, (std::vector<int>{a_long, b}));
    EXPECT_EQ(engine.phone_indices("", indices), 0);
    EXPECT_EQ(engine.phone_inventory().sonority(a), '1');
    EXPECT_EQ(engine.phone_inventory().sonority(b), '3');

    EXPECT_EQ(engine.first_long_phone("bama:"), 3);
    EXPECT_EQ(engine.first_long_phone("bamaX:"), -1);
    EXPECT_EQ(engine.first_long_phone("bEm"), -1);
}

TEST(WordTags, StripSplitClassify) {
    WordTagRecord record{"a:Lb:X", ""};
    TGFP::strip_word_tags(record);
    EXPECT_EQ(record.word, "a:b:(L,X)");
    EXPECT_EQ(record.tags, "L,X");

    record = {"a:TCb::c", ""};
    TGFP::strip_word_tags(record);
    EXPECT_EQ(record.word, "a:b::c(SC)");

    record = {"ab(L,A)", ""};
    EXPECT_TRUE(TGFP::split_word_tags(record));
    EXPECT_EQ(record.word, "ab");
    EXPECT_EQ(record.tags, "L,A");
    record = {"ab", ""};
    EXPECT_FALSE(TGFP::split_word_tags(record));

    const std::pair<std::string, char> cases[] = {
        {"(L,A)", 'a'}, {"(C,X)", 'x'}, {"C", 'c'}, {"L,S", '-'}, {"", '-'}, {"AC", 'a'},
    };
    for (const auto& [tags, expected] : cases) {
        SCOPED_TRACE(tags);
        EXPECT_EQ(TGFP::classify_word_tags(tags), expected);
    }
}

}  // namespace
}  // namespace sint

// Context rules: fields, group wildcards and the first-match order.
#include "text/rules.h"

#include <gtest/gtest.h>

#include "core/profile_file.h"
#include "core/status.h"
#include "tests/text/text_test_support.h"

namespace sint {
namespace {

// A rule table read from a one-key profile; the load result in `result`.
RuleTable rules_from(const std::string& value, int& result) {
    test::TempDir dir;
    test::write_file(dir.path() / "r.ini", "pravila = " + value + "\n");
    ProfileFile profile(dir.str() + "r.ini", false);
    RuleTable table;
    result = table.load(profile, "pravila");
    if (result == 0) table.build_index(test::default_engine().classes());
    return table;
}

TEST(RuleTable, FieldsWildcardsAndOrder) {
    int result = 0;
    // 1 is the vowel group of the default profile, 5 the voiceless one.
    const RuleTable table =
        rules_from("=\tb\t5\tp\t1\tv\t_\tU\t=\tv\t=\tv\t=\tab\t=\tX\t=\ta\t=\ta", result);
    ASSERT_EQ(result, 0);
    const CharClassTable& classes = test::default_engine().classes();
    struct Case {
        const char* text;
        std::size_t position;
        const char* replacement;  // nullptr: no rule
    };
    const Case cases[] = {
        {" bs ", 1, "p"},                          // right context by group
        {" bm ", 1, nullptr}, {" ov ", 2, "U"},    // left context by group, "_" is a space
        {" ovx", 2, "v"},                          // the next rule
        {" ab ", 1, "X"},                          // the first match wins over the later "a"
        {" a", 1, "a"},       {" b", 1, nullptr},  // the text's end matches nothing
    };
    for (const Case& c : cases) {
        const Rule* rule = table.match(c.text, c.position, classes, true);
        if (c.replacement == nullptr) {
            EXPECT_EQ(rule, nullptr) << c.text;
        } else {
            ASSERT_NE(rule, nullptr) << c.text;
            EXPECT_EQ(rule->replacement, c.replacement) << c.text;
        }
    }
}

TEST(RuleTable, CountsAndEmptyTargets) {
    int result = 0;
    rules_from("a\tb\tc", result);
    EXPECT_EQ(result, kRuleCountWrong);
    rules_from("", result);
    EXPECT_EQ(result, kNotPossible);
    const RuleTable table = rules_from("a\t=\tb\tX", result);
    ASSERT_EQ(result, 0);
    const CharClassTable& classes = test::default_engine().classes();
    // An empty target never advances: the letter pass skips it, the
    // word-boundary pass may use it.
    EXPECT_EQ(table.match("ab", 1, classes, true), nullptr);
    EXPECT_NE(table.match("ab", 1, classes, false), nullptr);
}

}  // namespace
}  // namespace sint

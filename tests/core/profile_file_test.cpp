#include "core/profile_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/log.h"
#include "core/scramble.h"
#include "core/status.h"
#include "tests/support/temp_dir.h"

namespace sint {
namespace {

using sint::test::TempDir;

class ProfileTest : public ::testing::Test {
protected:
    ProfileFile load(std::string_view content, bool scrambled = false) {
        std::string bytes(content);
        if (scrambled) bytes = sint::scrambled(bytes);
        return ProfileFile(dir_.write("p.ini", bytes), scrambled);
    }
    std::string str(const ProfileFile& p, std::string_view key, std::size_t capacity = 256) {
        std::string out;
        EXPECT_GE(p.get_string(key, out, capacity), 0) << key;
        return out;
    }
    TempDir dir_;
};

TEST_F(ProfileTest, StringNormalisation) {
    struct Case {
        const char* file;
        const char* expected;
    } cases[] = {
        {"k= one two\r\n   three\r\n", "one two three"},
        {"k = spaced\n", "spaced"},
        {"k=a\n b\n", "a b"},
        {"k=a\r\n\r\n\r\n b", "a b"},            // a run of line breaks gives one blank
        {"k=tail blanks  \n", "tail blanks  "},  // file blanks at the end stay
        {"k=x\n\ty\n", "x y"},                   // tabs at a continuation start dropped
        {"k=5 # not a comment\n", "5 # not a comment"},
        {"k=a\n#comment\n continuation\n", "a"},  // the comment hides the continuation
        {"k=\n", ""},
    };
    for (const Case& c : cases) {
        ProfileFile p = load(c.file);
        ASSERT_TRUE(p.is_loaded()) << c.file;
        EXPECT_EQ(str(p, "k"), c.expected) << c.file;
        EXPECT_EQ(p.string_length("k"), static_cast<int>(std::strlen(c.expected))) << c.file;
    }
}

TEST_F(ProfileTest, GetStringRespectsCapacity) {
    ProfileFile p = load("k=abcdefgh\n");
    char small[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(p.get_string("k", small, sizeof small), 3);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(p.string_length("k"), 8);
}

TEST_F(ProfileTest, KeyRulesAndFirstOccurrenceWins) {
    ProfileFile p = load("anything that starts with a letter\n");
    EXPECT_FALSE(p.is_loaded());  // a letter at a line start begins an entry

    ProfileFile q = load("  text before entries\nA_b1 =x\nA_b1=y\na_b1=z\n");
    ASSERT_TRUE(q.is_loaded());
    EXPECT_EQ(str(q, "A_b1"), "x");
    EXPECT_EQ(str(q, "a_b1"), "z");  // case matters
    EXPECT_EQ(q.string_length("missing"), kNotPossible);
}

TEST_F(ProfileTest, MissingEqualsFailsWithLineNumber) {
    clear_error();
    ProfileFile crlf = load("a=1\r\nb=2\r\nkey 5\r\n");
    EXPECT_FALSE(crlf.is_loaded());
    EXPECT_EQ(last_error(), "Napaka v profile datoteki - vrstica 3\n");
    ProfileFile lf = load("a=1\n\nkey 5\n");
    EXPECT_FALSE(lf.is_loaded());
    EXPECT_EQ(last_error(), "Napaka v profile datoteki - vrstica 3\n");
    ProfileFile at_end = load("a=1\nkey");
    EXPECT_FALSE(at_end.is_loaded());
    EXPECT_EQ(at_end.count_items("a", ','), -1);  // not loaded: every query is -1
}

TEST_F(ProfileTest, EmptyAndMissingFiles) {
    ProfileFile empty = load("");
    EXPECT_TRUE(empty.is_loaded());
    EXPECT_EQ(empty.entry_count(), 0);
    std::int32_t n = 7;
    EXPECT_EQ(empty.get_int("x", n), -1);
    EXPECT_EQ(n, 7);

    ProfileFile missing(dir_.file("nothing.ini"), false);
    EXPECT_FALSE(missing.is_loaded());
    EXPECT_EQ(last_error(), "Napaka pri odpiranju datoteke <" + dir_.file("nothing.ini") + ">");
}

TEST_F(ProfileTest, Numbers) {
    ProfileFile p = load("hex=0x10\noct=010\nword=abc\nneg= -42\nreal=2.5e1\n");
    std::int32_t v = -1;
    EXPECT_EQ(p.get_int("hex", v), 0);
    EXPECT_EQ(v, 16);
    EXPECT_EQ(p.get_int("oct", v), 0);
    EXPECT_EQ(v, 8);
    EXPECT_EQ(p.get_int("word", v), 0);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(p.get_int("neg", v), 0);
    EXPECT_EQ(v, -42);
    double d = 0;
    EXPECT_EQ(p.get_real("real", d), 0);
    EXPECT_DOUBLE_EQ(d, 25.0);
}

TEST_F(ProfileTest, ItemRule) {
    ProfileFile p = load("list=1,2\n 3\nab=a, b\nblank=a  b\nnone=\ntrail=x,\n");
    EXPECT_EQ(p.count_items("list", ','), 3);
    EXPECT_EQ(p.count_items("blank", ' '), 2);
    EXPECT_EQ(p.count_items("none", ','), 0);
    EXPECT_EQ(p.count_items("trail", ','), 1);
    EXPECT_EQ(p.count_items("absent", ','), -1);

    std::vector<char*> items;
    ASSERT_EQ(p.split_items("ab", ',', items), 2);
    EXPECT_STREQ(items[0], "a");
    EXPECT_STREQ(items[1], " b");  // the blank after the separator starts the item

    std::vector<std::int32_t> ints;
    EXPECT_EQ(p.get_int_list("list", ',', ints), 3);
    EXPECT_EQ(ints, (std::vector<std::int32_t>{1, 2, 3}));
}

TEST_F(ProfileTest, NumberListsOfEveryKind) {
    ProfileFile p = load("n=1.5, 0x1F ,-3\n");
    std::vector<double> d;
    std::vector<float> f;
    std::vector<std::int32_t> i;
    EXPECT_EQ(p.get_number_list("n", ',', d), 3);
    EXPECT_EQ(p.get_number_list("n", ',', f), 3);
    EXPECT_EQ(p.get_number_list_int("n", ',', i), 3);
    EXPECT_DOUBLE_EQ(d[0], 1.5);
    EXPECT_FLOAT_EQ(f[2], -3.0f);
    EXPECT_EQ(i, (std::vector<std::int32_t>{1, 31, -3}));
    std::vector<std::int32_t> atol_like;
    p.get_int_list("n", ',', atol_like);
    EXPECT_EQ(atol_like[1], 0);  // decimal only, like atol
}

TEST_F(ProfileTest, StringListReportsAbsentAndEmpty) {
    ProfileFile p = load("empty=\nwords=ena dva  tri\n");
    std::vector<char*> items;
    clear_error();
    EXPECT_EQ(p.get_string_list("empty", ' ', items), 0);
    EXPECT_EQ(last_error(), "Napaka pri branju spremenljivk: empty\n");
    EXPECT_EQ(p.get_string_list("absent", ' ', items), -1);
    ASSERT_EQ(p.get_string_list("words", ' ', items), 3);
    EXPECT_STREQ(items[2], "tri");
}

TEST_F(ProfileTest, ScrambledFileReadsAsPlain) {
    ProfileFile p = load("ini_x = vrednost\r\nn=3\r\n", true);
    ASSERT_TRUE(p.is_loaded());
    EXPECT_EQ(str(p, "ini_x"), "vrednost");
    ProfileFile wrong(dir_.file("p.ini"), false);  // the scrambled bytes read plain
    EXPECT_NE(wrong.string_length("ini_x"), 8);
}

TEST_F(ProfileTest, HostileContentNeverReadsPastTheBuffer) {
    std::string nuls("k=a\0b\nz=\0\0\0\n", 13);
    ProfileFile p = load(nuls);
    ASSERT_TRUE(p.is_loaded());
    EXPECT_EQ(str(p, "k"), "a");
    EXPECT_EQ(str(p, "z"), "");

    std::string huge = "k=" + std::string(10 * 1024 * 1024, 'x');  // no final line end
    ProfileFile big = load(huge);
    ASSERT_TRUE(big.is_loaded());
    EXPECT_EQ(big.string_length("k"), 10 * 1024 * 1024);

    std::string long_key = std::string(1000, 'K') + "=1";
    ProfileFile lk = load(long_key);
    std::int32_t v = 0;
    EXPECT_EQ(lk.get_int(std::string(1000, 'K'), v), 0);
    EXPECT_EQ(v, 1);

    std::string binary;
    for (int i = 0; i < 4096; ++i) binary.push_back(static_cast<char>((i * 7919) & 0xFF));
    ProfileFile b = load(binary);  // loads or fails, but never crashes
    (void)b.entry_count();
}

TEST(DecodeQuoted, Escapes) {
    struct Case {
        const char* in;
        int result;
        const char* out;
    } cases[] = {
        {"\"a\\tb\"", 0, "a\tb"},
        {"  x \"q\\\"uote\\\\\" rest", 0, "q\"uote\\"},
        {"\"\\n\\r\\a\\v\\b\\f\\z\"", 0, "\n\r\a\v\b\fz"},
        {"no quote", -1, nullptr},
        {"\"unterminated", -1, nullptr},
        {"\"ends in backslash\\", -1, nullptr},
    };
    for (const Case& c : cases) {
        std::string text = c.in;
        EXPECT_EQ(ProfileFile::decode_quoted(text), c.result) << c.in;
        if (c.out) {
            EXPECT_EQ(text, c.out) << c.in;
        }
    }
    std::string nul = "\"a\\0b\"";
    EXPECT_EQ(ProfileFile::decode_quoted(nul), 0);
    EXPECT_EQ(nul, "a");
}

}  // namespace
}  // namespace sint

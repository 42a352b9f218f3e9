// Pronunciation dictionaries: the directory with priorities, the index file, and
// refusal of damaged files.
#include "text/dictionary.h"

#include <gtest/gtest.h>

#include <fstream>

#include "core/scramble.h"
#include "core/status.h"
#include "text_test_support.h"

namespace sint {
namespace {

using test::TempDir;
using test::write_file;

class DictionaryTest : public ::testing::Test {
protected:
    TempDir dir_;
    std::string folder() const { return dir_.str() + "dct/"; }
    void add(const std::string& name, const std::string& text) {
        std::filesystem::create_directories(folder());
        write_file(folder() + name, text);
    }
    std::string lookup(const PronunciationDictionary& d, std::string_view key) const {
        const char* found = d.lookup(key);
        return found ? found : "<none>";
    }
};

TEST_F(DictionaryTest, PrioritiesDecideWhateverTheOrder) {
    add("a.dct", "hi\tlow\r\nskupni\tA\r\nsamo\tsamo-a\r\n");
    add("b.dct", "hi\thigh\r\nskupni\tB\r\n");
    add("c.dct", "hi\tmiddle\r\n");
    PronunciationDictionary d;
    ASSERT_EQ(d.read_directory(folder(), {"B.DCT", "c.dct"}, true), 0);
    EXPECT_EQ(lookup(d, "hi"), "high");
    EXPECT_EQ(lookup(d, "skupni"), "B");
    EXPECT_EQ(lookup(d, "samo"), "samo-a");  // only in a file without priority
    EXPECT_EQ(lookup(d, "h"), "<none>");
    EXPECT_EQ(lookup(d, "hii"), "<none>");
    EXPECT_EQ(lookup(d, ""), "<none>");
}

TEST_F(DictionaryTest, FilesJoinedAndLinesTolerated) {
    add("a.dct", "zadnja\tbrez konca");  // no final line end
    add("b.dct", "prva\tp\tignored field\nlf\tsamo LF\rcr\tsamo CR\r\nbrez tabulatorja\r\n\r\n");
    PronunciationDictionary d;
    ASSERT_EQ(d.read_directory(folder(), {}, true), 0);
    EXPECT_EQ(lookup(d, "zadnja"), "brez konca");
    EXPECT_EQ(lookup(d, "prva"), "p");
    EXPECT_EQ(lookup(d, "lf"), "samo LF");
    EXPECT_EQ(lookup(d, "cr"), "samo CR");
    EXPECT_EQ(lookup(d, "brez tabulatorja"), "<none>");
    EXPECT_EQ(d.size(), 4u);
}

TEST_F(DictionaryTest, WhichFilesAreRead) {
    add("plain.dct", "plain\tP\r\n");
    add("secret.dst", scrambled("secret\tS\r\n"));
    add("upper.DCT", "upper\tU\r\n");
    add("other.txt", "other\tO\r\n");
    std::filesystem::create_directories(folder() + "folder.dct");
    PronunciationDictionary d;
    ASSERT_EQ(d.read_directory(folder(), {}, false), 0);
    EXPECT_EQ(lookup(d, "plain"), "<none>");  // plain dictionaries not allowed
    EXPECT_EQ(lookup(d, "secret"), "S");
    ASSERT_EQ(d.read_directory(folder(), {}, true), 0);
    EXPECT_EQ(lookup(d, "plain"), "P");
    EXPECT_EQ(lookup(d, "upper"), "<none>");  // the extension test is case-sensitive
    EXPECT_EQ(lookup(d, "other"), "<none>");
}

TEST_F(DictionaryTest, EmptyOrMissingDirectoryFails) {
    PronunciationDictionary d;
    EXPECT_EQ(d.read_directory(folder() + "missing/", {}, true), -1);
    add("only.txt", "x\ty\r\n");
    EXPECT_EQ(d.read_directory(folder(), {}, true), -1);
    EXPECT_TRUE(d.empty());
}

TEST_F(DictionaryTest, AtMost41FilesAreUsed) {
    for (int i = 0; i < 45; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%02d.dct", i);
        char line[32];
        std::snprintf(line, sizeof line, "w%d\tx\r\n", i);
        add(name, line);
    }
    PronunciationDictionary d;
    ASSERT_EQ(d.read_directory(folder(), {}, true), 0);
    EXPECT_EQ(d.size(), 41u);
    EXPECT_EQ(lookup(d, "w40"), "x");
    EXPECT_EQ(lookup(d, "w41"), "<none>");
}

TEST_F(DictionaryTest, IndexReadsBackToTheSameLookups) {
    PronunciationDictionary from_dir;
    ASSERT_EQ(from_dir.read_directory(test::default_dictionary_dir(), {}, true), 0);
    add("x.dct", "");
    add("prio.dct", "doktor\tPRIORITY\r\n");
    PronunciationDictionary with_priority;
    ASSERT_EQ(with_priority.read_directory(folder(), {"prio.dct"}, true), 0);

    for (const PronunciationDictionary* source : {&from_dir, &with_priority}) {
        const std::string index = dir_.str() + "data/MorvenaIdra.ndx";
        ASSERT_EQ(source->write_index(index), 0);
        PronunciationDictionary from_index;
        ASSERT_EQ(from_index.read_index(index), 0);
        EXPECT_EQ(from_index.size(), source->size());
        for (const char* key : {"doktor", "na primer", "v~eraj", "je", "ni", "", "zzz"}) {
            SCOPED_TRACE(key);
            EXPECT_EQ(lookup(from_index, key), lookup(*source, key));
        }
    }
}

TEST_F(DictionaryTest, DamagedIndexIsRefused) {
    PronunciationDictionary source;
    add("a.dct", "ena\t1\r\ndve\t2\r\ntri\t3\r\n");
    ASSERT_EQ(source.read_directory(folder(), {}, true), 0);
    const std::string index = dir_.str() + "good.ndx";
    ASSERT_EQ(source.write_index(index), 0);
    const std::string good = test::read_file(index);

    const auto patched = [&](std::size_t at, std::uint32_t value) {
        std::string text = good;
        for (int i = 0; i < 4; ++i) text[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
        return text;
    };
    // Shorter than 25 bytes: an empty dictionary, read successfully.
    for (const std::string& text : {std::string(), good.substr(0, 24)}) {
        write_file(dir_.path() / "short.ndx", text);
        PronunciationDictionary d;
        EXPECT_EQ(d.read_index((dir_.path() / "short.ndx").string()), 0);
        EXPECT_TRUE(d.empty());
    }
    const std::pair<std::string, std::string> cases[] = {
        {"header and one byte", good.substr(0, 25)},
        {"truncated", good.substr(0, good.size() - 1)},
        {"one byte more", good + "x"},
        {"wrong text offset", patched(0, 25)},
        {"huge count", patched(20, 0x7FFFFFFF)},
        {"huge text", patched(4, 0xFFFFFFF0)},
        {"line table length", patched(12, 4)},
        {"no line ends", std::string(24, '\0') + std::string(1000, 'a')},
    };
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        write_file(dir_.path() / "bad.ndx", text);
        PronunciationDictionary d;
        EXPECT_EQ(d.read_index((dir_.path() / "bad.ndx").string()), kNotPossible);
        EXPECT_TRUE(d.empty());
    }
    // Line offsets that point outside the text or out of order.
    std::string bad_offsets = good;
    const std::size_t text_size = static_cast<unsigned char>(good[4]);
    scramble_bytes(&bad_offsets[24 + text_size], 12, 24 + text_size);
    bad_offsets[24 + text_size] = static_cast<char>(0xFF);
    scramble_bytes(&bad_offsets[24 + text_size], 12, 24 + text_size);
    write_file(dir_.path() / "bad.ndx", bad_offsets);
    PronunciationDictionary d;
    EXPECT_EQ(d.read_index((dir_.path() / "bad.ndx").string()), kNotPossible);
    EXPECT_EQ(d.read_index(dir_.str() + "missing.ndx"), kNotPossible);
    EXPECT_EQ(d.read_index(index), 0);
    EXPECT_EQ(lookup(d, "dve"), "2");
}

TEST_F(DictionaryTest, IndexThatCannotBeWrittenLeavesNothing) {
    PronunciationDictionary source;
    add("a.dct", "ena\t1\r\n");
    ASSERT_EQ(source.read_directory(folder(), {}, true), 0);
    write_file(dir_.path() / "file", "x");
    EXPECT_EQ(source.write_index(dir_.str() + "file/sub/index.ndx"), kNotPossible);
    EXPECT_EQ(lookup(source, "ena"), "1");
}

}  // namespace
}  // namespace sint

// The four readers of the voice's symbol table: text analysis (addresses), the
// server's letter names, the SSML punctuation modes and sd_sint's key names
// all say what the one file says, and an edited file changes all four.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "core/symbol_names.h"
#include "server/letter_names.h"
#include "text/tgfp.h"
#include "tools/sd_sint/key_names.h"
#include "tools/ssml/speech_plan.h"

namespace sint {
namespace {

namespace fs = std::filesystem;

const std::string kVoice = std::string(SINT_SOURCE_DIR) + "/voice/";

std::string read_file(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string replaced(std::string text, std::string_view old_row, std::string_view new_row) {
    const auto at = text.find(old_row);
    EXPECT_NE(at, std::string::npos) << old_row;
    if (at != std::string::npos) text.replace(at, old_row.size(), new_row);
    return text;
}

// What text analysis makes of an address before the later stages.
std::string address_reading(const std::string& profile) {
    TextOptions options;
    options.dictionary_dir = kVoice + "slovarji/";
    options.statistics_dir = kVoice + "statistika/";
    options.word_forms_path = std::string(SINT_PROGRAM_DIR) + "/slovarji/oblike.lex";
    options.dictionaries_scrambled = false;
    TGFP engine(profile, options, "/nonexistent/index.ndx");
    std::string characters;
    engine.set_stage_observer([&](std::string_view stage, const std::string& text) {
        if (stage == "characters") characters = text;
    });
    engine.convert_text("info@primer.si", true);
    return characters;
}

TEST(SymbolTable, TheFourReadersSayWhatTheFileSays) {
    std::random_device random;
    const fs::path folder =
        fs::temp_directory_path() / ("sint-symbols-" + std::to_string(random()));
    fs::create_directories(folder);
    fs::copy_file(kVoice + "gfp.ini", folder / "gfp.ini");
    const std::string voice_table = read_file(kVoice + "simboli.ini");
    const std::string edited =
        replaced(replaced(voice_table, " @ afna | a:fna", " @ afna znak | a:fna zna:k"),
                 " tab tabulator", " tab tabulatorska tipka");
    const struct {
        std::string table, at_name, at_transcription, tab_name;
    } cases[] = {
        {voice_table, "afna", "a:fna", "tabulator"},
        {edited, "afna znak", "a:fna zna:k", "tabulatorska tipka"},
    };
    for (const auto& c : cases) {
        std::ofstream(folder / "simboli.ini", std::ios::binary) << c.table;
        const std::string profile = (folder / "gfp.ini").string();
        const auto names = std::make_shared<const SymbolNames>(SymbolNames::beside(profile));
        ASSERT_TRUE(names->loaded());
        EXPECT_EQ(address_reading(profile), "info " + c.at_name + " primer pika si");
        EXPECT_EQ(letter_transcription(names.get(), '@'), c.at_transcription);
        EXPECT_EQ(name_punctuation("@", PunctuationMode::Some, names.get()),
                  " " + c.at_name + " @");
        VoiceParams voice;
        voice.symbol_names = names;
        const auto plan = key_plan("tab", voice);
        ASSERT_EQ(plan.size(), 1u);
        EXPECT_EQ(plan[0].text, c.tab_name);
    }
    fs::remove_all(folder);
}

TEST(SymbolTable, BadRowsAreSkippedAndAMissingFileNamesNothing) {
    std::random_device random;
    const fs::path path = fs::temp_directory_path() / ("sint-symbols-" + std::to_string(random()));
    std::ofstream(path, std::ios::binary)
        << "Znaki =\n ab dva znaka | x\n (\n ) zaklepaj | zaklEpa:I\n"
           "Tipke =\n tab\n space presledek | p\n up gor\n";
    const SymbolNames names(path.string());
    fs::remove(path);
    EXPECT_TRUE(names.loaded());
    EXPECT_EQ(names.name('('), "");
    EXPECT_EQ(names.name(')'), "zaklepaj");
    EXPECT_EQ(names.transcription(')'), "zaklEpa:I");
    EXPECT_EQ(names.key_name("tab"), "");
    EXPECT_EQ(names.key_name("space"), "");
    EXPECT_EQ(names.key_name("up"), "gor");
    const SymbolNames missing("/nonexistent/simboli.ini");
    EXPECT_FALSE(missing.loaded());
    EXPECT_EQ(missing.name('.'), "");
    EXPECT_EQ(SymbolNames::beside("a/b/gfp.ini"), "a/b/simboli.ini");
    EXPECT_EQ(SymbolNames::beside("gfp.ini"), "simboli.ini");
}

}  // namespace
}  // namespace sint

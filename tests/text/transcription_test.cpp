// Word transcription on the default voice: phones of the inventory only,
// clitics, stress marks, and bad input that must not break the conversion.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/text/text_test_support.h"
#include "text/dictionary.h"
#include "text/text_options.h"

namespace sint {
namespace {

std::string transcribe(const std::string& text) {
    TGFP& engine = test::default_engine();
    engine.convert_text(text, true);
    return engine.result_text();
}

// The position of the first character of `out` that is neither a phone of the
// inventory nor a mark the prosody stages read; npos when all are.
std::size_t first_stray(const TGFP& engine, const std::string& out) {
    const std::string marks = " .,;:!?-]}#";
    std::size_t i = 0;
    while (i < out.size()) {
        if (i + 1 < out.size() && engine.phone_index(out.substr(i, 2)) >= 0) {
            i += 2;
        } else if (engine.phone_index(out.substr(i, 1)) >= 0 ||
                   marks.find(out[i]) != std::string::npos) {
            ++i;
        } else {
            return i;
        }
    }
    return std::string::npos;
}

TEST(Transcription, NewsParagraphUsesOnlyInventoryPhones) {
    const std::string text =
        "Ljubljana, 5. maja 2024 - Vlada je v ponedeljek ob 10.30 sprejela predlog, po "
        "katerem bo cena bencina 1,45 EUR za liter, kar je 3 % več kot lani. Minister dr. "
        "Novak je povedal, da bo NLB izplačala 250.000 evrov. Ali bo OK? Šofer Žiga je "
        "prevozil 102 km v 2 h, čeprav je bilo 30 C.";
    const std::string out = transcribe(text);
    ASSERT_FALSE(out.empty());
    const std::size_t stray = first_stray(test::default_engine(), out);
    EXPECT_EQ(stray, std::string::npos) << out.substr(stray == std::string::npos ? 0 : stray);
    for (char c : out) EXPECT_FALSE(c >= '0' && c <= '9') << out;
}

TEST(Transcription, StressedVowelIsMarkedLong) {
    const std::string out = transcribe(
        "hi\x9A"
        "a");
    EXPECT_NE(out.find("i:"), std::string::npos) << out;
    EXPECT_NE(out.find('S'), std::string::npos) << out;
}

TEST(Transcription, ProcliticIsGluedToTheNextWord) {
    const std::string out = transcribe("Grem k hiši.");
    EXPECT_NE(out.find(" kh"), std::string::npos) << out;
}

TEST(Transcription, EncliticIsGluedToThePreviousWordOnly) {
    const std::string out = transcribe("Vidim ga danes.");
    // "ga" follows its host without a space and is followed by one.
    const std::size_t ga = out.find("ga ");
    ASSERT_NE(ga, std::string::npos) << out;
    ASSERT_GT(ga, 0u);
    EXPECT_NE(out[ga - 1], ' ') << out;
}

TEST(Transcription, FinalDevoicingAndVoicingAssimilation) {
    EXPECT_NE(transcribe("grad").find("t "), std::string::npos) << transcribe("grad");
    EXPECT_NE(transcribe("glasba").find("zb"), std::string::npos) << transcribe("glasba");
    EXPECT_NE(transcribe("banka").find("Nk"), std::string::npos) << transcribe("banka");
}

TEST(Transcription, PunctuationIsAToken) {
    const std::string out = transcribe("Da, ne.");
    EXPECT_NE(out.find(" , "), std::string::npos) << out;
    EXPECT_EQ(out.back(), ' ');
}

TEST(Transcription, LongTokenIsLookedUpByItsFirst64Characters) {
    const std::string key(64, 'a');
    test::TempDir dir;
    test::write_file(dir.path() / "d.dct", key + "\tX\r\nb\tY\r\n");
    PronunciationDictionary dictionary;
    ASSERT_EQ(dictionary.read_directory(dir.str(), {}, true), 0);
    const TGFP& engine = test::default_engine();
    std::string out;
    // The first 64 characters are the hit; the rest is read as the next token.
    const int hits = engine.word_transcriber().transcribe(
        key + "aa b ", out, true, engine.classes(), dictionary, engine.stress_statistics());
    EXPECT_EQ(hits, 2);
    EXPECT_EQ(out.substr(0, 2), "X ") << out;
    EXPECT_NE(out.find(" Y "), std::string::npos) << out;
}

TEST(Transcription, BadInputConvertsWithoutFault) {
    std::string every_byte;
    for (int b = 1; b < 256; ++b) every_byte += static_cast<char>(b);
    const std::string inputs[] = {
        std::string(200, 'a'),         std::string(200, 'r'), std::string(10000, '9'),
        std::string(3000, 'A') + " B", "!!!???...,,,;;;",     every_byte,
        std::string(20000, ' ') + "x", "/ \\ | ' \" # $ % &",
    };
    for (const std::string& input : inputs) {
        const std::string out = transcribe(input);
        EXPECT_LT(out.size(), kStageBufferSize);
        TGFP& engine = test::default_engine();
        engine.convert_sentence(input.c_str(), true);
        while (engine.convert_sentence(nullptr, true) > 0) {
        }
    }
}

// A copy of the default profile with one key's line replaced.
std::string profile_with(const std::string& key, const std::string& line) {
    std::string text = test::read_file(test::default_profile_path());
    const std::size_t at = text.find("\n" + key + " =");
    EXPECT_NE(at, std::string::npos) << key;
    const std::size_t end = text.find('\n', at + 1);
    return text.substr(0, at + 1) + line + text.substr(end);
}

TEST(TranscriptionLoading, BadProfilesAreRefused) {
    const std::pair<const char*, const char*> cases[] = {
        {"pravila_slovar", "pravila_slovar = a\tb\tc"},
        {"gl_stevnik", "gl_stevnik = ena\tdve"},
        {"predpone", "predpone ="},
        {"najverjetnejsi_zlogi", "najverjetnejsi_zlogi ="},
        {"Razvrstitev_fonemov", "Razvrstitev_fonemov = 111"},
    };
    for (const auto& [key, line] : cases) {
        test::TempDir dir;
        test::write_file(dir.path() / "gfp.ini", profile_with(key, line));
        TextOptions settings;
        test::use_default_voice(settings);
        EXPECT_THROW(TGFP(dir.str() + "gfp.ini", settings, "/nonexistent/index.ndx"),
                     std::runtime_error)
            << key;
    }
}

}  // namespace
}  // namespace sint

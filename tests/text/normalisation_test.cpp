// Character conversion, clock times, abbreviations and compounds, with the
// default profile's data.
#include <gtest/gtest.h>

#include "core/cp1250.h"
#include "core/profile_file.h"
#include "text/char_conversion.h"
#include "text/clock_times.h"
#include "text_test_support.h"

namespace sint {
namespace {

std::string convert(std::string_view text, CharConversionOptions options = {}) {
    std::string out;
    convert_characters(text, out, kStageLimit, options);
    return out;
}

TEST(CharConversion, BothCodePagesGiveTheSameInternalText) {
    // č š ž Č Š Ž in ISO 8859-2 and in code page 1250; ć đ Đ alike in both.
    const std::string iso = "\xE8\xB9\xBE \xC8\xA9\xAE \xE6\xF0\xD0";
    const std::string cp1250 = "\xE8\x9A\x9E \xC8\x8A\x8E \xE6\xF0\xD0";
    EXPECT_EQ(convert(iso), "~{` ^[@ ~d`d`");
    EXPECT_EQ(convert(cp1250), convert(iso));
}

TEST(CharConversion, Table) {
    struct Case {
        std::string in;
        CharConversionOptions options;
        std::string out;
    };
    const CharConversionOptions seven{true, false, false};
    const CharConversionOptions quotes{false, true, false};
    const CharConversionOptions filter{false, false, true};
    const Case cases[] = {
        {"a{b~c", {}, "a b c"},     // 7-bit codes refused become spaces
        {"a{b~c", seven, "a{b~c"},  // accepted: read as letters
        {"`~@^[{]}\\|", {}, "          "},
        {"5\x80", {}, "5EUR "},    // the euro sign
        {"5 \xEC", {}, "5 \xEC"},  // the tolar sign passes
        {"a\x01\x1F\xFF"
         "b",
         {},
         "ab"},  // control and unknown bytes are dropped
        {"a\tb\xA0"
         "c",
         {},
         "a b c"},  // tabs and non-breaking spaces separate words
        {"x\r\ny", {}, "x\r\ny"},
        {"\"sola \"Cas \"zaba \"x", quotes, "{ola ^as `aba \"x"},
        {"\"sola", {}, "\"sola"},
        {"a> b <c>", filter, "a; b  c "},
        {"a>b", filter, "a b"},
        {"a>", filter, "a "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(convert(c.in, c.options), c.out);
    }
}

TEST(CharConversion, StopsBeforeTheLimit) {
    std::string out;
    convert_characters(std::string(100, 'a'), out, 50, {});
    EXPECT_LE(out.size(), 50u);
    EXPECT_GE(out.size(), 47u);
    convert_characters(std::string(100, '\x80'), out, 50, {});
    EXPECT_LE(out.size(), 50u);
}

TEST(Cp1250, Utf8IsConvertedOtherBytesKept) {
    EXPECT_EQ(utf8_to_cp1250("\xC4\x8D\xC5\xA1\xC5\xBE \xE2\x82\xAC"), "\xE8\x9A\x9E \x80");
    EXPECT_EQ(utf8_to_cp1250("\x9A\xE8 \x9E"), "\x9A\xE8 \x9E");  // not UTF-8: as it is
    // Characters the code page lacks: transliterated or dropped, never "?".
    EXPECT_EQ(utf8_to_cp1250("\xE4\xB8\xAD"), "");
    EXPECT_EQ(utf8_to_cp1250("x\xC2\xB2 \xC3\xB1 \xE2\x80\x93 \xF0\x9F\x98\x80?"), "x2 n \x96 ?");
    EXPECT_EQ(utf8_to_cp1250("\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 \xD0\xB6"),
              "Moskva \x9E");
    const char16_t utf16[] = {0x00B3, 0x0142, 0xD83D, 0xDE00};
    EXPECT_EQ(utf16_to_cp1250(utf16, 4), "3\xB3");
    EXPECT_FALSE(is_valid_utf8("\xC0\xAF"));      // overlong
    EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(is_valid_utf8("\xC4"));          // cut short
}

// The text after the clock-time stage of the default engine.
std::string after_stage(const std::string& text, std::string_view wanted) {
    TGFP& engine = test::default_engine();
    std::string result;
    engine.set_stage_observer([&](std::string_view stage, const std::string& out) {
        if (stage == wanted) result = out;
    });
    engine.convert_text(text, true);
    engine.set_stage_observer(nullptr);
    return result;
}

TEST(ClockTimes, Table) {
    const std::pair<std::string, std::string> cases[] = {
        {"12:30", "dvanajst in trideset minut "},
        {"Ura je 7h.", "Ura je sedem ."},
        {"ob 8:15:05", "ob osmih in petnajst minut in pet sekund "},
        {"Okoli 9:00 pridem", "Okoli devetih  pridem"},
        {"do 24:00", "do polno~i "},
        {"ob 1:01", "ob enih in ena minuta "},
        {"ob 2:02:02", "ob dveh in dve minuti in dve sekundi "},
        {"25:00", "25:00"},
        {"12:60", "12 proti 60"},
        {"12:3a", "12:3a"},
        {"1:2:3:4", "1:2:3:4"},
        {"12:30h", "12:30h"},
        {"a12:30", "a12:30"},
        {"9:", "9:"},
        {"ob 8:15, potem", "ob osmih in petnajst minut , potem"},
    };
    for (const auto& [in, out] : cases) {
        SCOPED_TRACE(in);
        EXPECT_EQ(after_stage(in, "clock times"), out);
    }
}

TEST(ClockTimes, SpeakingZeroMinutes) {
    test::TempDir dir;
    test::write_file(dir.path() / "gfp.ini", "govori_nic_minut_ali_sekund = 1\n" +
                                                 test::read_file(test::default_profile_path()));
    TextOptions settings;
    test::use_default_voice(settings);
    TGFP engine((dir.path() / "gfp.ini").string(), settings, "/nonexistent/x.ndx");
    std::string clock;
    engine.set_stage_observer([&](std::string_view stage, const std::string& out) {
        if (stage == "clock times") clock = out;
    });
    engine.convert_text("7h", true);
    EXPECT_EQ(clock, "sedem in ni~ minut ");
    engine.convert_text("7:00:00", true);
    EXPECT_EQ(clock, "sedem in ni~ minut in ni~ sekund ");
}

TEST(Abbreviations, Table) {
    const std::pair<std::string, std::string> cases[] = {
        {"dr. Novak", "doktor Novak"},
        {"Dr. Novak", "Doktor Novak"},
        {"DR. Novak", "Doktor Novak"},
        {"Pride npr.jutri", "Pride na primer jutri"},
        {"idr. ostali", "in drugi ostali"},
        {"mdr. Novak", "mdr. Novak"},  // glued to a letter: no abbreviation
        {"5dr. x", "5dr. x"},
        {"\x8At. 5 in str. 7", "[tevilka 5 in stran 7"},
        {"Leta 300 pr. n. \x9At.", "Leta 300 pred na{im {tetjem "},
        {"jabolka itd.", "jabolka in tako dalje "},
        {"t. i. sveti", "tako imenovani sveti"},
        {"ga. Novak in dr. Kos", "gospa Novak in doktor Kos"},
        // Abbreviations that are also words: the pronoun, a unit after a
        // number, an initial; a dot that may end a sentence keeps doing so.
        {"Vidim ga. Potem", "Vidim ga. Potem"},
        {"Pozdravljeni, g. Novak", "Pozdravljeni, gospod Novak"},
        {"Kupil 5 g. Potem", "Kupil 5 g. Potem"},
        {"Janez G. Novak", "Janez G. Novak"},
        {"hru\x9Ake itd. Potem", "hru{ke in tako dalje. Potem"},
    };
    for (const auto& [in, out] : cases) {
        SCOPED_TRACE(in);
        EXPECT_EQ(after_stage(in, "abbreviations"), out);
    }
}

TEST(Compounds, Table) {
    const std::pair<std::string, std::string> cases[] = {
        {"proti severozahodu", "proti severo zahodu"},
        {"Severozahod je tam", "Severo zahod je tam"},
        {"SEVEROZAHOD", "Severo zahod"},
        {"\xE8rnobela slika, fotoaparat.", "~rno bela slika, foto aparat."},
        {"severozahodnik", "severozahodnik"},
    };
    for (const auto& [in, out] : cases) {
        SCOPED_TRACE(in);
        EXPECT_EQ(after_stage(in, "compounds"), out);
    }
}

TEST(Compounds, PhrasesExtendFromAHit) {
    CharClassTable classes;
    ProfileFile profile(test::default_profile_path(), false);
    ASSERT_EQ(classes.load(profile), 0);
    CompoundTable table;
    table.add_lines("na\tna\r\nna primer\tnaprimer\r\nkljub temu\tkljubtemu\r\n", classes);
    std::string out;
    table.replace("Na primer, kljub temu.", out, kStageLimit, classes);
    // "kljub" alone is no key, so the phrase is never reached.
    EXPECT_EQ(out, "Naprimer, kljub temu.");
}

}  // namespace
}  // namespace sint

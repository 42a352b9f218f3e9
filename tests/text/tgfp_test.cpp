// Loading of the engine: the default profile, each required key, the profile
// kinds, and the conversion entry points.
#include "text/tgfp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>

#include "core/log.h"
#include "core/scramble.h"
#include "core/status.h"
#include "text_test_support.h"

namespace sint {
namespace {

using test::TempDir;

// The profile text without the entry of `key` and its continuation lines.
std::string without_key(const std::string& profile, const std::string& key) {
    std::istringstream in(profile);
    std::string out;
    bool skipping = false;
    for (std::string line; std::getline(in, line);) {
        const bool entry = !line.empty() && std::isalnum(static_cast<unsigned char>(line[0]));
        if (entry) {
            const std::string name = line.substr(0, line.find_first_of(" =\t"));
            skipping = name == key;
        } else if (!line.empty() && line[0] == '#') {
            skipping = false;
        }
        if (!skipping) out += line + "\n";
    }
    return out;
}

class LogCapture {
public:
    LogCapture() : path_(dir_.path() / "sint.log") {
        set_log_path(path_.string());
        set_log_disabled(false);
    }
    ~LogCapture() {
        set_log_disabled(true);
        set_log_path("sint.log");
    }
    std::string text() const { return test::read_file(path_); }

private:
    TempDir dir_;
    std::filesystem::path path_;
};

TEST(TgfpLoading, DefaultProfileLoadsWithDictionaryAndCompounds) {
    TGFP& engine = test::default_engine();
    EXPECT_TRUE(engine.valid());
    EXPECT_GT(engine.dictionary().size(), 50u);
    EXPECT_GT(engine.compounds().size(), 50u);
    EXPECT_EQ(engine.forced_space(), '#');
    EXPECT_EQ(engine.classes().to_lower('^'), '~');
    EXPECT_EQ(engine.classes().to_upper('`'), '@');
}

TEST(TgfpLoading, EachRequiredKeyFailsWithItsMessage) {
    const std::string profile = test::read_file(test::default_profile_path());
    struct Case {
        std::string key;
        std::string message;
    };
    std::vector<Case> cases;
    for (const char* key :
         {"cifre", "male_crke", "velike_crke", "koncna_locila", "nekoncna_locila", "dodatna_locila",
          "posebni_znaki", "dodatni_znaki", "samoglasniki", "soglasniki", "sogl_pr", "zvocniki",
          "nezv_sogl", "zven_sogl", "zven_nezvoc", "glasovne_skupine", "sampa_locila"}) {
        cases.push_back({key, std::string("Napaka 1 pri branju sibmolov ") + key});
    }
    cases.push_back({"Nabor_fonemov", "Napaka: 'Nabor_fonemov' ne obstaja"});
    cases.push_back({"Razvrstitev_fonemov", "Napaka: 'Razvrstitev_fonemov' ne obstaja"});
    for (const char* key :
         {"ure", "ure_ob", "ure_okoli", "minute", "sekunde", "govori_nic_minut_ali_sekund",
          "veznik_1", "veznik_2", "veznik_3", "ure_ob_besede", "ure_okoli_besede"}) {
        cases.push_back({key, "TGFP: Profile can not be read!"});
    }
    for (const char* key :
         {"stevnik_milijoni", "stevnik_milijarde", "stevnik_2_do_4", "stevnik_tisoc",
          "stevnik_sestavljeni", "vrst_konc_rodilnik", "vrst_konc_privzeti", "stevnik_pika",
          "enote_stevniki", "enote_ulomki", "enote_na", "enote_na_besede", "enote_krat",
          "enote_valute", "enote_velikosti"})
        cases.push_back({key, std::string("Napacno stevilo besed (") + key + ")"});
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const std::string stripped = without_key(profile, c.key);
        ASSERT_NE(stripped, profile);
        const auto path = dir.path() / "gfp.ini";
        test::write_file(path, stripped);
        TextOptions settings;
        test::use_default_voice(settings);
        LogCapture log;
        EXPECT_THROW(TGFP(path.string(), settings, dir.str() + "none.ndx"), std::runtime_error);
        EXPECT_NE(log.text().find(c.message), std::string::npos) << log.text();
        EXPECT_EQ(last_error(), "TGFP: Constructor failed to create class!");
    }
}

TEST(TgfpLoading, OptionalKeysMayBeAbsent) {
    const std::string profile = test::read_file(test::default_profile_path());
    TempDir dir;
    const auto loads_without = [&](const char* key) {
        SCOPED_TRACE(key);
        test::write_file(dir.path() / "gfp.ini", without_key(profile, key));
        TextOptions settings;
        test::use_default_voice(settings);
        EXPECT_NO_THROW(TGFP((dir.path() / "gfp.ini").string(), settings, dir.str() + "x.ndx"));
    };
    for (const char* key : {"okrajsave", "tarnik_filter", "podpirajASCII7", "Vsiljeni_presledek",
                            "prioriteta_slovarjev", "datum_predlogi", "datum_glagoli",
                            "deleznik_konc", "veznik_razmerja_dve"})
        loads_without(key);
    // The lists of the rules, whose absence is logged.
    for (const char* key :
         {"vrst_vzorci", "vrst_mehke_osnove", "vrst_konc_rodilnik_besede", "stevnik_konc_rodilnik",
          "stevnik_konc_ne_rodilnik", "stevnik_konc_orodnik", "stevnik_konc_dvojina",
          "stevnik_konc_mnozina", "okrajsave_sredi_stavka", "razpon_beseda", "rimske_imena_konc",
          "zlogotvorni_soglasniki", "naslovi_domene"})
        loads_without(key);
}

TEST(TgfpLoading, ProfileKindAndBrokenValues) {
    TempDir dir;
    const std::string profile = test::read_file(test::default_profile_path());
    TextOptions settings;
    test::use_default_voice(settings);

    EXPECT_THROW(TGFP(dir.str() + "gfp.txt", settings), std::runtime_error);
    EXPECT_TRUE(log_disabled());
    {
        LogCapture log;
        EXPECT_THROW(TGFP(dir.str() + "gfp.txt", settings), std::runtime_error);
        const std::string expected =
            "TFGP: Could not find " + dir.str() + "gfp.ini or " + dir.str() + "gfp.ins ! Aborting!";
        EXPECT_NE(log.text().find(expected), std::string::npos);
    }
    {
        LogCapture log;
        EXPECT_THROW(TGFP(dir.str() + "missing.INI", settings), std::runtime_error);
        EXPECT_NE(log.text().find("TGFP: Profile could not be created properly!"),
                  std::string::npos);
    }
    {
        // A class list of 257 characters.
        test::write_file(dir.path() / "long.ini",
                         "dodatna_locila = " + std::string(257, '*') + "\n" + profile);
        LogCapture log;
        EXPECT_THROW(TGFP((dir.path() / "long.ini").string(), settings), std::runtime_error);
        EXPECT_NE(log.text().find("Napaka 1 pri branju sibmolov dodatna_locila"),
                  std::string::npos);
    }
    {
        test::write_file(dir.path() / "odd.ini", "okrajsave = dr.\tdoktor\tnpr.\n" + profile);
        LogCapture log;
        EXPECT_THROW(TGFP((dir.path() / "odd.ini").string(), settings), std::runtime_error);
        EXPECT_NE(log.text().find("Napacno stevilo okrajsav (okrajsave)"), std::string::npos);
    }
    for (const char* pairs : {"na\tacc\tpo", "na\tsklon"}) {
        // A preposition without its case, or a case of no name.
        test::write_file(dir.path() / "dates.ini",
                         std::string("datum_predlogi = ") + pairs + "\n" + profile);
        LogCapture log;
        EXPECT_THROW(TGFP((dir.path() / "dates.ini").string(), settings), std::runtime_error);
        EXPECT_NE(log.text().find("Napaka: v ini datoteki (ini_gfp): pripravi_stevilke"),
                  std::string::npos);
    }
    {
        test::write_file(dir.path() / "veznik.ini",
                         "veznik_2 = " + std::string(33, 'a') + "\n" + profile);
        EXPECT_THROW(TGFP((dir.path() / "veznik.ini").string(), settings), std::runtime_error);
        test::write_file(dir.path() / "veznik.ini",
                         "veznik_2 = " + std::string(32, 'a') + "\n" + profile);
        EXPECT_NO_THROW(TGFP((dir.path() / "veznik.ini").string(), settings));
    }
    {
        // 64 phone symbols are one too many.
        std::string symbols;
        for (int i = 0; i < 64; ++i)
            symbols += std::string(1, static_cast<char>('A' + i % 26)) +
                       std::string(1, static_cast<char>('a' + i / 26)) + "\t";
        test::write_file(dir.path() / "phones.ini", "Nabor_fonemov = " + symbols + "\n" + profile);
        LogCapture log;
        EXPECT_THROW(TGFP((dir.path() / "phones.ini").string(), settings), std::runtime_error);
        EXPECT_NE(log.text().find("Napaka: 'Nabor_fonemov' ne obstaja"), std::string::npos);
    }
    {
        test::write_file(dir.path() / "sonority.ini", "Razvrstitev_fonemov = 12\n" + profile);
        LogCapture log;
        EXPECT_THROW(TGFP((dir.path() / "sonority.ini").string(), settings), std::runtime_error);
        EXPECT_NE(log.text().find("ni enake dol"), std::string::npos);
    }
}

// The unit tables are voice data: a changed row changes the reading without
// compiling, a table left out leaves its units in letters (logged), and a
// malformed row stops the loading with a message naming it.
TEST(TgfpLoading, UnitTablesComeFromTheProfile) {
    const std::string profile = test::read_file(test::default_profile_path());
    TextOptions settings;
    test::use_default_voice(settings);
    TempDir dir;
    const std::string path = (dir.path() / "gfp.ini").string();
    struct Case {
        std::string profile;
        const char* units;  // the unit stage's output for "Vzel je 2 km.", or empty: no engine
        const char* message;
    };
    const Case cases[] = {
        {"enote =\n\tkm | z | milja | milji | milje | milj\n" + profile, "dve milji", ""},
        {without_key(profile, "enote"), "2 km", "V profilu ni tabele enot enote"},
        {"enote =\n\tkm | m | kilometer\n" + profile, "",
         "Napacna vrstica enot (enote): <km | m | kilometer>"},
        {"enote =\n\tkm | x | a | b | c | d\n" + profile, "", "(enote): <km | x | a | b | c | d>"},
        {"enote =\n\tkm | m | a | b | c | d | e | f | g\n" + profile, "", "(enote): <km | m |"},
        {"enote_samostojne =\n\t\\x4 | m | a | b | c | d\n" + profile, "",
         "(enote_samostojne): <\\x4 |"},
        {"enote_samostojne =\n\tkm | m | a | b | c | d\n" + profile, "", "(enote_samostojne): <km"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        test::write_file(path, c.profile);
        LogCapture log;
        if (*c.units == '\0') {
            EXPECT_THROW(TGFP(path, settings, dir.str() + "x.ndx"), std::runtime_error);
        } else {
            TGFP engine(path, settings, dir.str() + "x.ndx");
            std::string units;
            engine.set_stage_observer([&](std::string_view stage, const std::string& text) {
                if (stage == "units") units = text;
            });
            engine.convert_text("Vzel je 2 km.", true);
            EXPECT_NE(units.find(c.units), std::string::npos) << units;
        }
        EXPECT_NE(log.text().find(c.message), std::string::npos) << log.text();
    }
}

// The words, endings and letters the rules of addresses, numbers, Roman
// numerals, sentences and syllables test are profile lists: a changed list
// changes the reading without compiling, and an absent one is logged and its
// rule no longer applies. The form lexicon is left out so that the ending
// rules decide.
TEST(TgfpLoading, WordListsOfTheRulesComeFromTheProfile) {
    const std::string profile = test::read_file(test::default_profile_path());
    TextOptions settings;
    test::use_default_voice(settings);
    settings.word_forms_path = "/nonexistent/oblike.lex";
    TempDir dir;
    const std::string path = (dir.path() / "gfp.ini").string();
    struct Case {
        std::string profile;
        const char* text;
        const char* stage;
        const char* expected;
        const char* message;  // in the log, or empty
    };
    const Case cases[] = {
        {profile, "Prisli so 3 fantje.", "numbers", "trije fantje", ""},
        {"stevnik_konc_mnozina = i\n" + profile, "Prisli so 3 fantje.", "numbers", "tri fantje",
         ""},
        {without_key(profile, "stevnik_konc_mnozina"), "Prisli so 3 fantje.", "numbers",
         "tri fantje", "V profilu ni seznama stevnik_konc_mnozina"},
        {profile, "To je 3. mesto.", "numbers", "tretje mesto", ""},
        {"vrst_mehke_osnove = c\n" + profile, "To je 3. mesto.", "numbers", "tretjo mesto", ""},
        {"vrst_konc_privzeti = a\n" + profile, "Ta 1. je.", "numbers", "prva je", ""},
        {"rimske_imena_konc = x\n" + profile, "Hugo II. je tu.", "roman numerals", "Hugo drugo",
         ""},
        {profile, "Vrba.", "words", "v@:rba", ""},
        {"zlogotvorni_soglasniki = x\n" + profile, "Vrba.", "words", "v@rba:", ""},
        {"naslovi_domene = com\n" + profile, "Stran je na primer.si.", "characters", "na primer.si",
         ""},
        {"razpon_beseda = ali\n" + profile, "Pridi 5-6 krat.", "sentences", "5 ali 6", ""},
        {"okrajsave_sredi_stavka = Miha.\n" + profile, "Videl je Miha. Potem Ana.", "sentences",
         "Miha Potem", ""},
        {without_key(profile, "okrajsave_sredi_stavka"), "Videl je Miha. Potem Ana.", "sentences",
         "Miha . Potem", "V profilu ni seznama okrajsave_sredi_stavka"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        test::write_file(path, c.profile);
        LogCapture log;
        TGFP engine(path, settings, dir.str() + "x.ndx");
        std::string seen;
        engine.set_stage_observer([&](std::string_view stage, const std::string& text) {
            if (stage == c.stage) seen = text;
        });
        engine.convert_text(c.text, true);
        EXPECT_NE(seen.find(c.expected), std::string::npos) << seen;
        EXPECT_NE(log.text().find(c.message), std::string::npos) << log.text();
    }
}

TEST(TgfpLoading, ScrambledProfileAndSwitches) {
    TempDir dir;
    std::string profile = "tarnik_filter = TRUE \npodpirajASCII7 = true\n" +
                          test::read_file(test::default_profile_path());
    test::write_file(dir.path() / "gfp.ins", scrambled(profile));
    TextOptions settings;
    test::use_default_voice(settings);
    std::atomic<bool> seven_bit{false};  // the switch shared with the protocol
    settings.seven_bit_switch = &seven_bit;
    TGFP engine((dir.path() / "gfp.ins").string(), settings);
    EXPECT_TRUE(engine.options().angle_bracket_filter);
    EXPECT_TRUE(seven_bit);
    // With 7-bit codes accepted a left brace is read as the small s with caron.
    engine.convert_text("{ola", true);
    EXPECT_EQ(std::string(engine.result_text()), "So:la . ");
}

TEST(TgfpLoading, MissingDictionaryLeavesTheEngineUsable) {
    TempDir dir;
    TextOptions settings;  // fast start from an index that does not exist
    settings.dictionary_dir = test::default_dictionary_dir();
    settings.statistics_dir = std::string(SINT_SOURCE_DIR) + "/voice/statistika/";
    LogCapture log;
    TGFP engine(test::default_profile_path(), settings, dir.str() + "none.ndx");
    EXPECT_TRUE(engine.dictionary().empty());
    EXPECT_NE(log.text().find("Sintetizator zagnan brez slovarjev!"), std::string::npos);
    EXPECT_EQ(engine.convert_text("Dober dan.", true), 0);
    EXPECT_EQ(std::string(engine.result_text()), "do:b@r da:n . ");
}

TEST(TgfpLoading, CreateDataWritesTheIndexThatFastStartReads) {
    TempDir dir;
    const std::string index = dir.str() + "data/MorvenaIdra.ndx";
    TextOptions create;
    test::use_default_voice(create);
    create.create_data = true;
    TGFP writer(test::default_profile_path(), create, index);
    ASSERT_TRUE(std::filesystem::exists(index));
    TextOptions fast;  // defaults: fast start
    fast.statistics_dir = create.statistics_dir;
    TGFP reader(test::default_profile_path(), fast, index);
    EXPECT_EQ(reader.dictionary().size(), writer.dictionary().size());
    ASSERT_NE(reader.dictionary().lookup("doktor"), nullptr);
    EXPECT_STREQ(reader.dictionary().lookup("doktor"), writer.dictionary().lookup("doktor"));
}

TEST(TgfpWorkFiles, AvtoBesOnlyWithLogging) {
    TempDir dir;
    TGFP& engine = test::default_engine();
    engine.set_work_dir(dir.str());
    engine.prepare_work_files();
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "avto.bes"));
    {
        LogCapture log;
        engine.set_work_dir(dir.path().string());  // without the final "/"
        engine.prepare_work_files();
    }
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "avto.bes"));
    EXPECT_EQ(std::filesystem::file_size(dir.path() / "avto.bes"), 0u);
}

TEST(TgfpConversion, EmptyAbsentAndOverlongInput) {
    TGFP& engine = test::default_engine();
    EXPECT_EQ(engine.convert_text("Dober dan.", true), 0);
    EXPECT_EQ(engine.convert_text(static_cast<const char*>(nullptr), true), 0);
    EXPECT_STREQ(engine.result_text(), "");
    EXPECT_EQ(engine.convert_text("", true), 0);
    EXPECT_STREQ(engine.result_text(), "");

    // 20000 characters: only the first 16384 are read.
    std::string text;
    while (text.size() < 20000) text += "beseda ";
    engine.convert_text(text, true);
    const std::string result = engine.result_text();
    EXPECT_LE(result.size(), kStageLimit);
    EXPECT_GT(result.size(), 16000u);
}

TEST(TgfpConversion, SentenceModeWithoutTextBeforeAnyInput) {
    TextOptions settings;
    test::use_default_voice(settings);
    TGFP engine(test::default_profile_path(), settings, "/nonexistent/x.ndx");
    EXPECT_EQ(engine.convert_sentence(nullptr, true), -1);
    EXPECT_EQ(engine.convert_sentence("", true), -1);
    EXPECT_EQ(engine.convert_sentence("   \n  ", true), -1);
}

TEST(TgfpConversion, SentenceModeSpansCoverTheText) {
    TGFP& engine = test::default_engine();
    const std::string text = "Res? Da. Bil je 5. maja doma!  Konec";
    struct Expected {
        std::string span;
        std::string result;
    };
    const Expected expected[] = {
        {"Res? ", ". re:s ? "},
        {"Da. ", ". da . "},
        {"Bil je 5. maja doma!  ", ". bi:U jE pe:tEga ma:ja dOma: ! "},
        {"Konec", ". kOnE\"ts . "},
    };
    int length = engine.convert_sentence(text, true);
    std::size_t covered = 0;
    for (const Expected& e : expected) {
        ASSERT_GT(length, 0);
        const SentenceSpan& span = engine.last_sentence_span();
        EXPECT_EQ(span.start, covered);
        EXPECT_EQ(static_cast<std::size_t>(length), span.length);
        EXPECT_EQ(text.substr(span.start, span.length), e.span);
        EXPECT_EQ(std::string(engine.result_text()), e.result);
        covered = span.end;
        length = engine.convert_sentence(nullptr, true);
    }
    EXPECT_EQ(length, kNotPossible);
    EXPECT_EQ(covered, text.size());
    // A new text starts over.
    EXPECT_EQ(engine.convert_sentence("A. B.", true), 3);
    EXPECT_EQ(engine.last_sentence_span().start, 0u);
}

TEST(TgfpConversion, SentenceSpansAreInTheCallersText) {
    // Expansions and converted letters count as the text they replace.
    TGFP& engine = test::default_engine();
    const std::string text =
        "Dr. Novak pride ob 8:15. Res? \x8A"
        "e npr. jutri itd. Konec \x80! Pi\x9Aite na info@primer.si. Karel IV. je vladal 3:2. "
        "Seja bo v torek, 3. 12., ob 10. uri. Odprto pon.-pet. 8.00-16.00. Dan.";
    // "itd." before a capitalised word also ends its sentence; the dots of an
    // address, of a Roman numeral, of a date before a comma and of a range of
    // days end none.
    const std::string spans[] = {"Dr. Novak pride ob 8:15. ",
                                 "Res? ",
                                 "\x8A"
                                 "e npr. jutri itd. ",
                                 "Konec \x80! ",
                                 "Pi\x9Aite na info@primer.si. ",
                                 "Karel IV. je vladal 3:2. ",
                                 "Seja bo v torek, 3. 12., ob 10. uri. ",
                                 "Odprto pon.-pet. 8.00-16.00. ",
                                 "Dan."};
    int length = engine.convert_sentence(text, true);
    for (const std::string& span : spans) {
        ASSERT_GT(length, 0);
        const SentenceSpan& s = engine.last_sentence_span();
        EXPECT_EQ(text.substr(s.start, s.length), span);
        EXPECT_EQ(static_cast<std::size_t>(length), s.length);
        length = engine.convert_sentence(nullptr, true);
    }
    EXPECT_EQ(length, kNotPossible);
    EXPECT_EQ(engine.convert_sentence("Kaj?", true), 4);
    EXPECT_EQ(engine.normalised_sentence_span().length, 4u);
}

TEST(TgfpConversion, SentenceModeReadsAtMost102400Characters) {
    TGFP& engine = test::default_engine();
    std::string text;
    while (text.size() < 110000) text += "Ena. ";
    std::size_t total = 0;
    int sentences = 0;
    for (int length = engine.convert_sentence(text, true); length > 0;
         length = engine.convert_sentence(nullptr, true)) {
        total += static_cast<std::size_t>(length);
        ++sentences;
    }
    // The character conversion keeps its last places free.
    EXPECT_LE(total, kSentenceInputLimit);
    EXPECT_GE(total, kSentenceInputLimit - 3);
    EXPECT_EQ(sentences, static_cast<int>(kSentenceInputLimit / 5));
}

TEST(TgfpConversion, StagesAreObservedInOrder) {
    TGFP& engine = test::default_engine();
    std::vector<std::string> stages;
    engine.set_stage_observer(
        [&](std::string_view stage, const std::string&) { stages.emplace_back(stage); });
    engine.convert_text("Dr. Novak pride ob 8:15, npr. jutri.", true);
    engine.set_stage_observer(nullptr);
    const std::vector<std::string> expected = {
        "characters", "clock times", "abbreviations", "roman numerals", "compounds",
        "sentences",  "units",       "numbers",       "letters",        "words"};
    EXPECT_EQ(stages, expected);
    EXPECT_EQ(std::string(engine.result_text()),
              "do:ktOr no:vak pri:dE Ob o:smih in pe:tnajst minu:t , na pri:mEr ju:tri . ");
}

}  // namespace
}  // namespace sint

#include "prosody/mikro.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <sstream>

#include "core/scramble.h"
#include "prosody_fixture.h"

namespace sint {
namespace {

using test::LogCapture;
using test::record_name;
using test::TempDir;
using test::with_key;
using test::without_key;

// The profile with constant Kn set to `value`.
std::string with_constant(const std::string& profile, std::size_t n, int value) {
    std::istringstream in(test::key_value(profile, "Konstante"));
    std::vector<std::string> values;
    std::string v;
    while (in >> v) values.push_back(v);
    values.at(n) = std::to_string(value);
    std::string joined;
    for (const std::string& item : values) joined += (joined.empty() ? "" : " ") + item;
    return with_key(profile, "Konstante", joined);
}

class MikroTest : public ::testing::Test {
protected:
    MikroTest() : phones_(test::voice_phones()) {
        // No jitter, no tempo adaptation, no phrase-final lengthening: durations
        // and pitches come straight from the tables.
        plain_ = with_constant(test::voice_file("mikro.ini"), 46, 0);
        plain_ = with_constant(plain_, 2, 0);
        plain_ = with_constant(plain_, 3, 0);
        plain_ = with_constant(plain_, 57, 100);
    }

    std::unique_ptr<TMikro> make(const std::string& profile) {
        return std::make_unique<TMikro>(dir_.write("mikro.ini", profile), phones_);
    }

    std::vector<ProsodyRecord> run(TMikro& mikro, const std::string& text, bool ignore = false) {
        EXPECT_EQ(mikro.run(text, ignore), 0) << text;
        if (!mikro.output()) return {};
        EXPECT_EQ(mikro.output()[mikro.count()].name[0], '\0');
        return {mikro.output(), mikro.output() + mikro.count()};
    }

    static std::string names(const std::vector<ProsodyRecord>& records) {
        std::string out;
        for (const ProsodyRecord& r : records) out += record_name(r) + " ";
        return out;
    }

    TempDir dir_;
    PhoneTable phones_;
    std::string plain_;
};

TEST_F(MikroTest, ProfileFaultsAreRefusedWithTheirMessage) {
    const std::string good = plain_;
    const std::string inconsistent =
        "\nMikro: : Napaka v resource datoteki!\nRazlika v stevilu fonemov in pripadajocih "
        "konstant!\n";
    const std::string per_phone = test::key_value(good, "Omejitev_Dolzine");
    struct Case {
        std::string profile;
        std::string message;
    };
    std::string many;
    for (int i = 0; i < 81; ++i) many += "1 ";
    const Case cases[] = {
        {with_key(good, "Konstante", many), "neveljavna vrednost Konstante"},
        {without_key(good, "Nabor_locil"), "Napaka: Ime Nabor_locil ne obstaja\n"},
        {without_key(good, "Konstante"), "Napaka: Ime Konstante ne obstaja\n"},
        {without_key(good, "TA_Pocasi"), "Napaka: Ime TA_Pocasi ne obstaja\n"},
        {with_key(good, "Nabor_locil", " .,;!?-_#"), "Napaka pri pretvorbi (toCstring)\n"},
        {with_key(good, "Omejitev_Dolzine", per_phone + " 40"), inconsistent},
        {with_key(good, "Omejitev_Dolzine", per_phone.substr(0, per_phone.rfind(' '))),
         inconsistent},
        {with_key(good, "Dolzina_Pavz", "0 450 200"), inconsistent},
        {with_key(good, "Dolzina_Nagl_Sam", "100 100 100"), inconsistent},
        {with_key(good, "TA_Normalno", "4.6 0.9 5.0 0.9 3.9"), inconsistent},
        {with_key(good, "Omejitev_Dolzine", "x" + per_phone),
         "neveljavna vrednost Omejitev_Dolzine"},
        {with_key(good, "Hitrost", "hitro"), "neveljavna vrednost Hitrost"},
        {with_constant(good, 0, 30001), "neveljavna vrednost Konstante"},
        {with_key(good, "TA_Hitro", "6 1 6 1 6 1e9"), "neveljavna vrednost TA_Hitro"},
        {with_key(good, "Konstante", "1 2 3"), "neveljavna vrednost Konstante"},
        {with_key(good, "Presledek", "9"), "neveljavna vrednost Presledek"},
        {with_key(good, "Locila", "1 2 77"), "neveljavna vrednost Locila"},
    };
    for (const Case& test : cases) {
        LogCapture log;
        EXPECT_THROW(make(test.profile), std::runtime_error) << test.message;
        EXPECT_TRUE(log.contains(test.message)) << test.message;
        EXPECT_TRUE(log.contains("TMikro: Profile can not be read!"));
        EXPECT_EQ(last_error(), "TMikro: Constructor failed to create class!");
    }
}

TEST_F(MikroTest, ProfileNameMustBeIniOrIns) {
    LogCapture log;
    const std::string path = dir_.write("mikro.txt", plain_);
    EXPECT_THROW(TMikro(path, phones_), std::runtime_error);
    const std::string base = dir_.file("mikro");
    EXPECT_EQ(last_error(),
              "TMikro: Could not find " + base + ".ini or " + base + ".ins ! Aborting!");
    EXPECT_THROW(TMikro(dir_.file("absent.ini"), phones_), std::runtime_error);
    EXPECT_TRUE(log.contains("TMikro: Profile could not be created properly!"));
}

TEST_F(MikroTest, ScrambledProfileAndReload) {
    const std::string path = dir_.write("mikro.INS", scrambled(plain_));
    TMikro mikro(path, phones_);
    EXPECT_EQ(mikro.run("da:n .", false), 0);
    EXPECT_EQ(mikro.count(), 4);
    // A reload that fails leaves no output and a stage that refuses to run.
    dir_.write("mikro.INS", scrambled(without_key(plain_, "Locila")));
    EXPECT_FALSE(mikro.load_profile());
    EXPECT_EQ(mikro.count(), 0);
    EXPECT_EQ(mikro.run("da:n .", false), -2);
    dir_.write("mikro.INS", scrambled(plain_));
    EXPECT_TRUE(mikro.load_profile());
    EXPECT_EQ(mikro.run("da:n .", false), 0);
}

TEST_F(MikroTest, RateSetterMapsSpeedToModeAndFineSetting) {
    auto mikro = make(plain_);
    const struct {
        int speed, mode;
        double fine;
    } cases[] = {{0, 0, 0},  {-10, 2, 1},  {-1, 2, 79}, {-4, 2, 53},
                 {1, 1, 14}, {10, 1, 100}, {-20, 2, 1}, {99, 1, 100}};
    for (const auto& c : cases) {
        mikro->set_rate(c.speed);
        EXPECT_EQ(mikro->rate_mode(), c.mode) << c.speed;
        EXPECT_DOUBLE_EQ(mikro->fine_setting(), c.fine) << c.speed;
    }
    // Within each mode the fine setting rises with the speed, and 0 (no
    // adjustment at all) is the normal rate's alone.
    for (int speed = -10; speed < 10; ++speed) {
        mikro->set_rate(speed);
        const int mode = mikro->rate_mode();
        const double fine = mikro->fine_setting();
        mikro->set_rate(speed + 1);
        if (mikro->rate_mode() == mode) {
            EXPECT_GT(mikro->fine_setting(), fine) << speed;
        }
        EXPECT_EQ(mikro->fine_setting() == 0, speed + 1 == 0) << speed;
    }
    EXPECT_EQ(mikro->boundary_pitch(), (112 + 108) / 2);
}

TEST_F(MikroTest, TokensAndPositions) {
    auto mikro = make(plain_);
    // A one-word sentence: the word is first although a final mark follows.
    run(*mikro, "ma:ma .");
    ASSERT_EQ(mikro->last_sentence().size(), 2u);
    EXPECT_EQ(mikro->last_sentence()[0].position, 'Z');

    const std::vector<ProsodyRecord> records = run(*mikro, "jaz ima:m pE:s,ki: lO:vi.");
    EXPECT_EQ(names(records), "j a z _ i m a: m _ p E: s , k i: _ l O: v i . ");
    std::string positions;
    for (const MikroWord& w : mikro->last_sentence()) positions += w.kind == 'b' ? w.position : 'l';
    EXPECT_EQ(positions, "ZsklzKl");
}

TEST_F(MikroTest, SentencesAndFinalMarks) {
    auto mikro = make(plain_);
    // Without a final mark the first final mark is added.
    EXPECT_EQ(names(run(*mikro, "da:n")), "d a: n . ");
    // The facade's " ." after a closed sentence makes no second sentence.
    EXPECT_EQ(names(run(*mikro, "da:n . " + std::string(" ."))), "d a: n . ");
    // Two sentences; fewer than 3 characters left after a sentence end the run,
    // so a short word after the last mark is kept only when a mark follows it
    // (as text analysis and the facade always give).
    EXPECT_EQ(names(run(*mikro, "da:n ? nE: . ja")), "d a: n ? n E: . ");
    EXPECT_EQ(names(run(*mikro, "da:n ? nE: . ja .")), "d a: n ? n E: . j a . ");
    // A token of marks becomes its special mark; its pause is that mark's.
    const std::vector<ProsodyRecord> records = run(*mikro, "da: ,! nE: .");
    EXPECT_EQ(names(records), "d a: ! n E: . ");
    EXPECT_EQ(records[2].duration, 450);
    EXPECT_EQ(records[2].pitch, 0);
    // Only marks and spaces: nothing to say.
    EXPECT_EQ(run(*mikro, " .,  ").size(), 0u);
}

TEST_F(MikroTest, WordBoundaryPause) {
    auto mikro = make(plain_);
    mikro->set_word_boundary_pause(25);
    std::vector<ProsodyRecord> records = run(*mikro, "da:n da:n .");
    ASSERT_EQ(names(records), "d a: n _ d a: n . ");
    EXPECT_EQ(records[3].duration, 25);
    mikro->set_word_boundary_pause(0);
    records = run(*mikro, "da:n da:n .");
    EXPECT_EQ(records[3].duration, 0);
}

TEST_F(MikroTest, JitterZeroIsDeterministic) {
    auto mikro = make(plain_);
    const std::string text = "dO:bEr da:n , ka:kO stE: ? hva:la .";
    const std::vector<ProsodyRecord> first = run(*mikro, text);
    const std::vector<ProsodyRecord> second = run(*mikro, text);
    ASSERT_EQ(first.size(), second.size());
    EXPECT_EQ(std::memcmp(first.data(), second.data(), first.size() * sizeof(ProsodyRecord)), 0);

    // With jitter every pitch stays within the amplitude of the plain one.
    auto jittered = make(with_constant(plain_, 46, 3));
    const std::vector<ProsodyRecord> third = run(*jittered, text);
    ASSERT_EQ(third.size(), first.size());
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_LE(std::abs(third[i].pitch - first[i].pitch), 3) << i;
    }
}

TEST_F(MikroTest, TagsDecideTheAccentType) {
    // Mode 3 computes "c" for every word, so an "A" tag shows as "a".
    auto mikro = make(with_constant(plain_, 30, 3));
    const struct {
        const char* word;
        bool ignore;
        char accent;
        const char* phones;
    } cases[] = {
        {"ka:Ama", false, 'a', "ka:ma"},
        {"ka:Ama", true, 'c', "ka:ma"},
        {"ka:XAma", false, 'c', "ka:ma"},            // X keeps the computed type
        {"ka:ma(C,A)", false, 'a', "ka:ma"},         // a list in parentheses
        {"ka:Ama(C)", false, 'c', "ka:ma"},          // the list wins over inline tags
        {"pa:Ltu:Tpi:TA", false, 'c', "pa:tu:pi:"},  // with L only the first S tag stays
        {"pa:tu:Tpi:TA", false, 'a', "pa:tu:pi:"},
    };
    for (const auto& c : cases) {
        run(*mikro, std::string(c.word) + " .", c.ignore);
        ASSERT_FALSE(mikro->last_sentence().empty()) << c.word;
        EXPECT_EQ(mikro->last_sentence()[0].accent, c.accent) << c.word;
        EXPECT_EQ(mikro->last_sentence()[0].text, c.phones) << c.word;
    }
}

TEST_F(MikroTest, AccentTypeModes) {
    const struct {
        int mode;
        const char* word;
        char accent;
    } cases[] = {
        {0, "pa:ta", 'a'},  {0, "pata", 'c'},   {1, "pa:ta", 'a'},  // open stressed syllable
        {1, "pa:pta", 'c'}, {4, "pa:pta", 'c'}, {4, "pa:ptatata", 'a'},
        {2, "pata", 'a'},   {3, "pa:ta", 'c'},  {9, "pa:ta", 'a'},
    };
    for (const auto& c : cases) {
        LogCapture log;
        auto mikro = make(with_constant(plain_, 30, c.mode));
        run(*mikro, std::string(c.word) + " .");
        EXPECT_EQ(mikro->last_sentence()[0].accent, c.accent) << c.mode << " " << c.word;
        EXPECT_EQ(log.contains("Napaka pri dolocanju 'a' oziroma 'c'"), c.mode == 9);
    }
}

TEST_F(MikroTest, BaseDurationsAndRateScaling) {
    auto mikro = make(plain_);
    // p a: | p t a: stressed first syllable of a two-syllable word; p before a
    // vowel, p before t, t before a vowel; final a after the stress.
    std::vector<ProsodyRecord> r = run(*mikro, "pa:pta .");
    ASSERT_EQ(names(r), "p a: p t a . ");
    const int expected[] = {85, 125, 70, 80, 80};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(r[i].duration, expected[i]) << i;
    EXPECT_EQ(mikro->last_sentence()[0].word_type, 'b');

    // One syllable: the "o" column.
    r = run(*mikro, "pa: .");
    EXPECT_EQ(r[1].duration, 140);

    // Fast rate: each phone shortened by its own percentage.
    mikro->set_rate(10);
    r = run(*mikro, "pa:pta .");
    EXPECT_EQ(r[0].duration, static_cast<int>((100 - 25) * 85 / 100.0 + 0.5));
    EXPECT_EQ(r[1].duration, static_cast<int>((100 - 35) * 125 / 100.0 + 0.5));
    EXPECT_EQ(r[5].duration, 450 * 70 / 100);  // the pause at fast rate
}

TEST_F(MikroTest, TempoAdaptationMethods) {
    const int plain_total = 85 + 125 + 70 + 80 + 80;
    for (int method = 0; method < 3; ++method) {
        for (bool slow_target : {true, false}) {
            std::string profile = with_constant(with_constant(plain_, 2, 100), 47, method);
            profile =
                with_key(profile, "TA_Normalno", slow_target ? "2.5 0 2.5 0 2.5 0" : "9 0 9 0 9 0");
            auto mikro = make(profile);
            const std::vector<ProsodyRecord> r = run(*mikro, "pa:pta .");
            int total = 0;
            for (int i = 0; i < 5; ++i) total += r[i].duration;
            if (slow_target) {
                // 4.5 syllables a second against 2.5: lengthened, at most by half.
                EXPECT_GT(total, plain_total * 13 / 10) << method;
                EXPECT_LE(total, plain_total * 3 / 2 + 5) << method;
            } else {
                EXPECT_LT(total, plain_total * 8 / 10) << method;
                EXPECT_GT(total, 0) << method;
            }
        }
    }
}

TEST_F(MikroTest, PitchTargetsAccentsAndInterpolation) {
    auto mikro = make(plain_);
    std::vector<ProsodyRecord> r = run(*mikro, "pa:pta .");
    // First word: K50 = 4, K51 = 116; a: row 0 column 1 = 120.
    EXPECT_EQ(r[0].pitch, 116 + 4);
    EXPECT_EQ(r[1].pitch, 120 + 4 + 10);  // plus K10 for accent "a"
    // The consonants inside lie between their neighbours.
    for (int i : {2, 3}) {
        EXPECT_LE(r[i].pitch, std::max(r[1].pitch, r[4].pitch)) << i;
        EXPECT_GE(r[i].pitch, std::min(r[1].pitch, r[4].pitch)) << i;
    }
    // A larger accent on the second stressed syllable is cut to the rise limit K36.
    mikro = make(with_constant(with_constant(plain_, 11, 60), 37, 100));
    r = run(*mikro, "pa:ta:ka: .");
    EXPECT_EQ(r[3].pitch - r[1].pitch, 15);
}

TEST_F(MikroTest, ExtremeProfileValuesStayWithinRecords) {
    std::string profile = with_constant(plain_, 1, 30000);  // slow rate scaling
    profile = with_constant(profile, 32, 30000);            // vowel duration percentage
    profile = with_constant(profile, 57, 30000);            // final syllable percentage
    profile = with_constant(profile, 4, 30000);             // tempo adaptation at slow rate
    auto mikro = make(profile);
    mikro->set_rate(-10);
    for (const ProsodyRecord& r : run(*mikro, "pa:pta ma:ma .")) {
        EXPECT_GE(r.duration, 0);
    }
}

TEST_F(MikroTest, OverlongWordFailsTheRun) {
    auto mikro = make(plain_);
    LogCapture log;
    std::string word;
    for (int i = 0; i < 33; ++i) word += "pa";
    EXPECT_EQ(mikro->run(word + " .", false), -2);
    EXPECT_TRUE(log.contains("Napaka pri izvajanju mikroprozodike!"));
    EXPECT_EQ(mikro->count(), 0);
    EXPECT_EQ(mikro->run(word.substr(2) + "p .", false), 0);
}

TEST_F(MikroTest, AnyBytesRunToAnEnd) {
    auto mikro = make(with_constant(plain_, 46, 2));
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string text(random() % 200, '\0');
        for (char& c : text) c = static_cast<char>(random() % 256);
        const int result = mikro->run(text, round % 2 == 0);
        EXPECT_TRUE(result == 0 || result == -2);
    }
}

}  // namespace
}  // namespace sint

#include "prosody/makro.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "prosody_fixture.h"

namespace sint {
namespace {

using test::LogCapture;
using test::record_name;
using test::TempDir;
using test::with_key;
using test::without_key;

struct In {
    const char* name;
    int duration;
    int pitch;
};

std::vector<ProsodyRecord> records(std::initializer_list<In> list) {
    std::vector<ProsodyRecord> out;
    for (const In& in : list) {
        ProsodyRecord r;
        std::strncpy(r.name, in.name, 3);
        r.duration = static_cast<std::int16_t>(in.duration);
        r.pitch = static_cast<std::int16_t>(in.pitch);
        out.push_back(r);
    }
    return out;
}

class MakroTest : public ::testing::Test {
protected:
    MakroTest() : phones_(test::voice_phones()), profile_(test::voice_file("makro.ini")) {}

    std::unique_ptr<TMakro> make(const std::string& profile) {
        return std::make_unique<TMakro>(dir_.write("makro.ini", profile), phones_);
    }

    std::vector<ProsodyRecord> run(TMakro& makro, const std::vector<ProsodyRecord>& in) {
        EXPECT_EQ(makro.run(in.data(), static_cast<int>(in.size())), 0);
        EXPECT_EQ(makro.count(), static_cast<int>(in.size()));
        return {makro.output(), makro.output() + makro.count()};
    }

    static std::string names(const std::vector<ProsodyRecord>& out) {
        std::string text;
        for (const ProsodyRecord& r : out) text += record_name(r) + " ";
        return text;
    }

    TempDir dir_;
    PhoneTable phones_;
    std::string profile_;
};

TEST_F(MakroTest, ProfileFaultsAreRefusedWithTheirMessage) {
    const std::string& good = profile_;
    std::string many;
    for (int i = 0; i < 33; ++i) many += "1.5 ";
    const struct {
        std::string profile;
        std::string message;
    } cases[] = {
        {without_key(good, "Nabor_locil"), "Napaka: Ime Nabor_locil ne obstaja\n"},
        {with_key(good, "Nabor_locil", ".,"), "Napaka pri pretvorbi (toCstring) p->nabor_locil \n"},
        {without_key(good, "Pretvorba_locil"), "Napaka: Ime Pretvorba_locil ne obstaja\n"},
        {with_key(good, "Nabor_naglasenosti", "\"abc"), "Napaka pri pretvorbi (toCstring)\n"},
        {without_key(good, "Locila"), "Napaka: Ime Locila ne obstaja\n"},
        {without_key(good, "Presledek"), "Napaka: Ime Presledek ne obstaja\n"},
        {without_key(good, "izjeme_tez"), "Napaka: Izjeme_tez nr obstaja\n"},
        {without_key(good, "Izjeme_pre"),
         "Napaka: Izjeme_pre ima napa\xE8no \x9Atevilo elementov\n"},
        {without_key(good, "Izjeme_pre_cas"), "Napaka: 'Izjeme_pre_cas' ne obstaja\n"},
        {with_key(good, "Izjeme_pre_cas", "90 90"),
         "Napaka: 'Izjeme_pre' in 'Izjeme_pre_cas' imata razli\xE8no \x9Atevilo elementov\n"},
        {without_key(good, "stavcna_intonacija_vpra"),
         "Napaka: 'stavcna_intonacija_vpra' ne obstaja\n"},
        {with_key(good, "stavcna_intonacija_neko", "100\t100\t100\t100\t100\t50"),
         "neveljavna vrednost stavcna_intonacija_neko"},
        {with_key(good, "stavcna_intonacija_prip", "100\t100\t100\t100\t100\t50\t50\t1"),
         "neveljavna vrednost stavcna_intonacija_prip"},
        {with_key(good, "stavcna_intonacija_vzkl", "100\tx\t100\t100\t100\t50\t50"),
         "neveljavna vrednost stavcna_intonacija_vzkl"},
        {without_key(good, "Podaljsanje_locil"), "Podaljsanje_locil"},
        {with_key(good, "Podaljsanje_locil", many), "neveljavna vrednost Podaljsanje_locil"},
        {with_key(good, "Pretvorba_locil", "\"#.,\""), "neveljavna vrednost Pretvorba_locil"},
        {with_key(good, "Presledek", "40"), "neveljavna vrednost Presledek"},
        {with_key(good, "freq_po_premici", "da"), "neveljavna vrednost freq_po_premici"},
    };
    for (const auto& c : cases) {
        LogCapture log;
        EXPECT_THROW(make(c.profile), std::runtime_error) << c.message;
        EXPECT_TRUE(log.contains(c.message)) << c.message;
        EXPECT_TRUE(log.contains("TMakro: Profile can not be read!")) << c.message;
        EXPECT_EQ(last_error(), "TMakro: Constructor failed to create class!");
    }
    // The two optional keys may be absent.
    EXPECT_NO_THROW(make(without_key(without_key(good, "omeji_naklon"), "freq_po_premici")));
}

TEST_F(MakroTest, ProfileNameMustBeIniOrIns) {
    const std::string path = dir_.write("makro.cfg", profile_);
    EXPECT_THROW(TMakro(path, phones_), std::runtime_error);
    const std::string base = dir_.file("makro");
    EXPECT_EQ(last_error(),
              "TMakro: Could not find " + base + ".ini or " + base + ".ins ! Aborting!");
}

TEST_F(MakroTest, PhraseWithoutStressKeepsItsValues) {
    auto makro = make(profile_);
    const auto in = records(
        {{"p", 80, 0}, {"a", 70, 110}, {"_", 0, 0}, {"t", 60, 105}, {"a", 65, 100}, {".", 450, 0}});
    const auto out = run(*makro, in);
    EXPECT_EQ(names(out), "p a _ t a _ ");
    for (std::size_t i = 0; i < in.size(); ++i) {
        EXPECT_EQ(out[i].duration, in[i].duration) << i;
        EXPECT_EQ(out[i].pitch, in[i].pitch) << i;
    }
}

TEST_F(MakroTest, PhoneCountContourByPhraseType) {
    auto makro = make(profile_);
    // Statement 102 104 88 110; question 96 112 120 115.
    const struct {
        const char* mark;
        int p, nucleus, t, a, duration;
    } cases[] = {
        {".", 102, 104, 96, 88, 110},
        {";", 102, 104, 96, 88, 110},
        {"?", 96, 112, 116, 120, 115},
    };
    for (const auto& c : cases) {
        const auto out = run(*makro, records({{"p", 100, 100},
                                              {"a:", 100, 100},
                                              {"t", 100, 100},
                                              {"a", 100, 100},
                                              {c.mark, 300, 0}}));
        EXPECT_EQ(names(out), "p a: t a _ ") << c.mark;
        EXPECT_EQ(out[0].pitch, c.p) << c.mark;
        EXPECT_EQ(out[1].pitch, c.nucleus) << c.mark;
        EXPECT_EQ(out[1].duration, c.duration) << c.mark;
        EXPECT_EQ(out[2].pitch, c.t) << c.mark;
        EXPECT_EQ(out[3].pitch, c.a) << c.mark;
        EXPECT_EQ(out[4].duration, 300) << c.mark;
        EXPECT_EQ(out[0].duration, 100) << c.mark;
    }
    // Nucleus on the first phone: only it and the falling side change.
    const auto out =
        run(*makro, records({{"a:", 100, 100}, {"t", 100, 100}, {"a", 100, 100}, {".", 300, 0}}));
    EXPECT_EQ(out[0].pitch, 104);
    EXPECT_EQ(out[1].pitch, 96);
    EXPECT_EQ(out[2].pitch, 88);
}

TEST_F(MakroTest, OtherEndingKeepsThePreviousType) {
    auto makro = make(profile_);
    auto out =
        run(*makro, records({{"a:", 100, 100}, {"?", 100, 0}, {"a:", 100, 100}, {"-", 100, 0}}));
    EXPECT_EQ(out[0].pitch, 112);
    EXPECT_EQ(out[2].pitch, 112);
    // The first phrase of a run has no previous type: statement.
    out = run(*makro, records({{"a:", 100, 100}, {"-", 100, 0}}));
    EXPECT_EQ(out[0].pitch, 104);
    // A phrase that runs to the end of the records, after a statement.
    out = run(*makro, records({{"a:", 100, 100}, {".", 100, 0}, {"a:", 100, 100}}));
    EXPECT_EQ(out[2].pitch, 104);
}

TEST_F(MakroTest, PausesBeforeListedWords) {
    auto makro = make(profile_);
    // kEr is listed with 60 ms.
    auto out = run(*makro, records({{"p", 50, 100},
                                    {"a", 50, 100},
                                    {"_", 0, 0},
                                    {"k", 50, 100},
                                    {"E", 50, 100},
                                    {"r", 50, 100},
                                    {"_", 0, 0},
                                    {"t", 50, 100},
                                    {".", 300, 0}}));
    EXPECT_EQ(out[2].duration, 60);
    EXPECT_EQ(out[6].duration, 0);
    // Not at the start of a phrase, and not inside a longer word.
    out = run(*makro, records({{"k", 50, 100},
                               {"E", 50, 100},
                               {"r", 50, 100},
                               {"_", 0, 0},
                               {"k", 50, 100},
                               {"E", 50, 100},
                               {"r", 50, 100},
                               {"t", 50, 100},
                               {".", 300, 0}}));
    EXPECT_EQ(out[3].duration, 0);
}

TEST_F(MakroTest, NucleusExceptions) {
    auto makro = make(profile_);
    // tu:di carries the accent although a: stands later.
    auto out = run(*makro, records({{"t", 100, 100},
                                    {"u:", 100, 100},
                                    {"d", 100, 100},
                                    {"i", 100, 100},
                                    {"_", 0, 0},
                                    {"p", 100, 100},
                                    {"a:", 100, 100},
                                    {".", 300, 0}}));
    EXPECT_EQ(out[1].pitch, 104);
    EXPECT_EQ(out[1].duration, 110);
    EXPECT_EQ(out[6].duration, 100);
    // Only the first occurrence is tested: inside tu:dija it is no word, so the
    // exception does not count and the last stressed vowel keeps the accent.
    out = run(*makro, records({{"t", 100, 100},
                               {"u:", 100, 100},
                               {"d", 100, 100},
                               {"i", 100, 100},
                               {"j", 100, 100},
                               {"a", 100, 100},
                               {"_", 0, 0},
                               {"t", 100, 100},
                               {"u:", 100, 100},
                               {"d", 100, 100},
                               {"i", 100, 100},
                               {"_", 0, 0},
                               {"p", 100, 100},
                               {"a:", 100, 100},
                               {".", 300, 0}}));
    EXPECT_EQ(out[13].duration, 110);
    EXPECT_EQ(out[8].duration, 100);
}

TEST_F(MakroTest, TimeLinearSlopeLimit) {
    std::string profile = with_key(profile_, "freq_po_premici", "1");
    profile = with_key(profile, "stavcna_intonacija_prip", "100\t140\t100\t100\t100\t50\t50");
    const auto in = records({{"p", 100, 100},
                             {"a", 100, 100},
                             {"t", 100, 100},
                             {"a", 100, 100},
                             {"a:", 100, 100},
                             {".", 300, 0}});
    auto makro = make(profile);
    auto out = run(*makro, in);
    // 40 points over 400 ms is 0.1 per ms, cut to 0.05.
    EXPECT_EQ(out[0].pitch, 102);
    EXPECT_EQ(out[3].pitch, 117);
    EXPECT_EQ(out[4].pitch, 140);
    makro = make(with_key(profile, "omeji_naklon", "0"));
    out = run(*makro, in);
    EXPECT_EQ(out[3].pitch, 135);
}

TEST_F(MakroTest, PhraseDurationAndRenaming) {
    std::string profile =
        with_key(profile_, "stavcna_intonacija_prip", "100\t100\t100\t100\t150\t50\t50");
    // F shares m's symbol and class: it comes out as m.
    std::string symbols = test::key_value(profile_, "Nabor_izhodnih_fonemov");
    symbols[symbols.find('F')] = 'm';
    profile = with_key(profile, "Nabor_izhodnih_fonemov", symbols);
    auto makro = make(profile);
    const auto out = run(
        *makro,
        records({{"F", 100, 100}, {"a:", 100, 100}, {"_", 10, 0}, {"xy", 40, 100}, {".", 100, 0}}));
    EXPECT_EQ(names(out), "m a: _ _ _ ");
    EXPECT_EQ(out[0].duration, 150);
    EXPECT_EQ(out[2].duration, 10);  // spaces keep their duration
    EXPECT_EQ(out[3].pitch, 0);      // an unknown name is a silent separator
}

TEST_F(MakroTest, SecondMarkLengthensThePause) {
    auto makro = make(profile_);
    const auto out = run(*makro, records({{"a:", 100, 100}, {",!", 200, 0}, {".?", 200, 0}}));
    EXPECT_EQ(out[1].duration, 240);
    EXPECT_EQ(out[2].duration, 260);
}

TEST_F(MakroTest, EmptyAndInvalidInput) {
    auto makro = make(profile_);
    EXPECT_EQ(makro->run(nullptr, 0), 0);
    EXPECT_EQ(makro->count(), 0);
    LogCapture log;
    EXPECT_EQ(makro->run(nullptr, 3), -2);
    EXPECT_TRUE(log.contains("Napaka pri izvajanju makroprozodike!"));
}

}  // namespace
}  // namespace sint

// The default voice's two profiles working together on ordinary sentences.
#include <gtest/gtest.h>

#include <memory>

#include "prosody/engine_phone_services.h"
#include "prosody/makro.h"
#include "prosody/mikro.h"
#include "prosody_fixture.h"
#include "tests/support/strict.h"
#include "text/text_options.h"
#include "text/tgfp.h"

namespace sint {
namespace {

class VoiceProsodyTest : public ::testing::Test {
protected:
    VoiceProsodyTest()
        : phones_(test::voice_phones()),
          mikro_(std::string(SINT_SOURCE_DIR) + "/voice/mikro.ini", phones_),
          makro_(std::string(SINT_SOURCE_DIR) + "/voice/makro.ini", phones_) {}

    // Micro and macro prosody as the facade runs them.
    std::vector<ProsodyRecord> speak(const std::string& text) {
        mikro_.set_word_boundary_pause(0);
        EXPECT_EQ(mikro_.run(text + " .", false), 0);
        EXPECT_EQ(makro_.run(mikro_.output(), mikro_.count()), 0);
        return {makro_.output(), makro_.output() + makro_.count()};
    }

    bool is_vowel(const ProsodyRecord& r) const {
        const int index = phones_.phone_index(r.name);
        std::string classes;
        return index >= 0 && phones_.DolociZvocnost({index}, classes) && classes == "v";
    }

    static int total(const std::vector<ProsodyRecord>& records) {
        int sum = 0;
        for (const ProsodyRecord& r : records) sum += r.duration;
        return sum;
    }

    PhoneTable phones_;
    TMikro mikro_;
    TMakro makro_;
};

const char* const kSentences[] = {
    "dO:bEr da:n",
    "ta:m jE ma:ma",
    "jutri gr@:mO na mO:rjE , ka:jti vrE:mE bO lE:pO",
    "vsi: lju:djE sO ro:jEni svO:bOdni in Ena:ki pO dOstOja:nstvu in pra:vitsa:x",
    "ka:kO stE: ?",
    "pOzdra:vlJEni u nO:vi hi:Si !",
};

TEST_F(VoiceProsodyTest, StatementFallsAndQuestionRisesAtTheNucleus) {
    const std::vector<ProsodyRecord> statement = speak("ta:m jE ma:ma .");
    const std::vector<ProsodyRecord> question = speak("ta:m jE ma:ma ?");
    ASSERT_EQ(statement.size(), question.size());
    // The nucleus is the a: of ma:ma; the final a follows it.
    std::size_t nucleus = 0;
    for (std::size_t i = 0; i < statement.size(); ++i) {
        if (std::string(statement[i].name) == "a:") nucleus = i;
    }
    const std::size_t last = nucleus + 2;
    ASSERT_EQ(std::string(statement[last].name), "a");
    EXPECT_LT(statement[last].pitch, statement[nucleus].pitch);
    EXPECT_GT(question[nucleus].pitch, statement[nucleus].pitch);
    EXPECT_GT(question[last].pitch, question[nucleus - 3].pitch);
    EXPECT_GT(question[last].pitch, statement[last].pitch + 20);
}

TEST_F(VoiceProsodyTest, RateLengthensAndShortens) {
    const std::string text = kSentences[3];
    mikro_.set_rate(0);
    const int normal = total(speak(text));
    mikro_.set_rate(-10);
    const int slow = total(speak(text));
    mikro_.set_rate(10);
    const int fast = total(speak(text));
    EXPECT_GT(slow, normal * 12 / 10);
    EXPECT_LT(fast, normal * 9 / 10);
}

TEST_F(VoiceProsodyTest, DurationsAndPitchesInRange) {
    int syllables = 0;
    int speech = 0;
    for (const char* text : kSentences) {
        for (const ProsodyRecord& r : speak(text)) {
            if (std::string(r.name) == "_") continue;
            speech += r.duration;
            if (is_vowel(r)) {
                ++syllables;
                EXPECT_GE(r.duration, 35) << text << " " << r.name;
                EXPECT_LE(r.duration, 200) << text << " " << r.name;
            } else {
                EXPECT_GE(r.duration, 40) << text << " " << r.name;
                EXPECT_LE(r.duration, 120) << text << " " << r.name;
            }
            EXPECT_GE(r.pitch, 90) << text << " " << r.name;
            EXPECT_LE(r.pitch, 150) << text << " " << r.name;
        }
    }
    // Near five syllables a second of speech.
    const double rate = syllables * 1000.0 / speech;
    EXPECT_GT(rate, 4.3);
    EXPECT_LT(rate, 5.8);
}

}  // namespace
}  // namespace sint

namespace sint {
namespace {

// Both stages built on the text-analysis engine itself, whose profile carries
// the inventory of the prosody profiles.
TEST(ProsodyOverTheEngine, EngineServesThePhones) {
    const std::string mikro_ini = std::string(SINT_SOURCE_DIR) + "/voice/mikro.ini";
    const std::string makro_ini = std::string(SINT_SOURCE_DIR) + "/voice/makro.ini";
    const std::string mikro = test::voice_file("mikro.ini");
    std::string gfp = test::voice_file("gfp.ini");
    gfp = test::with_key(gfp, "Nabor_fonemov", test::key_value(mikro, "Nabor_fonemov"));
    gfp = test::with_key(gfp, "Razvrstitev_fonemov", test::key_value(mikro, "Razvrstitev_fonemov"));
    test::TempDir dir;
    TextOptions settings;
    settings.dictionary_dir = std::string(SINT_SOURCE_DIR) + "/voice/slovarji/";
    settings.fast_start = false;
    settings.dictionaries_scrambled = false;
    settings.statistics_dir = std::string(SINT_SOURCE_DIR) + "/voice/statistika/";
    std::unique_ptr<TGFP> loaded;
    try {
        loaded = std::make_unique<TGFP>(dir.write("gfp.ini", gfp), settings, dir.file("none.ndx"));
    } catch (const std::runtime_error&) {
        SINT_LACKING("the text-analysis profile does not load here: " + last_error());
    }
    const TGFP& engine = *loaded;

    TMikro micro(mikro_ini, engine);
    TMakro macro(makro_ini, engine);
    EXPECT_TRUE(micro.inventory_matches());
    micro.set_word_boundary_pause(0);
    ASSERT_EQ(micro.run("tu:di ma:ma ts@:lO l'u:bi ? .", false), 0);
    ASSERT_EQ(macro.run(micro.output(), micro.count()), 0);
    std::string names;
    for (int i = 0; i < macro.count(); ++i) names += std::string(macro.output()[i].name) + " ";
    EXPECT_EQ(names, "t u: d i _ m a: m a _ ts @: l O _ l' u: b i _ ");
    EXPECT_EQ(micro.boundary_pitch(), (112 + 108) / 2);

    // An engine with another inventory is noticed.
    gfp = test::with_key(gfp, "Nabor_fonemov", "a\ta:\tb");
    gfp = test::with_key(gfp, "Razvrstitev_fonemov", "113");
    TGFP other(dir.write("gfp.ini", gfp), settings, dir.file("none.ndx"));
    EXPECT_FALSE(TMikro(mikro_ini, other).inventory_matches());
}

// The adapter needs only the engine's phone services; a stand-in engine shows
// what it forwards.
struct StandInEngine {
    struct Inventory {
        std::size_t size() const { return 3; }
        std::string symbol(int index) const {
            return std::vector<std::string>{"a", "a:", "t"}[index];
        }
        char sonority(int index) const { return "114"[index]; }
    };
    int phone_indices(std::string_view phones, std::vector<int>& out) const {
        return table.phone_indices(phones, out);
    }
    int phone_index(std::string_view symbol) const { return table.phone_index(symbol); }
    int first_long_phone(std::string_view phones) const { return table.first_long_phone(phones); }
    const Inventory& phone_inventory() const { return inventory; }
    PhoneTable table{{"a", "a:", "t"}, "114"};
    Inventory inventory;
};

TEST(ProsodyOverTheEngine, AdapterForwardsTheServices) {
    const StandInEngine engine;
    const EnginePhoneServices<StandInEngine> services(engine);
    EXPECT_EQ(services.phone_count(), 3);
    EXPECT_EQ(services.phone_symbol(1), "a:");
    EXPECT_EQ(services.phone_index("t"), 2);
    EXPECT_EQ(services.first_long_phone("ta:"), 1);
    std::vector<int> phones;
    EXPECT_EQ(services.phone_indices("ta:t", phones), 3);
    std::string classes;
    EXPECT_TRUE(services.DolociZvocnost(phones, classes));
    EXPECT_EQ(classes, "nvn");
    std::vector<SyllableSpan> spans;
    EXPECT_EQ(services.DeljenjeNaZloge("nvnnv", spans), 2);
}

}  // namespace
}  // namespace sint

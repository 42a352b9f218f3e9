// Units, numbers and letter sequences on the default voice's profile, read
// through the stage observer.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/text/text_test_support.h"

namespace sint {
namespace {

// The output of every stage for one whole-text conversion.
std::map<std::string, std::string> stages_of(const std::string& text) {
    TGFP& engine = test::default_engine();
    std::map<std::string, std::string> stages;
    engine.set_stage_observer(
        [&](std::string_view stage, const std::string& out) { stages[std::string(stage)] = out; });
    engine.convert_text(text, true);
    engine.set_stage_observer(nullptr);
    return stages;
}

struct StageCase {
    const char* text;
    const char* stage;
    const char* expected;  // must occur in that stage's output
};

class StageOutput : public ::testing::TestWithParam<StageCase> {};

TEST_P(StageOutput, ContainsTheReading) {
    const StageCase& c = GetParam();
    const auto stages = stages_of(c.text);
    ASSERT_TRUE(stages.count(c.stage)) << c.stage;
    EXPECT_NE(stages.at(c.stage).find(c.expected), std::string::npos)
        << c.text << " -> " << stages.at(c.stage);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, StageOutput,
    ::testing::Values(StageCase{"Stane 1500 evrov.", "numbers", "tiso~ petsto "},
                      StageCase{"Leta 2000 je bilo.", "numbers", "dva tiso~ "},
                      StageCase{"Leta 1000 je bilo.", "numbers", "Leta tiso~ "},
                      StageCase{"Klic 1234567 je.", "numbers", "ena dva tri {tiri pet {est sedem "},
                      StageCase{"Klic 0123 je.", "numbers", "ni~ ena dva tri "},
                      StageCase{"Dne 5. maja je.", "numbers", "petega maja"},
                      StageCase{"Bil je 300. dan.", "numbers", "tristot"},
                      StageCase{"Tam je 0 ljudi.", "numbers", "je ni~ "},
                      StageCase{"Ima 999999 let.", "numbers",
                                "devetsto devetindevetdeset tiso~ devetsto devetindevetdeset "},
                      StageCase{"Ima 100000 let.", "numbers", "sto tiso~ "},
                      StageCase{"Stane 250.000 evrov.", "numbers", "dvesto petdeset tiso~ evrov"},
                      StageCase{"Stane 1.500.000 evrov.", "numbers",
                                "en milijon petsto tiso~ evrov"},
                      StageCase{"Ima 2.000.000 ljudi.", "numbers", "dva milijona ljudi"},
                      StageCase{"Ima 1.000.000.000 ljudi.", "numbers", "ena milijarda ljudi"},
                      StageCase{"Stane 1.000.002 EUR.", "units", "1000000\x01 dva evra"},
                      StageCase{"Je 101000 let.", "numbers", "sto en tiso~ let"},
                      StageCase{"Verzija 1.5 je.", "numbers", "ena \" pet "},
                      StageCase{"Pelje 102 km dale\xE8.", "units", "100 dva kilometra"},
                      StageCase{"Pelje 102 km dale\xE8.", "numbers", "sto dva kilometra"},
                      StageCase{"Pelje 1 km dale\xE8.", "units", "en kilometer"},
                      StageCase{"Pelje 3 km dale\xE8.", "units", "trije kilometri"},
                      StageCase{"Pelje 5 km dale\xE8.", "units", "5 kilometrov"},
                      StageCase{"Pelje 21 km dale\xE8.", "units", "21 kilometrov"},
                      StageCase{"Pelje 101 km dale\xE8.", "units", "100 en kilometer"},
                      StageCase{"Traja 2 min zdaj.", "units", "dve minuti"},
                      StageCase{"Je 4 C zunaj.", "units", "{tiri stopinje celzija"},
                      StageCase{"Je 25 m visok.", "units", "25 metrov"},
                      StageCase{"Stane 7 EUR zdaj.", "units", "7 evrov"},
                      StageCase{"Raste 1 % letno.", "units", "en odstotek"},
                      StageCase{"Ima 5 g soli.", "units", "5 gramov"}));

INSTANTIATE_TEST_SUITE_P(
    Letters, StageOutput,
    ::testing::Values(StageCase{"Rekel je OK danes.", "letters", "je  # O # K # danes"},
                      StageCase{"Rekel je NATO danes.", "letters", "je nato danes"},
                      StageCase{"Rekel je NASA danes.", "letters", "je NASA danes"},
                      StageCase{"Rekel je NASA danes.", "words", "na:sa"},
                      StageCase{"Bil je v New Yorku in New York.", "words", "nju: jO:rk"},
                      StageCase{"Prvi odstavek... Drugi.", "words", " . ] dru:gi"},
                      StageCase{"A je res?", "letters", "a je res"},
                      StageCase{"Rekel je A danes.", "letters", "je  # A # danes"},
                      // No capital before it since the sentence end: a sentence start.
                      StageCase{"Da. in A je tam.", "letters", "in a je tam"},
                      StageCase{"TO JE VSE.", "letters", "to je vse"},
                      StageCase{"Ljubljana je lepa.", "letters", "ljubljana je lepa"}));

TEST(NumberStage, LongDigitRunIsReadInPieces) {
    const auto stages = stages_of(std::string(10000, '7') + " je.");
    const std::string& numbers = stages.at("numbers");
    EXPECT_EQ(numbers.find('7'), std::string::npos);
    EXPECT_LE(numbers.size(), kOutputSoftLimit + 2);
    EXPECT_LE(stages_of("x").at("numbers").size(), 8u);
}

}  // namespace
}  // namespace sint

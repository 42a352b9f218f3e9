#include "synth/phone_conversion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace sint {
namespace {

ProsodyRecord rec(const char* name, int duration, int pitch) {
    ProsodyRecord r;
    std::strncpy(r.name, name, 3);
    r.duration = static_cast<std::int16_t>(duration);
    r.pitch = static_cast<std::int16_t>(pitch);
    return r;
}

struct Unit {
    std::string name;
    int duration;
};

std::vector<Unit> units(const PhoneConverter& c) {
    std::vector<Unit> out;
    for (int i = 0; i < c.count(); ++i) out.push_back({c.output()[i].name, c.output()[i].duration});
    return out;
}

std::string names(const PhoneConverter& c) {
    std::string out;
    for (const Unit& u : units(c)) out += u.name + " ";
    return out;
}

TEST(PhoneConversion, PlosiveSplitsIntoClosureAndReleaseOnAVoicelessLine) {
    std::vector<ProsodyRecord> in = {rec("t", 100, 120)};
    PhoneConverter c;
    ASSERT_EQ(c.run(in.data(), 1, 120, 100, 0), 3);
    EXPECT_EQ(names(c), "_ - t ");
    EXPECT_EQ(c.output()[1].duration, 90);
    EXPECT_EQ(c.output()[2].duration, 0);
    // One voiceless run from the start with no voiced neighbour: the line is flat
    // at the target of the previous run, 0.
    for (int i = 0; i <= 3; ++i) EXPECT_EQ(c.output()[i].f0_start, 0) << i;
    EXPECT_EQ(c.output()[3].name[0], '\0');
    EXPECT_EQ(c.output()[3].duration, 0);
}

TEST(PhoneConversion, ExpansionTable) {
    const struct {
        const char* name;
        int duration;
        const char* expect;
        std::vector<int> durations;
    } cases[] = {
        {"d", 100, "_ = d ", {50, 90, 0}},
        {"ts", 100, "_ - t s ", {50, 45, 0, 45}},
        {"tS", 100, "_ - t S ", {50, 45, 0, 45}},
        {"_", 100, "_ _ _ _ ", {50, 35, 30, 35}},
        {"_", 200, "_ _ _ _ ", {50, 40, 120, 40}},
        {"_", 60, "_ _ _ ", {50, 30, 30}},
        {"_", 40, "_ _ ", {50, 40}},
        {"_", 0, "_ ", {50}},
        {"a\"", 80, "_ a: ", {50, 80}},
        {"l'", 80, "_ l ", {50, 80}},
        {"F", 80, "_ m ", {50, 80}},
    };
    for (const auto& c : cases) {
        std::vector<ProsodyRecord> in = {rec(c.name, c.duration, 100)};
        PhoneConverter conv;
        conv.run(in.data(), 1, 100, 100, 0);
        EXPECT_EQ(names(conv), c.expect) << c.name << " " << c.duration;
        std::vector<int> durations;
        for (const Unit& u : units(conv)) durations.push_back(u.duration);
        EXPECT_EQ(durations, c.durations) << c.name << " " << c.duration;
    }
}

TEST(PhoneConversion, GlideVariantsDependOnContext) {
    const struct {
        std::vector<const char*> in;
        const char* expect;
    } cases[] = {
        {{"a", "W"}, "_ a U "},        {{"W", "a"}, "_ u a "},
        {{"a", "i", "s"}, "_ a I s "}, {{"a", "i", "n"}, "_ a i n "},
        {{"a", "j", "s"}, "_ a I s "}, {{"a", "j", "a"}, "_ a j a "},
        {{"a", "w"}, "_ a U "},        {{"s", "w"}, "_ s u "},
        {{"a", "u", "u"}, "_ a U u "},  // the second u follows the changed U
    };
    for (const auto& c : cases) {
        std::vector<ProsodyRecord> in;
        for (const char* n : c.in) in.push_back(rec(n, 60, 100));
        PhoneConverter conv;
        conv.run(in.data(), static_cast<int>(in.size()), 100, 100, 0);
        EXPECT_EQ(names(conv), c.expect);
    }
}

TEST(PhoneConversion, ArticulationAndOffsetAdjustThePitchInPlace) {
    std::vector<ProsodyRecord> in = {rec("a", 100, 140)};
    PhoneConverter c;
    c.run(in.data(), 1, 100, 50, 0);
    EXPECT_EQ(in[0].pitch, 120);
    EXPECT_EQ(c.output()[1].f0_middle, 120);
    in = {rec("a", 100, 140)};
    c.run(in.data(), 1, 100, 100, -10);
    EXPECT_EQ(in[0].pitch, 130);
}

TEST(PhoneConversion, BoundarySmoothingBetweenVoicedUnits) {
    std::vector<ProsodyRecord> in = {rec("m", 80, 100), rec("a", 80, 200), rec("o:", 80, 120),
                                     rec("n", 80, 160)};
    PhoneConverter c;
    c.run(in.data(), 4, 100, 100, 0);
    const AlophoneRecord* o = c.output();
    EXPECT_EQ(o[2].f0_start, (3 * 200 + 100) / 4);  // vowel after voiced consonant
    EXPECT_EQ(o[1].f0_end, o[2].f0_start);
    EXPECT_EQ(o[3].f0_start, (120 + 200) / 2);      // vowel after vowel
    EXPECT_EQ(o[4].f0_start, (160 + 3 * 120) / 4);  // voiced consonant after vowel
    EXPECT_EQ(o[5].f0_start, o[4].f0_end);          // terminator copies the last end
}

TEST(PhoneConversion, VoicelessRunIsAStraightLineBetweenItsNeighbours) {
    std::vector<ProsodyRecord> in = {rec("a", 100, 100), rec("s", 100, 0), rec("f", 100, 0),
                                     rec("a", 100, 200)};
    PhoneConverter c;
    c.run(in.data(), 4, 100, 100, 0);
    const AlophoneRecord* o = c.output();
    ASSERT_EQ(names(c), "_ a s f a ");
    // From the end of the first a (100) to the start of the second (200) over 200 ms.
    EXPECT_EQ(o[2].f0_start, 100);
    EXPECT_EQ(o[2].f0_middle, 125);
    EXPECT_EQ(o[2].f0_end, 150);
    EXPECT_EQ(o[3].f0_middle, 175);
    EXPECT_EQ(o[3].f0_end, 200);
    // The leading pause rises from the first voiced start.
    EXPECT_EQ(o[0].f0_end, o[1].f0_start);
}

TEST(PhoneConversion, GrowsPastTheInitialCapacity) {
    std::vector<ProsodyRecord> in(500, rec("ts", 100, 100));
    PhoneConverter c;
    EXPECT_EQ(c.run(in.data(), 500, 100, 100, 0), 1 + 3 * 500);
    c.free();
    EXPECT_EQ(c.count(), 0);
    EXPECT_EQ(c.output(), nullptr);
}

}  // namespace
}  // namespace sint

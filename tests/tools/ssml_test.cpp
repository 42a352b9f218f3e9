// The SSML reader and the speech plan: documents in, pieces and requests out.
#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <string>

#include "tools/ssml/speech_plan.h"
#include "tools/ssml/ssml_reader.h"

namespace sint {
namespace {

// "text", "text"{r,p,v,spell}, <mark>, [ms], | for a boundary; before them
// "plain L:C" for malformed markup and "deep"/"cut" when a limit was reached.
std::string describe(const SsmlDocument& document) {
    std::ostringstream out;
    if (document.plain_fallback)
        out << "plain " << document.error_line << ':' << document.error_column << ": ";
    if (document.depth_limited) out << "deep: ";
    if (document.pauses_limited) out << "cut: ";
    for (const SsmlPiece& p : document.pieces) {
        switch (p.kind) {
            case SsmlPiece::Kind::Text:
                out << '"' << p.text << '"';
                if (p.prosody != ProsodyChange{} || p.spell)
                    out << '{' << p.prosody.rate << ',' << p.prosody.pitch << ','
                        << p.prosody.volume << (p.spell ? ",spell" : "") << '}';
                break;
            case SsmlPiece::Kind::Mark:
                out << '<' << p.text << '>';
                break;
            case SsmlPiece::Kind::Break:
                out << '[' << p.break_ms << ']';
                break;
            case SsmlPiece::Kind::Boundary:
                out << '|';
                break;
        }
    }
    return out.str();
}

std::string repeat(std::string_view text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += text;
    return out;
}

TEST(SsmlReader, DocumentsBecomePieces) {
    const std::string cc = repeat("\xc4\x8d", 200);  // 200 × č
    const std::pair<std::string, std::string> cases[] = {
        {"Dober dan.", "\"Dober dan.\""},
        {"<speak>Dober <mark name=\"a\"/>dan.</speak>", "\"Dober \"<a>\"dan.\""},
        {"<?xml version=\"1.0\"?><speak xmlns=\"x\">A<!-- skrito -->B<![CDATA[<C>]]></speak>",
         "\"AB<C>\""},
        {"<speak>A<break time=\"300ms\"/>B<break time=\"1.5s\"/>C<break time=\".5s\"/>"
         "D<break strength=\"weak\"/>E<break/>F</speak>",
         "\"A\"[300]\"B\"[1500]\"C\"[500]\"D\"[250]\"E\"[500]\"F\""},
        // Only the SSML forms of a time; anything else is the strength's or the default pause.
        {"A<break time=\"0x10s\"/>B<break time=\"1e3ms\" strength=\"weak\"/>C<break time=\"-1s\"/>",
         "\"A\"[500]\"B\"[250]\"C\"[500]"},
        {"A<break time=\"99999s\"/>", "cut: \"A\"[60000]"},
        {"<speak><prosody rate=\"fast\">a</prosody><prosody rate=\"+20%\">b</prosody>"
         "<prosody rate=\"80%\">c</prosody><prosody rate=\"0.5\">d</prosody></speak>",
         "\"a\"{1.5,0,1}\"b\"{1.2,0,1}\"c\"{0.8,0,1}\"d\"{0.5,0,1}"},
        {"<prosody pitch=\"+2st\">a</prosody><prosody pitch=\"x-low\">b</prosody>"
         "<prosody volume=\"soft\">c</prosody><prosody volume=\"-6dB\">d</prosody>",
         "\"a\"{1,12,1}\"b\"{1,-80,1}\"c\"{1,0,0.5}\"d\"{1,0,0.501187}"},
        {"<prosody rate=\"fast\" volume=\"50\"><prosody rate=\"fast\" pitch=\"bogus\">a"
         "</prosody></prosody>",
         "\"a\"{2.25,0,0.5}"},
        {"<say-as interpret-as=\"characters\">abc</say-as> <say-as interpret-as=\"date\">1.2."
         "</say-as>",
         "\"abc\"{1,0,1,spell}\" 1.2.\""},
        {"<p><s>Ena.</s><s>Dve.</s></p><p/>Tri", "|\"Ena.\"|\"Dve.\"|\"Tri\""},
        {"&lt;a&gt; &amp; &#269;&#x17E;&quot;&#x0000000010D;&#00269;",
         "\"<a> & \xe8\x9e\"\xe8\xe8\""},
        // Unknown elements speak their text, <audio> its fallback; data and descriptions are
        // silent.
        {"<emphasis level=\"strong\">zelo</emphasis> <voice name=\"x\">dobro</voice>",
         "\"zelo dobro\""},
        {"<sub alias=\"Svetovna zdravstvena organizacija\">WHO</sub> <sub>OZN</sub>",
         "\"Svetovna zdravstvena organizacija OZN\""},
        {"<metadata><x>avtor</x></metadata><meta name=\"a\" content=\"b\"/><lexicon uri=\"x\"/>"
         "Pes <audio src=\"pes.wav\"><desc>lajanje</desc>hov</audio>",
         "\"Pes hov\""},
        {"\xc4\x8d\xc5\xa1\xc5\xbe \xc4\x8c", "\"\xe8\x9a\x9e \xc8\""},  // UTF-8 to code page 1250
        {"\xe8lovek", "\"\xe8lovek\""},                                  // 8-bit text stays
        // Declared encodings and byte-order marks.
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?><speak>\xb9\xb5\xbe\xe8</speak>",
         "\"\x9a\xbe\x9e\xe8\""},  // š ľ ž č
        {"<?xml version=\"1.0\" encoding=\"windows-1250\"?><speak>\x9a\x9e</speak>",
         "\"\x9a\x9e\""},
        {std::string("\xff\xfe<\0s\0>\0\x0d\x01\x61\0<\0/\0s\0>\0", 20),
         "|\"\xe8"
         "a\"|"},
        {std::string("\xfe\xff\0<\0s\0>\x01\x7e\0a\0<\0/\0s\0>", 20),
         "|\"\x9e"
         "a\"|"},
        {"\xef\xbb\xbf<speak>\xc5\xbe"
         "aba</speak>",
         "\"\x9e"
         "aba\""},
        {"<mark name=\"a&#10;b\"/><mark name=\"\"/>", "<a_b><>"},
        // A long mark name is cut before the character that would pass 256 bytes.
        {std::string("<mark name=\"").append(cc).append("\"/>"),
         std::string("<").append(cc, 0, 256).append(">")},
        // Malformed: the parser's position (where expat puts it) and the text
        // without its markup; no comment is spoken, no paragraphs run together.
        {"<speak>Mama <prosody>ima</speak> kis", "plain 1:27: \"Mama ima kis\""},
        {"<speak>Mama", "plain 1:12: \"Mama\""},
        {"<mark name=\"a\"/>Tri <break time=\"2s\"/> 3 < 5 in 7 > 2.",
         "plain 1:43: \"Tri \"|\" 3 < 5 in 7 > 2.\""},
        {"Tri & pol &bogus;", "plain 1:6: \"Tri & pol &bogus;\""},
        {"<p>Prvi</p><p>drugi <!-- ne -->odstavek</x>", "plain 1:42: \"Prvi\"|\"drugi odstavek\""},
        {"<mark name=a/>x", "plain 1:12: \"x\""},
        {"A <!-- ni konca", "plain 1:3: \"A \""},
        {"\xc5\xbe"
         "aba \xff",
         "plain 1:6: \"\x9e"
         "aba \""},  // a stray byte costs only itself
        {"<!DOCTYPE speak [<!ENTITY a \"aaaa\">]><speak>&a;</speak>", "plain 1:17: \"&a;\""},
        {"<?xml version=\"1.0\"?><!DOCTYPE speak [<!ENTITY a \"b\">]><speak>&a;</speak>",
         "plain 1:38: \"&a;\""},
        // Nesting deeper than the limit: the inner markup is ignored, and that is said;
        // text, marks and breaks count at any depth.
        {repeat("<prosody rate=\"+1%\">", kSsmlDepthMax + 1) + "a<break time=\"1s\"/>b" +
             repeat("</prosody>", kSsmlDepthMax + 1),
         "deep: \"a\"{1.89046,0,1}[1000]\"b\"{1.89046,0,1}"},
    };
    for (const auto& [document, expected] : cases)
        EXPECT_EQ(describe(read_ssml(document)), expected) << document;
}

// Rates as speed factors; what is no speaking rate is named among the problems.
TEST(SsmlReader, RatesAreSpeedFactors) {
    const std::pair<const char*, double> rates[] = {
        {"300%", 3.0},  {"50%", 0.5},  {"+20%", 1.2}, {"2.5", 2.5},   {"x-slow", 0.5},
        {"slow", 0.75}, {"medium", 1}, {"fast", 1.5}, {"x-fast", 2.0}};
    double previous = 0;
    for (const auto& [rate, factor] : rates) {
        const SsmlDocument d = read_ssml(std::string("<prosody rate=\"") + rate + "\">a</prosody>");
        ASSERT_EQ(d.pieces.size(), 1u) << rate;
        EXPECT_DOUBLE_EQ(d.pieces[0].prosody.rate, factor) << rate;
        EXPECT_TRUE(d.problems.empty()) << rate;
        if (std::isalpha(static_cast<unsigned char>(rate[0]))) {
            EXPECT_GT(factor, previous) << rate;  // the named rates in their order
            previous = factor;
        }
    }
    for (const char* bad : {"-50%", "abc", "3em"}) {
        const SsmlDocument d = read_ssml(std::string("<prosody rate=\"") + bad + "\">a</prosody>");
        ASSERT_EQ(d.problems.size(), 1u) << bad;
        EXPECT_EQ(d.problems[0].rfind(std::string("rate=\"") + bad + "\" is no speaking rate", 0),
                  0u);
        // The module's check before a message, without a parse, finds the same.
        EXPECT_EQ(ssml_rate_problems(std::string("<speak><prosody rate='") + bad + "'>a</prosody>"),
                  d.problems);
    }
    EXPECT_TRUE(
        ssml_rate_problems("<prosody pitch=\"low\" rate=\"fast\">rate=\"abc\"</prosody>").empty());
}

TEST(SsmlReader, PausesOfADocumentAreBounded) {
    const SsmlDocument document = read_ssml(repeat("<break time=\"10s\"/>", 400));
    long total = 0;
    for (const SsmlPiece& piece : document.pieces) total += piece.break_ms;
    EXPECT_EQ(total, kSsmlPausesMaxMs);
    EXPECT_TRUE(document.pauses_limited);
}

TEST(SpeechPlan, RequestSettingsFollowTheVoiceAndTheMarkup) {
    VoiceParams boosted;  // Speech Dispatcher's rate 100 with SintMaxSpeed 6
    boosted.rate = 100;
    boosted.max_speed = 6;
    const struct {
        VoiceParams voice;
        ProsodyChange change;
        RequestSettings expected;  // TEMPO, SPEED, PITCH, VOLUME
    } cases[] = {
        {{}, {}, {0, 100, 0, 100}},
        {{-100, 100, 0}, {}, {-10, 100, 50, 50}},  // a third of the speed
        {{50, -33, -100}, {}, {5, 100, -17, 1}},   // 3^(50/100)
        {{100, 0, 100}, {2.0, -200, 0.5}, {10, 200, -50, 50}},
        {{}, {3.0, 0, 1.0}, {10, 100, 0, 100}},  // "300%"
        {{}, {2.0, 0, 1.0}, {6, 103, 0, 100}},   // x-fast: TEMPO 6 and the rest
        {boosted, {}, {10, 200, 0, 100}},
        {{}, {1.0, 0, 0.0}, {0, 100, 0, 1}},
    };
    for (const auto& c : cases) {
        const RequestSettings got = request_settings(c.voice, c.change);
        EXPECT_EQ(got, c.expected)
            << got.tempo << " " << got.speed << " " << got.pitch << " " << got.volume;
    }
    // Speech Dispatcher's rate 100 is three times the normal speed, -100 a third.
    EXPECT_DOUBLE_EQ(rate_factor(VoiceParams{100}), 3.0);
    EXPECT_DOUBLE_EQ(rate_factor(VoiceParams{-100}), 1.0 / 3.0);
    EXPECT_NEAR(rate_factor(boosted), 6.0, 1e-12);
}

TEST(SpeechPlan, StretchesKeepTheirMarksAndSettings) {
    const auto plan = plan_speech(
        read_ssml("<speak>A <mark name=\"m\"/>B<mark name=\"n\"/><break time=\"100ms\"/>"
                  "<prosody rate=\"fast\">C</prosody><s>D</s><mark name=\"o\"/></speak>"),
        VoiceParams{});
    ASSERT_EQ(plan.size(), 5u);
    EXPECT_EQ(plan[0].text, "A B");
    ASSERT_EQ(plan[0].marks.size(), 2u);
    EXPECT_EQ(plan[0].marks[0].offset, 2u);
    EXPECT_EQ(plan[0].marks[1].offset, 3u);
    EXPECT_EQ(plan[1].kind, PlanItem::Kind::Silence);
    EXPECT_EQ(plan[1].silence_ms, 100);
    EXPECT_EQ(plan[2].text, "C");
    EXPECT_EQ(plan[2].settings.tempo, 4);
    EXPECT_EQ(plan[3].text, "D");
    EXPECT_EQ(plan[4].kind, PlanItem::Kind::Mark);
    EXPECT_EQ(plan[4].text, "o");

    VoiceParams spelling;
    spelling.spelling = true;
    const auto spelled = plan_speech(read_ssml("ab"), spelling);
    ASSERT_EQ(spelled.size(), 1u);
    EXPECT_TRUE(spelled[0].spell);
}

TEST(SpeechPlan, PunctuationIsNamedByMode) {
    const std::string text = "a, b (c) @d.";
    const std::pair<PunctuationMode, std::string> cases[] = {
        {PunctuationMode::None, "a, b (c) @d."},
        {PunctuationMode::Some, "a, b (c)  afna @d."},
        {PunctuationMode::Most, "a, b  oklepaj (c zaklepaj )  afna @d."},
        {PunctuationMode::All, "a vejica , b  oklepaj (c zaklepaj )  afna @d pika ."},
    };
    const SymbolNames names(std::string(SINT_SOURCE_DIR) + "/voice/simboli.ini");
    for (const auto& [mode, expected] : cases) {
        EXPECT_EQ(name_punctuation(text, mode, &names), expected) << static_cast<int>(mode);
        EXPECT_EQ(name_punctuation(text, mode, nullptr), text) << static_cast<int>(mode);
    }
}

}  // namespace
}  // namespace sint

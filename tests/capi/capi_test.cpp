// The C interface as a program outside the project uses it: sint.h alone,
// over the build's voice; and one sentence against the server's audio.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "capi/sint.h"
#include "tests/support/packed_voice.h"
#include "tests/support/sintsrv_process.h"

namespace {

const char* const kSentence = "Dober dan, to je preizkus govora.";

struct Sink {
    std::vector<std::int16_t> samples;
    std::vector<std::pair<std::string, std::size_t>> marks;
    int chunks = 0;
    int stop_after = 0;  // chunks; 0: never stop
};

int collect(const std::int16_t* samples, std::size_t count, void* user) {
    auto& sink = *static_cast<Sink*>(user);
    sink.samples.insert(sink.samples.end(), samples, samples + count);
    return ++sink.chunks == sink.stop_after;
}

int collect_mark(const char* name, std::size_t sample, void* user) {
    static_cast<Sink*>(user)->marks.emplace_back(name, sample);
    return 0;
}

struct VoiceHandle {
    explicit VoiceHandle(const char* folder = SINT_PROGRAM_DIR)
        : voice(sint_open(folder, error, sizeof error)) {}
    ~VoiceHandle() { sint_close(voice); }
    char error[256] = "unset";
    sint_voice* voice;
};

std::vector<std::int16_t> speak(sint_voice* voice, const char* text, unsigned flags = 0) {
    Sink sink;
    EXPECT_EQ(sint_speak(voice, text, flags, collect, &sink), SINT_OK);
    return sink.samples;
}

TEST(CInterface, OpensSpeaksAndCloses) {
    VoiceHandle v;
    ASSERT_NE(v.voice, nullptr) << v.error;
    EXPECT_STREQ(v.error, "");
    EXPECT_EQ(sint_sample_rate(v.voice), 16000);
    const auto first = speak(v.voice, kSentence);
    EXPECT_GT(first.size(), 16000u);  // over a second of speech
    EXPECT_EQ(speak(v.voice, kSentence), first) << "the same text twice gives the same audio";
    EXPECT_TRUE(speak(v.voice, "").empty());
}

TEST(CInterface, SettingsChangeTheAudioAndAreChecked) {
    VoiceHandle v;
    ASSERT_NE(v.voice, nullptr) << v.error;
    const auto normal = speak(v.voice, kSentence);
    ASSERT_EQ(sint_set_speed(v.voice, 2.0), SINT_OK);
    EXPECT_LT(speak(v.voice, kSentence).size(), normal.size() * 3 / 4);
    ASSERT_EQ(sint_set_speed(v.voice, 1.0), SINT_OK);
    ASSERT_EQ(sint_set_volume(v.voice, 50), SINT_OK);
    const auto half = speak(v.voice, kSentence);
    ASSERT_EQ(half.size(), normal.size());
    for (std::size_t i = 0; i < half.size(); ++i) ASSERT_EQ(half[i], normal[i] * 50 / 100) << i;

    struct Bad {
        int (*set)(sint_voice*, int);
        int value;
    };
    for (const Bad& bad : {Bad{sint_set_rate, 11}, Bad{sint_set_rate, -11}, Bad{sint_set_pitch, 51},
                           Bad{sint_set_volume, 0}, Bad{sint_set_volume, 101}})
        EXPECT_EQ(bad.set(v.voice, bad.value), SINT_E_ARGUMENT) << bad.value;
    EXPECT_EQ(sint_set_speed(v.voice, 0.2), SINT_E_ARGUMENT);
    EXPECT_EQ(sint_set_speed(v.voice, std::nan("")), SINT_E_ARGUMENT);
    EXPECT_EQ(sint_speak(nullptr, "a", 0, collect, nullptr), SINT_E_ARGUMENT);
    EXPECT_EQ(sint_speak(v.voice, nullptr, 0, collect, nullptr), SINT_E_ARGUMENT);
    EXPECT_STREQ(sint_strerror(SINT_E_STOPPED), "stopped by a callback");
    EXPECT_STREQ(sint_strerror(12345), "unknown error code");
}

TEST(CInterface, SsmlMarksBreaksAndProsody) {
    VoiceHandle v;
    ASSERT_NE(v.voice, nullptr) << v.error;
    Sink sink;
    sint_set_mark_callback(v.voice, collect_mark, &sink);
    ASSERT_EQ(sint_speak(v.voice,
                         "<speak><mark name=\"a\"/>Dober dan.<break time=\"500ms\"/>"
                         "<mark name=\"b\"/>Nasvidenje.</speak>",
                         SINT_SSML, collect, &sink),
              SINT_OK);
    const auto first = speak(v.voice, "Dober dan.");
    ASSERT_EQ(sink.marks.size(), 2u);
    EXPECT_EQ(sink.marks[0], std::make_pair(std::string("a"), std::size_t{0}));
    EXPECT_EQ(sink.marks[1], std::make_pair(std::string("b"), first.size() + 8000));
    ASSERT_GT(sink.samples.size(), first.size() + 8000);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), sink.samples.begin()));
    // Tags are markup, not text: the same sentence with and without <speak>.
    sint_set_mark_callback(v.voice, nullptr, nullptr);
    EXPECT_EQ(speak(v.voice, "<speak>Dober dan.</speak>", SINT_SSML), first);
    EXPECT_LT(
        speak(v.voice, "<speak><prosody rate=\"+100%\">Dober dan.</prosody></speak>", SINT_SSML)
            .size(),
        first.size());
}

TEST(CInterface, TheAudioCallbackStopsTheSpeech) {
    VoiceHandle v;
    ASSERT_NE(v.voice, nullptr) << v.error;
    const std::string long_text = std::string(kSentence) + " " + kSentence + " " + kSentence;
    Sink sink;
    sink.stop_after = 2;
    EXPECT_EQ(sint_speak(v.voice, long_text.c_str(), 0, collect, &sink), SINT_E_STOPPED);
    EXPECT_EQ(sink.chunks, 2);
    // The voice speaks on after a stop.
    EXPECT_GT(speak(v.voice, long_text.c_str()).size(), sink.samples.size());
}

struct EventLog {
    Sink* sink = nullptr;
    struct Seen {
        sint_event event;
        std::string name;
        std::size_t heard;  // samples delivered when it came
    };
    std::vector<Seen> seen;
    int stop_at = -1;  // the event that stops the speech; -1: none
};

int collect_event(const sint_event* event, void* user) {
    auto& log = *static_cast<EventLog*>(user);
    log.seen.push_back({*event, event->name, log.sink->samples.size()});
    return static_cast<int>(log.seen.size()) - 1 == log.stop_at;
}

// Words and their phones tile the audio, in order, each announced before the
// samples where it begins; a non-zero return stops the speech.
TEST(CInterface, WordAndPhoneEventsFollowTheAudio) {
    VoiceHandle v;
    ASSERT_NE(v.voice, nullptr) << v.error;
    Sink sink;
    EventLog log;
    log.sink = &sink;
    sint_set_event_callback(v.voice, collect_event, &log);
    ASSERT_EQ(sint_speak(v.voice, "Dober dan. Kako ste?", 0, collect, &sink), SINT_OK);
    std::vector<std::string> words, phones_of_words(4);
    std::size_t next = 0;
    for (const auto& [event, name, heard] : log.seen) {
        EXPECT_LE(heard, event.sample) << name;
        if (event.type == SINT_EVENT_WORD) {
            EXPECT_EQ(event.word, words.size());
            words.push_back(name);
            continue;
        }
        ASSERT_EQ(event.type, SINT_EVENT_PHONE);
        EXPECT_GE(event.sample, next) << name;  // phones in order, one after another
        next = event.sample + event.length;
        if (name != "_" && event.word < phones_of_words.size()) {
            std::string& word = phones_of_words[event.word];
            word += (word.empty() ? "" : " ") + name;
        }
    }
    ASSERT_EQ(words.size(), 4u);  // dober, dan, kako, ste
    phones_of_words.resize(4);
    EXPECT_EQ(words, phones_of_words);
    EXPECT_LE(next, sink.samples.size());
    EXPECT_GT(next, sink.samples.size() / 2);

    EventLog stopping;
    stopping.sink = &sink;
    stopping.stop_at = 3;
    sink = Sink{};
    sint_set_event_callback(v.voice, collect_event, &stopping);
    EXPECT_EQ(sint_speak(v.voice, "Dober dan.", 0, collect, &sink), SINT_E_STOPPED);
    EXPECT_EQ(stopping.seen.size(), 4u);
}

TEST(CInterface, AMissingVoiceIsNamed) {
    const std::string missing = std::string(SINT_PROGRAM_DIR) + "/no-such-voice";
    VoiceHandle v(missing.c_str());
    EXPECT_EQ(v.voice, nullptr);
    EXPECT_NE(std::string(v.error).find("no voice folder " + missing), std::string::npos)
        << v.error;

    sint::test::TempDir empty;
    VoiceHandle no_ini(empty.path().c_str());
    EXPECT_EQ(no_ini.voice, nullptr);
    EXPECT_NE(std::string(no_ini.error).find("sint.ini"), std::string::npos) << no_ini.error;

    // SINT_VOICE names the folder when none is given.
    setenv("SINT_VOICE", missing.c_str(), 1);
    VoiceHandle from_environment(nullptr);
    unsetenv("SINT_VOICE");
    EXPECT_NE(std::string(from_environment.error).find(missing), std::string::npos);
}

TEST(CInterface, TwoThreadsWithTwoVoicesGiveTheSameAudio) {
    VoiceHandle a, b;
    ASSERT_NE(a.voice, nullptr) << a.error;
    ASSERT_NE(b.voice, nullptr) << b.error;
    const std::vector<const char*> texts = {kSentence, "Ura je 12.30, danes je 3. maj.",
                                            "Koliko stane 5 kg jabolk?"};
    std::vector<std::vector<std::int16_t>> heard_a, heard_b;
    const auto run = [&texts](sint_voice* voice, std::vector<std::vector<std::int16_t>>& out) {
        for (int round = 0; round < 3; ++round)
            for (const char* text : texts) out.push_back(speak(voice, text));
    };
    std::thread first(run, a.voice, std::ref(heard_a));
    std::thread second(run, b.voice, std::ref(heard_b));
    first.join();
    second.join();
    ASSERT_EQ(heard_a.size(), 9u);
    EXPECT_EQ(heard_a, heard_b);
    for (std::size_t i = 3; i < heard_a.size(); ++i) EXPECT_EQ(heard_a[i], heard_a[i % 3]);
}

TEST(CInterface, TheSameAudioAsTheServer) {
    sint::test::ProgramFolder folder;
    std::filesystem::create_directories(folder.path() / "data");
    ASSERT_EQ(sint::test::run_program(folder.file("sintsrv"), {"-konzola", "-ustvaripodatke"}), 0);
    sint::test::ServerProcess server(folder, {"-hitro"});
    sint::ProtocolConnection connection;
    ASSERT_TRUE(sint::test::connect_ready(connection, folder.port(), 10000, &server));
    VoiceHandle v(folder.path().c_str());
    ASSERT_NE(v.voice, nullptr) << v.error;

    const std::string sentence = "Mama ima kaso.";
    struct Case {
        int rate, pitch, volume;
        double speed;
    };
    for (const Case& c : {Case{0, 0, 100, 1.0}, Case{4, -20, 60, 1.5}}) {
        ASSERT_TRUE(connection.send_request(sint::command_request("TEMPO", c.rate)));
        ASSERT_TRUE(connection.send_request(sint::command_request("PITCH", c.pitch)));
        ASSERT_TRUE(connection.send_request(sint::command_request("VOLUME", c.volume)));
        ASSERT_TRUE(connection.send_request(
            sint::command_request("SPEED", static_cast<long>(c.speed * 100))));
        const auto reply =
            connection.ask(sint::stream_request(sentence), sint::ReplyType::Audio, 30000);
        ASSERT_TRUE(reply);
        ASSERT_FALSE(reply->samples.empty());
        ASSERT_EQ(sint_set_rate(v.voice, c.rate), SINT_OK);
        ASSERT_EQ(sint_set_pitch(v.voice, c.pitch), SINT_OK);
        ASSERT_EQ(sint_set_volume(v.voice, c.volume), SINT_OK);
        ASSERT_EQ(sint_set_speed(v.voice, c.speed), SINT_OK);
        EXPECT_EQ(speak(v.voice, sentence.c_str()), reply->samples) << c.rate;
    }
}

}  // namespace

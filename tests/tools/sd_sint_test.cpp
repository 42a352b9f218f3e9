// sd_sint driven through its standard input and output as Speech Dispatcher
// drives it, against a real sintsrv with the synthetic test voice; then the
// real Speech Dispatcher with sd_sint as its only module.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/frame.h"
#include "tests/support/sintsrv_process.h"
#include "tests/support/strict.h"

extern char** environ;

namespace sint {
namespace {

using test::ProgramFolder;
using test::ServerProcess;

// How long one event may take (a sentence of the test voice under the sanitizers).
constexpr int kEventWaitMs = 20000;

// One line of sd_sint's output; an audio event is one event with its samples,
// an index mark is "700 name".
struct Event {
    std::string line;
    std::vector<std::int16_t> samples;
};

// Starts `args` with the environment changed by `env`, standard output and
// error into `output` when given, and standard input from /dev/null.
pid_t spawn(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
            const std::string& output = "") {
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (!env.count(entry.substr(0, entry.find('=')))) environment.push_back(entry);
    }
    for (const auto& [key, value] : env) environment.push_back(key + "=" + value);
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        if (!output.empty()) {
            const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(out, 2);
        }
        std::vector<char*> argv, envp;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

// Waits up to `limit_ms` for a child; its exit code, or nothing (then it is killed).
std::optional<int> wait_child(pid_t pid, int limit_ms) {
    int status = 0;
    const bool ended =
        test::poll_until([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit_ms);
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return std::nullopt;
    }
    return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
}

// sd_sint with pipes on its standard input and output.
class ModuleProcess {
public:
    explicit ModuleProcess(const std::string& config) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            const std::string program = std::string(SINT_PROGRAM_DIR) + "/sd_sint";
            execl(program.c_str(), program.c_str(), config.c_str(), nullptr);
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        to_ = in[1];
        from_ = out[0];
    }
    ~ModuleProcess() {
        if (to_ >= 0) close(to_);
        if (from_ >= 0) close(from_);
        if (pid_ > 0 && !exit_code_) wait_child(pid_, 5000);
    }

    void send(const std::string& text) {
        std::size_t sent = 0;
        while (sent < text.size()) {
            const ssize_t n = write(to_, text.data() + sent, text.size() - sent);
            if (n <= 0) return;
            sent += static_cast<std::size_t>(n);
        }
    }

    // The next event, or nothing when none comes within `limit_ms`.
    std::optional<Event> next(int limit_ms = kEventWaitMs) {
        Event event;
        while (auto line = next_line(limit_ms)) {
            if (line->starts_with("705-AUDIO")) {
                for (std::size_t i = 10; i < line->size(); ++i) {
                    unsigned char byte = static_cast<unsigned char>((*line)[i]);
                    if (byte == 0x7D && i + 1 < line->size())
                        byte = static_cast<unsigned char>((*line)[++i]) ^ 0x20;
                    bytes_.push_back(byte);
                }
            } else if (line->starts_with("705-")) {
                continue;
            } else if (*line == "705 AUDIO") {
                for (std::size_t i = 0; i + 1 < bytes_.size(); i += 2)
                    event.samples.push_back(static_cast<std::int16_t>(get_u16(&bytes_[i])));
                bytes_.clear();
                event.line = "AUDIO";
                return event;
            } else if (line->starts_with("700-")) {
                mark_ = line->substr(4);
            } else if (*line == "700 INDEX MARK") {
                event.line = "700 " + mark_;
                return event;
            } else {
                event.line = *line;
                return event;
            }
        }
        return std::nullopt;
    }

    // Events up to and including the first of 702, 703 or 704.
    std::vector<Event> until_closed(int limit_ms = kEventWaitMs) {
        std::vector<Event> events;
        while (auto event = next(limit_ms)) {
            events.push_back(*event);
            if (event->line == "702 END" || event->line == "703 STOP" || event->line == "704 PAUSE")
                break;
        }
        return events;
    }

    // The reply lines of a command with no events.
    std::vector<std::string> ask(const std::string& command, std::size_t lines) {
        send(command);
        std::vector<std::string> replies;
        while (replies.size() < lines)
            if (const auto event = next())
                replies.push_back(event->line);
            else
                break;
        return replies;
    }

    std::optional<int> wait_exit(int limit_ms) {
        exit_code_ = wait_child(pid_, limit_ms);
        return exit_code_;
    }

private:
    std::optional<std::string> next_line(int limit_ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
        while (true) {
            const std::size_t newline = buffer_.find('\n');
            if (newline != std::string::npos) {
                std::string line = buffer_.substr(0, newline);
                buffer_.erase(0, newline + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) return std::nullopt;
            pollfd p{from_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char chunk[65536];
            const ssize_t n = read(from_, chunk, sizeof chunk);
            if (n <= 0) return std::nullopt;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    pid_t pid_ = -1;
    int to_ = -1, from_ = -1;
    std::string buffer_;
    std::vector<std::uint8_t> bytes_;
    std::string mark_;
    std::optional<int> exit_code_;
};

// The kinds of events in order: "A" for a run of audio events (each holds at
// most a second), the line otherwise.
std::vector<std::string> kinds(const std::vector<Event>& events) {
    std::vector<std::string> out;
    for (const Event& e : events)
        if (e.line != "AUDIO" || out.empty() || out.back() != "A")
            out.push_back(e.line == "AUDIO" ? "A" : e.line);
    return out;
}

std::string sentences(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "Mama ima kis. ";
    return text;
}

class SdSintTest : public ::testing::Test {
protected:
    void SetUp() override {
        // No pitch jitter, so the same text gives the same audio every time.
        const std::string profile = folder_.read("mikro.ini");
        const std::string jitter_row = "0 100 100 80 85 0 1 0 0 0";
        const auto at = profile.find(jitter_row);
        ASSERT_NE(at, std::string::npos);
        std::string quiet = profile;
        quiet.replace(at, jitter_row.size(), "0 100 100 80 85 0 0 0 0 0");
        std::ofstream(folder_.file("mikro.ini"), std::ios::binary) << quiet;
        std::ofstream(folder_.file("sint.conf"))
            << "# sd_sint for the tests\nSintServer \"" << folder_.file("sintsrv")
            << "\"\nSintPort " << folder_.port() << "\nSintLogFile \""
            << folder_.file("sd_sint.log") << "\"\n";
        start_server();
        module_.emplace(folder_.file("sint.conf"));
        const auto init = module_->ask("INIT\n", 2);
        ASSERT_EQ(init.size(), 2u);
        EXPECT_TRUE(init[0].starts_with("299-")) << init[0];
        EXPECT_EQ(init[1], "299 OK LOADED SUCCESSFULLY");
    }
    void TearDown() override {
        if (module_) {
            EXPECT_EQ(module_->ask("QUIT\n", 1), std::vector<std::string>{"210 OK QUIT"});
            EXPECT_EQ(module_->wait_exit(5000), 0);
        }
        // The server (ours or one the module started) ends on TERMINATE.
        ProtocolConnection last;
        if (test::connect_ready(last, folder_.port(), 2000))
            last.send_request(command_request("TERMINATE"));
        if (server_) {
            EXPECT_EQ(server_->wait_exit(10000), 0) << folder_.read("sint.log");
        }
    }
    void start_server() {
        server_.emplace(folder_, std::vector<std::string>{"-pocasi", "-ram"});
        ProtocolConnection probe;
        ASSERT_TRUE(test::connect_ready(probe, folder_.port(), 10000, &*server_));
    }
    std::vector<Event> speak(const std::string& command, const std::string& data) {
        EXPECT_EQ(module_->ask(command + "\n", 1), std::vector<std::string>{"202 OK SEND DATA"});
        EXPECT_EQ(module_->ask(data + "\n.\n", 1), std::vector<std::string>{"200 OK SPEAKING"});
        return module_->until_closed();
    }
    std::string log() const { return folder_.read("sd_sint.log"); }

    ProgramFolder folder_;
    std::optional<ServerProcess> server_;
    std::optional<ModuleProcess> module_;
};

TEST_F(SdSintTest, AnswersListVoicesAndSet) {
    EXPECT_EQ(module_->ask("LIST VOICES\n", 2),
              (std::vector<std::string>{"200-sint\tsl\tnone", "200 OK VOICE LIST SENT"}));
    const std::pair<const char*, std::vector<std::string>> sets[] = {
        {"rate=20\npitch=-10\nvolume=100\npunctuation_mode=some\nspelling_mode=off\n"
         "voice=male1\nlanguage=sl\nsynthesis_voice=NULL\n",
         {"203 OK SETTINGS RECEIVED"}},
        {"pitch=-999\n", {"203 OK SETTINGS RECEIVED"}},  // the end of the scale
        // A rate beyond the scale is refused, and changes nothing.
        {"rate=500\n",
         {"303-sd_sint: rate 500 is outside -100..100", "303 ERROR INVALID PARAMETER"}},
        {"rate=fast\n", {"303 ERROR INVALID PARAMETER"}},
        {"no equals sign\n", {"303 ERROR INVALID PARAMETER"}},
        {"punctuation_mode=loud\n", {"303 ERROR INVALID PARAMETER"}},
    };
    for (const auto& [lines, reply] : sets) {
        EXPECT_EQ(module_->ask("SET\n", 1), std::vector<std::string>{"203 OK RECEIVING SETTINGS"});
        EXPECT_EQ(module_->ask(std::string(lines) + ".\n", reply.size()), reply) << lines;
    }
    EXPECT_EQ(
        module_->ask("AUDIO\naudio_output_method=server\n.\n", 2),
        (std::vector<std::string>{"207 OK RECEIVING AUDIO SETTINGS", "203 OK AUDIO INITIALIZED"}));
}

// A voice of its own folder (as make voice-from builds), chosen by
// synthesis_voice: its own server is started on its own port and speaks.
TEST_F(SdSintTest, SynthesisVoiceChoosesAVoiceFolderOfItsOwn) {
    ProgramFolder other;
    std::ofstream(folder_.file("voices.conf"))
        << folder_.read("sint.conf") << "SintVoice \"druga\" \"" << other.file("") << "\"\n";
    EXPECT_EQ(module_->ask("QUIT\n", 1), std::vector<std::string>{"210 OK QUIT"});
    module_.emplace(folder_.file("voices.conf"));
    EXPECT_EQ(module_->ask("INIT\n", 2).size(), 2u);
    EXPECT_EQ(module_->ask("LIST VOICES\n", 3),
              (std::vector<std::string>{"200-sint\tsl\tnone", "200-druga\tsl\tnone",
                                        "200 OK VOICE LIST SENT"}));
    for (const char* name : {"druga", "nobody"}) {  // an unknown name leaves the voice
        EXPECT_EQ(module_->ask("SET\n", 1), std::vector<std::string>{"203 OK RECEIVING SETTINGS"});
        EXPECT_EQ(module_->ask("synthesis_voice=" + std::string(name) + "\n.\n", 1),
                  std::vector<std::string>{"203 OK SETTINGS RECEIVED"});
    }
    EXPECT_EQ(kinds(speak("SPEAK", "Mama ima kis.")),
              (std::vector<std::string>{"701 BEGIN", "A", "702 END"}));
    ProtocolConnection started;
    ASSERT_TRUE(test::connect_ready(started, other.port(), 2000)) << log();
    started.send_request(command_request("TERMINATE"));
}

// Rate 100 is the server's TEMPO 10, three times the normal speed (which the
// facade's tests measure with the default voice): the same audio as sint-say
// --rate 10 makes, and much shorter than at rate 0 even with this small voice.
TEST_F(SdSintTest, RateHundredIsTheTopTempoStep) {
    const std::string text = "Dober dan, danes je lep dan. Ali veste, kdo je to?";
    const auto samples = [&] {
        std::size_t count = 0;
        for (const Event& e : speak("SPEAK", text)) count += e.samples.size();
        return count;
    };
    const std::size_t normal = samples();
    EXPECT_EQ(module_->ask("SET\n", 1), std::vector<std::string>{"203 OK RECEIVING SETTINGS"});
    EXPECT_EQ(module_->ask("rate=100\n.\n", 1),
              std::vector<std::string>{"203 OK SETTINGS RECEIVED"});
    const std::size_t fast = samples();
    EXPECT_GE(normal, fast * 2) << normal << " " << fast;
    const std::string command = folder_.file("sint-say") + " -q -m --rate 10 --port " +
                                std::to_string(folder_.port()) + " -o " + folder_.file("f.wav") +
                                " '" + text + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(folder_.read("f.wav").size() - 44, 2 * fast);
}

TEST_F(SdSintTest, MarksComeInOrderBetweenTheAudio) {
    const auto events = speak("SPEAK",
                              "<speak>Mama <mark name=\"ena\"/>ima kis. <mark name=\"dve\"/>Ima "
                              "<mark name=\"tri\"/>kisa.</speak>");
    EXPECT_EQ(kinds(events), (std::vector<std::string>{"701 BEGIN", "A", "700 ena", "A", "700 dve",
                                                       "A", "700 tri", "A", "702 END"}));
    for (const Event& e : events) {
        if (e.line == "AUDIO") {
            EXPECT_FALSE(e.samples.empty());
        }
    }
    EXPECT_NE(log().find("speaking \"Mama ima kis. \""), std::string::npos) << log();
}

TEST_F(SdSintTest, StopEndsALongTextAtOnce) {
    EXPECT_EQ(module_->ask("SPEAK\n", 1), std::vector<std::string>{"202 OK SEND DATA"});
    module_->send(sentences(20) + "\n.\n");
    EXPECT_EQ(module_->next()->line, "200 OK SPEAKING");
    EXPECT_EQ(module_->next()->line, "701 BEGIN");
    EXPECT_EQ(module_->next()->line, "AUDIO");
    module_->send("STOP\n");
    std::vector<std::string> after;
    while (auto event = module_->next(1000)) {
        after.push_back(event->line);
        if (event->line == "703 STOP") break;
    }
    // Audio already written may precede 703; nothing follows it.
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.back(), "703 STOP");
    EXPECT_FALSE(module_->next(300));
    // The module speaks again at once.
    EXPECT_EQ(kinds(speak("SPEAK", "Mama.")),
              (std::vector<std::string>{"701 BEGIN", "A", "702 END"}));
}

TEST_F(SdSintTest, PauseEndsAtTheNextMark) {
    std::string text = "<speak>";
    for (int i = 0; i < 20; ++i)
        text += "Mama ima kis. <mark name=\"m" + std::to_string(i) + "\"/>";
    EXPECT_EQ(module_->ask("SPEAK\n", 1), std::vector<std::string>{"202 OK SEND DATA"});
    module_->send(text + "</speak>\n.\n");
    EXPECT_EQ(module_->next()->line, "200 OK SPEAKING");
    EXPECT_EQ(module_->next()->line, "701 BEGIN");
    module_->send("PAUSE\n");
    const auto events = kinds(module_->until_closed());
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events.back(), "704 PAUSE");
    EXPECT_TRUE(events[events.size() - 2].starts_with("700 m")) << events[events.size() - 2];
    EXPECT_FALSE(module_->next(300));
}

TEST_F(SdSintTest, CharAndKeySpeakLetterNames) {
    EXPECT_EQ(kinds(speak("CHAR", "\xc5\xa1")),  // š
              (std::vector<std::string>{"701 BEGIN", "A", "702 END"}));
    // The server spoke the letter's name from its table.
    EXPECT_NE(folder_.read("mikro.out").find("S\t"), std::string::npos);
    EXPECT_EQ(kinds(speak("KEY", "shift_a")),
              (std::vector<std::string>{"701 BEGIN", "A", "702 END"}));
    EXPECT_EQ(kinds(speak("SOUND_ICON", "message")),
              (std::vector<std::string>{"701 BEGIN", "A", "702 END"}));
}

TEST_F(SdSintTest, NothingIsSpokenBeforeInit) {
    ModuleProcess fresh(folder_.file("sint.conf"));
    for (const char* command : {"SPEAK\n", "CHAR\n", "KEY\n", "SOUND_ICON\n"})
        EXPECT_EQ(fresh.ask(command, 1), std::vector<std::string>{"301 ERROR CANT SPEAK"});
    EXPECT_EQ(fresh.ask("QUIT\n", 1), std::vector<std::string>{"210 OK QUIT"});
    EXPECT_EQ(fresh.wait_exit(5000), 0);
}

TEST_F(SdSintTest, BadInputGetsAnErrorOrAFallbackAndTheModuleGoesOn) {
    for (const char* garbage : {"HELLO\n", "\n", "speak\n", "SPEAK EXTRA\n", "\x01\xff\n"})
        EXPECT_EQ(module_->ask(garbage, 1), std::vector<std::string>{"300 ERROR UNKNOWN COMMAND"});
    EXPECT_EQ(module_->ask("SPEAK\n", 1), std::vector<std::string>{"202 OK SEND DATA"});
    EXPECT_EQ(module_->ask(".\n", 1), std::vector<std::string>{"304 ERROR NO TEXT"});
    // A rate that is no speaking rate refuses the message.
    for (const std::string rate : {"abc", "-50%"}) {
        EXPECT_EQ(module_->ask("SPEAK\n", 1), std::vector<std::string>{"202 OK SEND DATA"});
        const auto reply =
            module_->ask("<speak><prosody rate=\"" + rate + "\">Mama</prosody></speak>\n.\n", 2);
        ASSERT_EQ(reply.size(), 2u) << rate;
        EXPECT_EQ(reply[0].rfind("303-sd_sint: rate=\"" + rate + "\" is no speaking rate", 0), 0u);
        EXPECT_EQ(reply[1], "303 ERROR INVALID PARAMETER");
    }

    std::string deep;
    for (int i = 0; i < 1000; ++i) deep += "<prosody rate=\"fast\">";
    const std::pair<std::string, std::string> documents[] = {
        {"<speak>Mama <prosody rate=\"fast\">ima</speak> kis.", "Mama ima kis."},  // malformed
        {deep + "Mama", "Mama"},                                                   // deep, unclosed
        {"Mama \xff\xfe ima.", "Mama \xff\xfe ima."},                              // not UTF-8
        {"<speak><mark name=\"\xc5\xa1 &#10;&lt;\"/>Mama.</speak>", "Mama."},      // odd mark name
        {"<speak><break time=\"99999s\"/></speak>", ""},
        {"..Ena\n..\n.Dve", ".Ena"},  // dots put before lines that start with one
    };
    for (const auto& [document, spoken] : documents) {
        const auto events = speak("SPEAK", document);
        ASSERT_FALSE(events.empty()) << document;
        EXPECT_EQ(events.back().line, "702 END") << document;
        if (!spoken.empty()) {
            EXPECT_NE(log().find("speaking \"" + spoken), std::string::npos) << document;
        }
    }
    // 1 MB of text is taken, and stopped.
    EXPECT_EQ(module_->ask("SPEAK\n", 1), std::vector<std::string>{"202 OK SEND DATA"});
    module_->send(sentences(1024 * 1024 / 14) + "\n.\n");
    EXPECT_EQ(module_->next()->line, "200 OK SPEAKING");
    // A second message while one is spoken is refused, and its text is not awaited.
    module_->send("SPEAK\n");
    std::optional<Event> reply;
    do {
        reply = module_->next();
    } while (reply && (reply->line == "701 BEGIN" || reply->line == "AUDIO"));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->line, "301 ERROR ALREADY SPEAKING");
    module_->send("STOP\n");
    EXPECT_EQ(kinds(module_->until_closed()).back(), "703 STOP");
    EXPECT_EQ(module_->ask("LIST VOICES\n", 2).size(), 2u);
}

TEST_F(SdSintTest, AServerThatDiesGivesStopAndTheNextMessageStartsOne) {
    EXPECT_EQ(module_->ask("SPEAK\n", 1), std::vector<std::string>{"202 OK SEND DATA"});
    module_->send(sentences(20) + "\n.\n");
    EXPECT_EQ(module_->next()->line, "200 OK SPEAKING");
    EXPECT_EQ(module_->next()->line, "701 BEGIN");
    EXPECT_EQ(module_->next()->line, "AUDIO");
    server_.reset();  // killed
    EXPECT_EQ(kinds(module_->until_closed()).back(), "703 STOP");
    // sd_sint starts the sintsrv of its configuration (a slow start from the recordings).
    EXPECT_EQ(kinds(speak("SPEAK", "Mama ima kis.")),
              (std::vector<std::string>{"701 BEGIN", "A", "702 END"}));
}

// STOP is answered at once whatever the worker is doing: reading a large
// document whose markup is broken, or speaking a long text without sentence
// ends (which goes out in pieces, its audio in events of a second at most).
// The limit is generous; bench_sd_sint measures the real figure.
TEST_F(SdSintTest, StopIsAnsweredAtOnceDuringLongMessages) {
    std::string broken = "<speak>";
    while (broken.size() < 1024 * 1024) broken += "Mama & ata <b ";
    std::string words;
    while (words.size() < 20 * 1024) words += "beseda ";
    for (const std::string* text : {&broken, &words}) {
        EXPECT_EQ(module_->ask("SPEAK\n", 1), std::vector<std::string>{"202 OK SEND DATA"});
        module_->send(*text + "\n.\n");
        EXPECT_EQ(module_->next()->line, "200 OK SPEAKING");
        EXPECT_EQ(module_->next()->line, "701 BEGIN");
        if (text == &words) {
            const auto audio = module_->next();
            ASSERT_TRUE(audio);
            EXPECT_EQ(audio->line, "AUDIO");
            EXPECT_LE(audio->samples.size(), 16000u);
        }
        const auto sent = std::chrono::steady_clock::now();
        module_->send("STOP\n");
        std::optional<Event> event;
        do {
            event = module_->next(2000);
        } while (event && event->line != "703 STOP");
        ASSERT_TRUE(event) << "no 703 within 2 s";
        EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(2));
        EXPECT_FALSE(module_->next(300));
    }
    EXPECT_NE(log().find("warning: the markup is not well-formed (line 1, column 14"),
              std::string::npos)
        << log();
    EXPECT_EQ(kinds(speak("SPEAK", "Mama.")),
              (std::vector<std::string>{"701 BEGIN", "A", "702 END"}));
}

TEST_F(SdSintTest, AServerRestartedBetweenMessagesCostsNoSpeech) {
    EXPECT_EQ(kinds(speak("SPEAK", "Mama.")),
              (std::vector<std::string>{"701 BEGIN", "A", "702 END"}));
    server_.reset();
    start_server();
    EXPECT_EQ(kinds(speak("SPEAK", "Mama ima kis.")),
              (std::vector<std::string>{"701 BEGIN", "A", "702 END"}));
}

TEST_F(SdSintTest, SetWithABadLineChangesNothing) {
    const auto samples = [this] {
        std::size_t count = 0;
        for (const Event& e : speak("SPEAK", "Mama ima kis.")) count += e.samples.size();
        return count;
    };
    const std::size_t before = samples();
    EXPECT_EQ(module_->ask("SET\n", 1), std::vector<std::string>{"203 OK RECEIVING SETTINGS"});
    EXPECT_EQ(module_->ask("rate=100\npitch=xyz\n.\n", 1),
              std::vector<std::string>{"303 ERROR INVALID PARAMETER"});
    EXPECT_EQ(samples(), before);
}

TEST_F(SdSintTest, SintSaySpeaksTheSameSsmlAlike) {
    const std::string document =
        "<speak>Mama <mark name=\"a\"/>ima kis.<break time=\"100ms\"/>"
        "<prosody rate=\"fast\" volume=\"soft\">Ima <mark name=\"b\"/>kisa?</prosody></speak>";
    std::vector<std::int16_t> module_audio;
    std::vector<std::string> module_marks;
    for (const Event& e : speak("SPEAK", document)) {
        module_audio.insert(module_audio.end(), e.samples.begin(), e.samples.end());
        if (e.line.starts_with("700 ")) {
            module_marks.push_back(e.line.substr(4));
        }
    }
    const std::string command = folder_.file("sint-say") + " -q -m --marks --port " +
                                std::to_string(folder_.port()) + " -o " + folder_.file("m.wav") +
                                " '" + document + "' 2>" + folder_.file("marks.txt");
    ASSERT_EQ(std::system(command.c_str()), 0) << folder_.read("marks.txt");
    const std::string wave = folder_.read("m.wav");
    ASSERT_GT(wave.size(), 44u);
    std::vector<std::int16_t> say_audio;
    for (std::size_t i = 44; i + 1 < wave.size(); i += 2)
        say_audio.push_back(
            static_cast<std::int16_t>(get_u16(reinterpret_cast<const std::uint8_t*>(&wave[i]))));
    EXPECT_EQ(module_marks, (std::vector<std::string>{"a", "b"}));
    const std::string marks = folder_.read("marks.txt");
    EXPECT_NE(marks.find("\ta\n"), std::string::npos) << marks;
    EXPECT_NE(marks.find("\tb\n"), std::string::npos) << marks;
    EXPECT_TRUE(say_audio == module_audio) << say_audio.size() << " " << module_audio.size();
}

// Whether a program is on the PATH.
bool on_path(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

TEST_F(SdSintTest, SpeechDispatcherSpeaksThroughIt) {
    if (!on_path("speech-dispatcher") || !on_path("spd-say"))
        SINT_LACKING("speech-dispatcher and spd-say (make deps installs them)");
    // A private Speech Dispatcher: its configuration, runtime folder and home
    // in the test folder, sd_sint its only module. It plays the audio that the
    // module returns through ALSA into a file (no sound card needed).
    namespace fs = std::filesystem;
    const fs::path root = folder_.path() / "sd";
    for (const char* dir : {"conf", "run", "home", "log"}) fs::create_directories(root / dir);
    const std::string capture = (root / "capture.raw").string();
    std::ofstream(root / "home/.asoundrc")
        << "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"" << capture
        << "\"\n  format \"raw\"\n}\n";
    std::ofstream(root / "conf/speechd.conf")
        << "AudioOutputMethod \"alsa\"\n"
        << "AddModule \"sint\" \"" << SINT_PROGRAM_DIR << "/sd_sint\" \""
        << folder_.file("sint.conf") << "\"\n"
        << "DefaultModule sint\nLanguageDefaultModule \"sl\" \"sint\"\n";
    const std::string socket = (root / "run/speechd.sock").string();
    const std::map<std::string, std::string> env{
        {"HOME", (root / "home").string()},
        {"XDG_RUNTIME_DIR", (root / "run").string()},
        {"XDG_CONFIG_HOME", (root / "home/.config").string()},
        {"XDG_CACHE_HOME", (root / "home/.cache").string()},
        {"SPEECHD_ADDRESS", "unix_socket:" + socket}};
    const pid_t dispatcher = spawn({"speech-dispatcher", "-s", "-t", "60", "-C",
                                    (root / "conf").string(), "-L", (root / "log").string(), "-c",
                                    "unix_socket", "-S", socket, "-P", (root / "run/pid").string()},
                                   env, (root / "dispatcher.out").string());
    ASSERT_TRUE(test::poll_until([&] { return fs::exists(socket); }, 10000))
        << test::TempDir::read((root / "dispatcher.out").string());
    // -w: spd-say returns once the message has been spoken.
    const pid_t say = spawn({"spd-say", "-o", "sint", "-l", "sl", "-w", "Dober dan."}, env,
                            (root / "say.out").string());
    const auto said = wait_child(say, 30000);
    kill(dispatcher, SIGTERM);
    if (!wait_child(dispatcher, 5000)) ADD_FAILURE() << "speech-dispatcher did not end on SIGTERM";
    EXPECT_EQ(said, 0) << test::TempDir::read((root / "say.out").string());
    EXPECT_NE(log().find("speaking \"Dober dan.\""), std::string::npos) << log();
    std::error_code missing;
    EXPECT_GT(fs::file_size(capture, missing), 0u) << "nothing was played";
}

}  // namespace
}  // namespace sint

// sint-say: speaks Slovenian text through sintsrv into a wave file or, as raw
// samples, into a pipe.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "core/process.h"
#include "core/speaking_rate.h"
#include "tools/sint-say/say_client.h"
#include "tools/sint-say/text_input.h"
#include "tools/sint-say/wave_output.h"
#include "tools/ssml/plan_speaker.h"
#include "tools/ssml/ssml_reader.h"

namespace {

constexpr const char* kUsage =
    "Usage: sint-say [options] [TEXT...]\n"
    "Speaks Slovenian text with the sintsrv synthesis server.\n"
    "The text comes from the arguments, from -f FILE, or from standard input.\n"
    "UTF-8 is converted to code page 1250; other 8-bit text is taken as it is.\n"
    "\n"
    "  -o FILE.wav      write a wave file (16 kHz, 16-bit, mono)\n"
    "  --raw            write the samples (16-bit little-endian) to standard output\n"
    "  -f FILE          read the text from FILE ('-' is standard input)\n"
    "  --rate N         speaking rate, -10 (a third of the normal speed) .. 10 (three\n"
    "                   times it): 3^(N/10) times the normal speed\n"
    "  --speed X        a further speed factor on top of --rate, 0.3 .. 6 (2.5: two\n"
    "                   and a half times as fast); pauses shrink first\n"
    "  --pitch N        pitch offset, -50 .. 50\n"
    "  --volume N       volume in percent, 1 .. 100\n"
    "  --host ADDRESS   server address (default 127.0.0.1)\n"
    "  --port N         server port (default: the port of the server's sint.ini, else 10150)\n"
    "  --server PATH    the sintsrv to start when nobody answers\n"
    "                   (default: $SINT_SERVER, else the sintsrv beside sint-say)\n"
    "  --voice FOLDER   speak with the voice of a program folder, such as one that\n"
    "                   make voice-from builds: its sintsrv on the port of its sint.ini\n"
    "  -m, --ssml       the text is SSML (marks, breaks, prosody, say-as)\n"
    "  --marks          with -m: print each mark's time and name to standard error\n"
    "  -q, --quiet      no progress bar\n"
    "  -h, --help       this text\n";

int fail(const std::string& reason) {
    std::cerr << "sint-say: " << reason << "\n";
    return 1;
}

bool read_number(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value >= low && value <= high;
}

// Writes the audio of an SSML text and, when asked, the time of each mark.
class SsmlOutput : public sint::PlanListener {
public:
    SsmlOutput(sint::AudioSink& sink, bool print_marks) : sink_(sink), print_marks_(print_marks) {}
    bool audio(std::span<const std::int16_t> samples) override { return sink_.write(samples); }
    bool mark(const std::string& name) override {
        if (print_marks_)
            std::fprintf(stderr, "%.3f\t%s\n",
                         static_cast<double>(sink_.samples()) / sint::kSayRate, name.c_str());
        return true;
    }

private:
    sint::AudioSink& sink_;
    bool print_marks_;
};

// Speaks SSML through a server that `client` has found ready, on a connection
// of its own, as the Speech Dispatcher module does.
bool speak_ssml(const sint::SayOptions& options, const sint::SsmlDocument& document,
                sint::AudioSink& sink, bool print_marks, std::string& error) {
    sint::VoiceParams voice;
    voice.rate = static_cast<int>(options.rate.value_or(0) * 10);
    voice.speed = options.speed.value_or(1.0);
    voice.pitch = static_cast<int>(options.pitch.value_or(0) * 2);
    voice.volume = static_cast<int>(options.volume.value_or(100) * 2 - 100);
    sint::ProtocolConnection connection;
    if (!connection.connect(options.host == "localhost" ? "127.0.0.1" : options.host,
                            options.port)) {
        error = "cannot reach the server on port " + std::to_string(options.port);
        return false;
    }
    SsmlOutput output(sink, print_marks);
    sint::PlanSpeaker speaker(connection, nullptr, sint::kReplyTimeoutMs);
    const auto plan = sint::plan_speech(document, voice);
    if (speaker.speak(plan, output) == sint::SpeakOutcome::Done) return true;
    error = "the server broke off";
    return false;
}

void show_progress(std::size_t done, std::size_t total) {
    constexpr int kWidth = 40;
    const int filled = total ? static_cast<int>(done * kWidth / total) : kWidth;
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, ' ').c_str(),
                 total ? static_cast<int>(done * 100 / total) : 100);
    std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
    sint::SayOptions options;
    std::string output, text_file, text;
    bool raw = false, quiet = false, have_text = false, ssml = false, print_marks = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                fail(std::string(name) + " needs a value");
                std::exit(2);
            }
            return argv[++i];
        };
        const auto number = [&](const char* name, long low, long high) {
            long n = 0;
            if (!read_number(value(name), low, high, n)) {
                fail(std::string(name) + " takes a number from " + std::to_string(low) + " to " +
                     std::to_string(high));
                std::exit(2);
            }
            return n;
        };
        if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "-o") {
            output = value("-o");
        } else if (arg == "--raw") {
            raw = true;
        } else if (arg == "-f") {
            text_file = value("-f");
        } else if (arg == "--rate") {
            options.rate = number("--rate", -10, 10);
        } else if (arg == "--speed") {
            std::string note, error;
            const auto speed = sint::parse_speed(value("--speed"), note, error);
            if (!speed) {
                fail(error);
                return 2;
            }
            if (!note.empty()) std::cerr << "sint-say: " << note << "\n";
            options.speed = *speed;
        } else if (arg == "--pitch") {
            options.pitch = number("--pitch", -50, 50);
        } else if (arg == "--volume") {
            options.volume = number("--volume", 1, 100);
        } else if (arg == "--host") {
            options.host = value("--host");
        } else if (arg == "--port") {
            options.port = static_cast<std::uint16_t>(number("--port", 1, 65535));
            options.port_given = true;
        } else if (arg == "--server") {
            options.server_path = value("--server");
        } else if (arg == "--voice") {
            const std::filesystem::path folder = value("--voice");
            std::error_code error;
            if (!std::filesystem::is_directory(folder, error))
                return fail("no voice folder " + folder.string());
            options.server_path = (folder / sint::executable_name("sintsrv")).string();
        } else if (arg == "-m" || arg == "--ssml") {
            ssml = true;
        } else if (arg == "--marks") {
            print_marks = true;
        } else if (arg == "-q" || arg == "--quiet") {
            quiet = true;
        } else if (arg == "--") {
            for (++i; i < argc; ++i)
                text += (have_text ? " " : "") + std::string(argv[i]), have_text = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return fail("unknown option " + arg + " (see --help)");
        } else {
            text += (have_text ? " " : "") + arg;
            have_text = true;
        }
    }
    if (output.empty() && !raw) return fail("say where the audio goes: -o FILE.wav or --raw");
    if (!output.empty() && raw) return fail("-o and --raw exclude each other");
    if (raw && isatty(STDOUT_FILENO)) return fail("--raw writes samples: pipe them into a player");
    if (have_text && !text_file.empty())
        return fail("give the text either as arguments or with -f");
    if (!have_text) {
        std::istream* in = &std::cin;
        std::ifstream file;
        if (!text_file.empty() && text_file != "-") {
            file.open(text_file, std::ios::binary);
            if (!file) return fail("cannot read " + text_file);
            in = &file;
        }
        text.assign(std::istreambuf_iterator<char>(*in), std::istreambuf_iterator<char>());
    }
    if (print_marks && !ssml) return fail("--marks needs -m");
    if (!ssml) text = sint::speakable_text(text);
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) return fail("no text to speak");
    sint::SsmlDocument document;
    if (ssml) {
        document = sint::read_ssml(text);
        if (document.plain_fallback) {
            fail("the markup is not well-formed: line " + std::to_string(document.error_line) +
                 ", column " + std::to_string(document.error_column) + ": " + document.error);
            return 2;
        }
        if (!document.problems.empty()) return fail(document.problems.front());
        if (document.depth_limited)
            std::cerr << "sint-say: elements nested deeper than " << sint::kSsmlDepthMax
                      << " are read for their text only\n";
        if (document.pauses_limited)
            std::cerr << "sint-say: pauses cut to " << sint::kSsmlBreakMaxMs / 1000
                      << " s each and " << sint::kSsmlPausesMaxMs / 1000 << " s in all\n";
    }

    if (!options.port_given) {
        if (const auto port = sint::configured_port(sint::server_program(options)))
            options.port = *port;
    }
    sint::SayClient client(options);
    std::string error;
    if (!client.open(error)) return fail(error);

    if (raw) sint::set_binary_stdout();
    sint::AudioSink sink(output, stdout);
    if (!sink.ok()) return fail("cannot write " + output);
    const bool bar = !quiet && !ssml && isatty(STDERR_FILENO);
    const bool spoken = ssml ? speak_ssml(options, document, sink, print_marks, error)
                             : client.speak(text, sink, bar ? show_progress : nullptr, error);
    if (bar) std::fputc('\n', stderr);
    if (!spoken && sink.full()) {
        // A wave file cut at the limit would claim a length it does not have.
        std::remove(output.c_str());
        return fail("the audio would pass the 4 GB limit of a wave file; write it with --raw");
    }
    if (!spoken) return fail(error);
    if (!sink.finish()) return fail("cannot write " + (output.empty() ? "the audio" : output));
    if (!output.empty() && !quiet)
        std::fprintf(stderr, "%s: %.2f s\n", output.c_str(),
                     static_cast<double>(sink.samples()) / sint::kSayRate);
    return 0;
}

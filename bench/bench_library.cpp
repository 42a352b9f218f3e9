// Speed of the library against the facade it wraps: the 200-sentence news text
// spoken sentence by sentence in this process through the facade, through the
// C interface of libsint, and through the Python module in a python3 started
// for it (its own CPU time, measured inside it). Prints seconds of audio per
// second of CPU for each and the library's ratios to the facade.
//
//   bench_library                 the build's program folder and the test text
//   bench_library DIR [TEXT]      another voice folder and/or text (UTF-8, one
//                                 sentence a line)
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "capi/sint.h"
#include "capi/voice_folder.h"
#include "core/cp1250.h"
#include "synth/facade.h"

namespace {

namespace fs = std::filesystem;

// Each figure covers at least this much speech (seconds): with the default
// voice a tenth of a second of CPU or more, well above the clock's grain.
constexpr double kMinimumAudioSeconds = 7200;
constexpr int kSampleRate = 16000;

double self_cpu() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Figure {
    double audio = 0;
    double cpu = 0;
    double rate() const { return cpu > 0 ? audio / cpu : 0; }
};

void print(const char* what, const Figure& f) {
    std::printf("%-22s %8.1f s audio %8.3f s CPU %10.0f s audio / s CPU\n", what, f.audio, f.cpu,
                f.rate());
}

// Runs `speak` over the sentences until kMinimumAudioSeconds; `speak` returns samples.
template <class Speak>
Figure measure(const std::vector<std::string>& sentences, Speak speak) {
    Figure f;
    std::int64_t samples = 0;
    const double start = self_cpu();
    while (samples < kMinimumAudioSeconds * kSampleRate)
        for (const std::string& s : sentences) samples += speak(s);
    f.cpu = self_cpu() - start;
    f.audio = static_cast<double>(samples) / kSampleRate;
    return f;
}

std::optional<Figure> bench_facade(const std::string& folder,
                                   const std::vector<std::string>& sentences) {
    const sint::VoiceOptions options = sint::read_voice_options(folder);
    if (!options.options) {
        std::fprintf(stderr, "bench_library: %s\n", options.error.c_str());
        return std::nullopt;
    }
    sint::Synthesiser facade(*options.options);
    if (facade.init() != 0 || !facade.wave_init_fast()) return std::nullopt;
    facade.set_articulation(94);
    facade.set_window_width(90);
    std::vector<std::string> cp1250;
    for (const std::string& s : sentences) cp1250.push_back(sint::utf8_to_cp1250(s));
    return measure(cp1250, [&facade](const std::string& s) -> std::int64_t {
        if (facade.convert(s) != 0 || facade.prosody(std::nullopt) != 0) return 0;
        return static_cast<std::int64_t>(facade.synthesise_to_memory(100).size());
    });
}

int count_samples(const std::int16_t*, std::size_t count, void* user) {
    *static_cast<std::int64_t*>(user) += static_cast<std::int64_t>(count);
    return 0;
}

std::optional<Figure> bench_c(const std::string& folder,
                              const std::vector<std::string>& sentences) {
    char error[256];
    sint_voice* voice = sint_open(folder.c_str(), error, sizeof error);
    if (!voice) {
        std::fprintf(stderr, "bench_library: %s\n", error);
        return std::nullopt;
    }
    const Figure f = measure(sentences, [voice](const std::string& s) {
        std::int64_t samples = 0;
        sint_speak(voice, s.c_str(), 0, count_samples, &samples);
        return samples;
    });
    sint_close(voice);
    return f;
}

// The Python module in a python3 of its own, which prints "audio cpu".
std::optional<Figure> bench_python(const std::string& folder, const fs::path& text) {
    const std::string script =
        "import sys,time\n"
        "sys.path.insert(0, sys.argv[1])\n"
        "import sint\n"
        "v = sint.Voice(sys.argv[2])\n"
        "lines = [l.strip() for l in open(sys.argv[3], encoding='utf-8') if l.strip()]\n"
        "n = 0\n"
        "t = time.process_time()\n"
        "while n < " +
        std::to_string(static_cast<long>(kMinimumAudioSeconds)) +
        " * 32000:\n"
        "    for l in lines: n += len(v.synthesize(l))\n"
        "print(n / 32000, time.process_time() - t)\n";
    // The script goes in on standard input; the arguments name the module's
    // folder, the voice and the text.
    const std::string full = "SINT_LIBRARY='" + std::string(SINT_LIBRARY_FILE) + "' python3 - '" +
                             SINT_SOURCE_DIR "/capi/python' '" + folder + "' '" + text.string() +
                             "'";
    const fs::path script_file = fs::temp_directory_path() / "bench_library.py";
    std::ofstream(script_file) << script;
    std::FILE* out = popen((full + " < '" + script_file.string() + "'").c_str(), "r");
    if (!out) return std::nullopt;
    Figure f;
    const int read = std::fscanf(out, "%lf %lf", &f.audio, &f.cpu);
    const int status = pclose(out);
    fs::remove(script_file);
    if (read != 2 || status != 0) return std::nullopt;
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder =
        sint::voice_folder(argc > 1 ? argv[1] : SINT_PROGRAM_DIR, SINT_PROGRAM_DIR);
    const fs::path text =
        argc > 2 ? fs::path(argv[2]) : fs::path(SINT_SOURCE_DIR) / "tests/data/news_sl_200.txt";
    std::vector<std::string> sentences;
    std::ifstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.find_first_not_of(" \t\r") != std::string::npos) sentences.push_back(line);
    if (sentences.empty()) {
        std::fprintf(stderr, "bench_library: no sentences in %s\n", text.c_str());
        return 1;
    }
    const auto facade = bench_facade(folder, sentences);
    const auto c = bench_c(folder, sentences);
    const auto python = bench_python(folder, text);
    if (facade) print("facade", *facade);
    if (c) print("C interface", *c);
    if (python) print("Python module", *python);
    if (!python) std::printf("Python module: python3 did not report\n");
    if (facade && c) std::printf("C interface / facade:   %.3f\n", c->rate() / facade->rate());
    if (facade && python)
        std::printf("Python module / facade: %.3f\n", python->rate() / facade->rate());
    return facade && c ? 0 : 1;
}

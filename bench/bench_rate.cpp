// Speaking rate of the default voice: one four-sentence paragraph spoken
// through the facade in this process (the build's program folder and its
// packed database) at TEMPO -10, -5, 0, 5 and 10 and at the speed boosts 2, 4,
// 5 and 6, with words per minute, the factor against the normal rate (aimed
// at 3^(t/10) and at the boost) and the samples that reached the 16-bit limit;
// then all 21 TEMPO steps; then espeak-ng -v sl at -s 175, 300, 450, 600 and
// 800 on the same text when it is installed (apt package espeak-ng).
//
//   bench_rate          the build's program folder
//   bench_rate DIR      another program folder
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/server_process.h"
#include "core/cp1250.h"
#include "core/log.h"
#include "core/profile_file.h"
#include "core/speaking_rate.h"
#include "server/server_settings.h"
#include "synth/facade.h"
#include "tests/support/rate_paragraph.h"
#include "waveform/overlap_add.h"

namespace {

namespace fs = std::filesystem;
using sint::bench::spawn;

constexpr double kSampleRate = 16000;

const std::vector<std::string> kParagraph = sint::test::rate_paragraph();

int word_count() {
    int words = 0;
    for (const std::string& sentence : kParagraph) {
        bool in_word = false;
        for (const char c : sentence) {
            const bool letter = c != ' ';
            if (letter && !in_word) ++words;
            in_word = letter;
        }
    }
    return words;
}

struct Spoken {
    double seconds = 0;
    long clipped = 0;
    int peak = 0;
};

Spoken speak(sint::Synthesiser& sint, int tempo, int speed_percent) {
    Spoken spoken;
    long samples = 0;
    sint.set_tempo(tempo);
    sint.set_speed(speed_percent);
    for (const std::string& sentence : kParagraph) {
        if (sint.convert(sint::utf8_to_cp1250(sentence)) != 0 || sint.prosody(std::nullopt) != 0)
            continue;
        for (const std::int16_t s : sint.synthesise_to_memory(100)) {
            const int magnitude = std::abs(static_cast<int>(s));
            spoken.peak = std::max(spoken.peak, magnitude);
            if (magnitude >= sint::kSampleCeiling) ++spoken.clipped;
            ++samples;
        }
    }
    spoken.seconds = static_cast<double>(samples) / kSampleRate;
    return spoken;
}

// The length of a wave file's data in seconds (16-bit mono as espeak-ng writes
// it at its own rate), or 0.
double wave_seconds(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0) return 0;
    std::uint32_t rate = 0, block = 0;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const std::size_t size = std::min<std::size_t>(u32(at + 4), bytes.size() - at - 8);
        if (id == "fmt " && size >= 16) {
            rate = u32(at + 12);
            block = static_cast<unsigned char>(bytes[at + 20]);
        } else if (id == "data") {
            return rate && block ? static_cast<double>(size) / block / rate : 0;
        }
        at += 8 + size + (size & 1);
    }
    return 0;
}

bool espeak_installed() {
    const pid_t pid = spawn({"espeak-ng", "--version"}, "/dev/null");
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

double espeak_seconds(const fs::path& dir, int words_per_minute) {
    const std::string text = (dir / "rate-text.txt").string();
    const std::string wave = (dir / "rate.wav").string();
    {
        std::ofstream out(text);
        for (const std::string& sentence : kParagraph) out << sentence << "\n";
    }
    const pid_t pid = spawn(
        {"espeak-ng", "-v", "sl", "-s", std::to_string(words_per_minute), "-f", text, "-w", wave});
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return 0;
    return wave_seconds(wave);
}

void row(const char* setting, double aim, double seconds, double normal, int words,
         const Spoken* spoken) {
    std::printf("%-14s %8.2f s %6.0f wpm %6.2fx", setting, seconds,
                seconds > 0 ? words * 60.0 / seconds : 0.0, seconds > 0 ? normal / seconds : 0.0);
    if (aim > 0) std::printf("  (aim %.2fx)", aim);
    if (spoken) std::printf("  clipped %ld, peak %d", spoken->clipped, spoken->peak);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::path(SINT_PROGRAM_DIR);
    if (!fs::exists(folder / "data/MorvenaIdra.dat")) {
        std::fprintf(stderr,
                     "bench_rate: %s has no packed database (data/MorvenaIdra.dat): make run "
                     "makes it\n",
                     folder.c_str());
        return 1;
    }
    const fs::path old_dir = fs::current_path();
    fs::current_path(folder);
    sint::ServerSettings settings;
    const std::unique_ptr<sint::ProfileFile> ini = sint::read_sint_ini(settings);
    sint::set_log_disabled(true);
    sint::Synthesiser sint(sint::synthesiser_options(settings));
    if (sint.init() != 0 || !sint.wave_init_fast()) {
        std::fprintf(stderr, "bench_rate: the facade or the packed database did not load\n");
        return 1;
    }
    fs::current_path(old_dir);

    const int words = word_count();
    const Spoken normal = speak(sint, 0, sint::kSpeedPercentNormal);
    std::printf("the paragraph: %d words, %zu sentences\n\n", words, std::size(kParagraph));
    std::printf("%-14s %10s %10s %7s\n", "setting", "length", "rate", "factor");
    for (const int tempo : {-10, -5, 0, 5, 10}) {
        const Spoken s = speak(sint, tempo, sint::kSpeedPercentNormal);
        const std::string name = "TEMPO " + std::to_string(tempo);
        row(name.c_str(), sint::tempo_factor(tempo), s.seconds, normal.seconds, words, &s);
    }
    for (const int speed : {2, 4, 5, 6}) {
        const Spoken s = speak(sint, 0, speed * 100);
        const std::string name = "speed " + std::to_string(speed);
        row(name.c_str(), speed, s.seconds, normal.seconds, words, &s);
    }

    std::printf("\nall TEMPO steps:\n");
    double previous = 1e9;
    bool monotonic = true;
    for (int tempo = sint::kTempoMin; tempo <= sint::kTempoMax; ++tempo) {
        const Spoken s = speak(sint, tempo, sint::kSpeedPercentNormal);
        const std::string name = "TEMPO " + std::to_string(tempo);
        row(name.c_str(), sint::tempo_factor(tempo), s.seconds, normal.seconds, words, nullptr);
        monotonic = monotonic && s.seconds < previous;
        previous = s.seconds;
    }
    std::printf("every step faster than the one before: %s\n", monotonic ? "yes" : "NO");

    std::printf("\nespeak-ng -v sl on the same text:\n");
    if (!espeak_installed()) {
        std::printf("espeak-ng is not installed (apt package espeak-ng): no comparison\n");
        return 0;
    }
    const fs::path dir = fs::temp_directory_path() / ("bench_rate." + std::to_string(getpid()));
    fs::create_directories(dir);
    const double espeak_normal = espeak_seconds(dir, 175);
    for (const int wpm : {175, 300, 450, 600, 800}) {
        const double seconds = espeak_seconds(dir, wpm);
        const std::string name = "-s " + std::to_string(wpm);
        row(name.c_str(), 0, seconds, espeak_normal, words, nullptr);
    }
    std::error_code error;
    fs::remove_all(dir, error);
    return 0;
}

// Speed of the wave database and PSOLA on a synthetic voice of 30 minutes:
// loading the packed file, and synthesising one minute of speech (unit
// selection, gluing and overlap-add) with the samples in memory.
//
// Targets: loading under 200 ms; one minute of speech under 20 ms.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/phone_symbols.h"
#include "tools/voicebuild/synthetic_voice.h"
#include "waveform/psola.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFiles = 60;
constexpr int kSecondsPerFile = 30;
constexpr int kRuns = 5;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// 30 s of phones with varied periods and a pseudo-random label sequence.
sint::test::SynthRecording make_file(unsigned& seed) {
    static const char* kLabels[] = {"a", "a:", "E", "e:", "i", "O", "o:", "u", "m", "n", "l",
                                    "r", "v",  "j", "s",  "S", "z", "t",  "k", "p", "_"};
    // Each recording begins and ends with a pause, as read sentences do.
    std::vector<sint::test::SynthPhone> phones = {{"_", 4, 100}};
    std::size_t samples = 400;
    while (samples < static_cast<std::size_t>(kSecondsPerFile) * sint::kSampleRate - 4000) {
        seed = seed * 1103515245 + 12345;
        const int period = 80 + static_cast<int>((seed >> 8) % 80);
        const int periods = 4 + static_cast<int>((seed >> 16) % 5);
        phones.push_back({kLabels[(seed >> 20) % std::size(kLabels)], periods, period});
        samples += static_cast<std::size_t>(period * periods);
    }
    phones.push_back({"_", 4, 100});
    return sint::test::make_recording(phones);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::printf(
            "usage: bench_waveform\n"
            "Builds a 30-minute synthetic voice in a temporary folder, then times\n"
            "loading its packed file and synthesising one minute of speech.\n");
        return 0;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "sint-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::fprintf(stderr, "bench_waveform: cannot make a temporary folder\n");
        return 1;
    }
    const std::filesystem::path dir = pattern;
    sint::set_log_disabled(true);
    int status = 0;
    {
        std::string list;
        unsigned seed = 7;
        for (int f = 0; f < kFiles; ++f) {
            const std::string path = (dir / ("rec" + std::to_string(f) + ".wav")).string();
            sint::test::write_file(path, sint::test::recording_file(make_file(seed)));
            list += path + "\n";
        }
        sint::test::write_file((dir / "filenames.ini").string(), list);
        sint::test::write_file((dir / "Cost.dat").string(), "1\n_\t1\n");
        sint::WaveDatabaseOptions options;
        options.samples_in_memory = true;
        options.work_dir = dir.string();

        auto start = Clock::now();
        sint::TPsola built((dir / "filenames.ini").string(), 1, 0, options);
        std::printf("build from %d files (%.1f min of samples): %.0f ms\n", kFiles,
                    built.sample_total() / 16000.0 / 60, ms_since(start));
        start = Clock::now();
        if (!built.save_tables()) {
            std::fprintf(stderr, "bench_waveform: saving the packed file failed\n");
            status = 1;
        }
        std::printf("save and verify: %.0f ms\n", ms_since(start));

        for (bool in_memory : {true, false}) {
            options.samples_in_memory = in_memory;
            std::vector<double> times;
            for (int r = 0; r < kRuns; ++r) {
                start = Clock::now();
                sint::TTableSint loaded(options);
                if (loaded.load() != 0) status = 1;
                times.push_back(ms_since(start));
            }
            std::sort(times.begin(), times.end());
            std::printf("load packed file, samples %s: median %.1f ms (target < 200 ms)\n",
                        in_memory ? "in memory" : "on disk", times[kRuns / 2]);
        }

        // One minute of phones: runs of 12 consecutive recorded phones from all
        // over the database (each inside one recording), 100 ms each, on a falling pitch line.
        std::vector<sint::AlophoneRecord> input;
        const auto& data = built.data();
        for (int run = 0; input.size() < 600; ++run) {
            const int from = (run * 7919) % (built.alophone_count() - 20);
            // The last phone of a recording has no period after it: stay inside one file.
            const auto& ends = built.file_ends();
            if (std::any_of(ends.begin(), ends.end(),
                            [&](int e) { return e > from && e <= from + 13; }))
                continue;
            for (int k = 0; k < 12; ++k) {
                sint::AlophoneRecord r;
                std::strncpy(r.name, sint::byte_to_sampa(static_cast<char>(data[from + k])), 3);
                r.duration = 100;
                r.f0_start = 140 - k;
                r.f0_middle = 138 - k;
                r.f0_end = 135 - k;
                input.push_back(r);
            }
        }
        input.push_back(sint::AlophoneRecord{});
        // The same sentence with the samples in memory (the target) and read from
        // the packed file per window.
        options.samples_in_memory = false;
        sint::TPsola on_disk(options);
        for (sint::TPsola* psola : {&built, &on_disk}) {
            std::vector<double> times;
            int result = 0;
            for (int r = 0; r < kRuns; ++r) {
                start = Clock::now();
                result = psola->synthesise(input.data());
                times.push_back(ms_since(start));
            }
            std::sort(times.begin(), times.end());
            const double seconds = psola->sample_count() / 16000.0;
            const double median = times[kRuns / 2];
            std::printf(
                "synthesise %.1f s of speech, samples %s (result %d): median %.2f ms, "
                "%.5f x real time, %.2f ms per minute%s\n",
                seconds, psola == &built ? "in memory" : "on disk", result, median,
                median / 1000 / seconds, median * 60 / seconds,
                psola == &built ? " (target < 20 ms)" : "");
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return status;
}

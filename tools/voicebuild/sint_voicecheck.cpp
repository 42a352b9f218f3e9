// sint-voicecheck: builds the wave database from "filenames.ini" in a voice
// folder and checks it: every recorded alophone as PSOLA checks the phones it
// uses, and optionally the diphone coverage of unit strings and the clipping
// of speech synthesised from them.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "core/process.h"
#include "core/status.h"
#include "tools/voicebuild/voice_check.h"
#include "waveform/psola.h"

namespace {

constexpr const char* kUsage =
    "usage: sint-voicecheck [--dir DIR] [--units FILE] [--pitch HZ] [--wav OUT]\n"
    "Builds the wave database of the voice in DIR (default: the program folder)\n"
    "from its filenames.ini and Cost.dat, and checks every recorded alophone.\n"
    "  --units FILE  lines of unit names (as PSOLA is asked for them): report the\n"
    "                missing diphones and synthesise every line\n"
    "  --pitch HZ    target pitch of those lines (default 0: the recorded pitch)\n"
    "  --wav OUT     write the synthesised lines to OUT (16 kHz, 16-bit)\n";

// Faults printed per window width; the count is always printed.
constexpr std::size_t kShownFaults = 20;

std::vector<sint::AlophoneRecord> records_of(const std::vector<std::string>& units, int pitch) {
    std::vector<sint::AlophoneRecord> records;
    for (const auto& unit : units) {
        sint::AlophoneRecord r;
        std::strncpy(r.name, unit.c_str(), sizeof r.name - 1);
        // A gentle rise and fall inside each phone exercises the pitch change.
        r.f0_start = pitch;
        r.f0_middle = pitch ? pitch + pitch / 10 : 0;
        r.f0_end = pitch;
        records.push_back(r);
    }
    records.push_back(sint::AlophoneRecord{});
    return records;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = sint::program_folder();
    std::string units_path;
    std::string wav_path;
    int pitch = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--dir" && has_value) {
            dir = argv[++i];
        } else if (arg == "--units" && has_value) {
            units_path = argv[++i];
        } else if (arg == "--wav" && has_value) {
            wav_path = std::filesystem::absolute(argv[++i]).string();
        } else if (arg == "--pitch" && has_value) {
            pitch = std::atoi(argv[++i]);
        } else {
            std::cerr << kUsage;
            return arg == "-h" || arg == "--help" ? 0 : 2;
        }
    }
    if (!units_path.empty()) units_path = std::filesystem::absolute(units_path).string();
    if (chdir(dir.c_str()) != 0) {
        std::cerr << "sint-voicecheck: cannot enter " << dir << "\n";
        return 2;
    }

    sint::WaveDatabaseOptions options;
    options.samples_in_memory = true;
    std::unique_ptr<sint::TPsola> psola;
    try {
        psola = std::make_unique<sint::TPsola>("filenames.ini", 1, 0, options);
    } catch (const std::exception&) {
        std::cerr << "sint-voicecheck: the wave database of " << dir
                  << " cannot be built (filenames.ini, Cost.dat, recordings)\n";
        return 1;
    }
    const sint::TTableSint& db = *psola;
    std::printf("%zu recordings, %.1f s, %d alophones, %zu pitch marks\n", db.sources().size(),
                static_cast<double>(db.sample_total()) / sint::kSampleRate, db.alophone_count(),
                db.windows().size());
    std::printf("%zu distinct alophones, %zu diphones, %zu triphones, %d join costs\n",
                db.alophones().size(), db.diphones().size(), db.triphones().size(),
                db.cost_entries());

    int status = 0;
    for (int width : {100, sint::kMaxWindowWidth}) {
        const auto faults = sint::voicebuild::check_alophones(db, width);
        std::printf("window width %d%%: %zu alophones fail the PSOLA checks\n", width,
                    faults.size());
        for (std::size_t k = 0; k < faults.size() && k < kShownFaults; ++k) {
            std::printf("  alophone %d '%c': %s\n", faults[k].index, faults[k].symbol,
                        faults[k].what.c_str());
        }
        if (width == 100 && !faults.empty()) status = 1;
    }
    if (units_path.empty()) return status;

    std::ifstream in(units_path);
    if (!in) {
        std::cerr << "sint-voicecheck: cannot read " << units_path << "\n";
        return 2;
    }
    std::vector<std::vector<std::string>> lines;
    for (std::string line; std::getline(in, line);) {
        auto units = sint::voicebuild::split_units(line);
        if (!units.empty()) lines.push_back(std::move(units));
    }
    const auto coverage = sint::voicebuild::check_coverage(db, lines);
    std::printf(
        "%zu lines, %lld units, %lld unknown names, %lld missing diphones (%.2f per 1000)\n",
        lines.size(), static_cast<long long>(coverage.phones),
        static_cast<long long>(coverage.unknown), static_cast<long long>(coverage.missing_count),
        coverage.phones ? 1000.0 * coverage.missing_count / coverage.phones : 0.0);
    for (const auto& [pair, count] : coverage.missing)
        std::printf("  %s %d\n", pair.c_str(), count);
    for (const auto& [unit, count] : coverage.absent_phones) {
        std::printf("  unit %s never recorded (%d)\n", unit.c_str(), count);
    }

    std::vector<std::int16_t> all;
    int skipped = 0;
    int failed = 0;
    for (const auto& units : lines) {
        auto records = records_of(units, pitch);
        const int rc = psola->synthesise(records.data());
        if (rc == sint::kStageFailed) ++skipped;
        if (rc == sint::kNotPossible) ++failed;
        all.insert(all.end(), psola->samples_out(), psola->samples_out() + psola->sample_count());
    }
    const auto saturated =
        sint::voicebuild::count_saturated(all.data(), static_cast<std::int64_t>(all.size()));
    std::printf(
        "synthesised %.1f s: %d lines with skipped phones, %d failed, %lld samples at "
        "+-%d\n",
        static_cast<double>(all.size()) / sint::kSampleRate, skipped, failed,
        static_cast<long long>(saturated), sint::voicebuild::kSaturated);
    if (skipped || failed || saturated * 100000 > static_cast<std::int64_t>(all.size())) status = 1;
    if (!wav_path.empty() && !all.empty()) {
        if (sint::TTableSint::SaveWave(all.data(), static_cast<std::int32_t>(all.size()), 2,
                                       sint::kSampleRate, 1, 1, 0, wav_path, 80) != 0) {
            std::cerr << "sint-voicecheck: cannot write " << wav_path << "\n";
            status = 1;
        }
    }
    return status;
}

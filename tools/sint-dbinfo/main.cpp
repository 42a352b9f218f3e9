// sint-dbinfo: shows voice authors what a wave database holds: every alophone
// with its count and averages, and the diphones of a phone string that the
// database lacks (those that synthesis would glue without a recorded join).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/log.h"
#include "core/phone_symbols.h"
#include "waveform/table_sint.h"

namespace {

constexpr const char* kUsage =
    "usage: sint-dbinfo [options] (--packed | --list FILE)\n"
    "Prints the alophones of a wave database with their counts, average duration\n"
    "(ms) and average start, middle and end pitch (Hz).\n"
    "  --packed          read FOLDER/data/MorvenaIdra.dat\n"
    "  --list FILE       build from the wave files named in FILE (writes\n"
    "                    FOLDER/Average.dat as a build does)\n"
    "  --dir FOLDER      folder of Cost.dat and data/ (default: current folder)\n"
    "  --tracks A P      marker tracks of the labels and pitch marks (default 1 0)\n"
    "  --missing PHONES  also list the diphones of PHONES, SAMPA symbols separated\n"
    "                    by blanks (\"_ d O: b @r _\"), that the database lacks\n"
    "  -h, --help        print this help\n";

int fail(const std::string& reason) {
    std::fprintf(stderr, "sint-dbinfo: %s\n", reason.c_str());
    return 1;
}

std::string name_of(std::uint8_t symbol) {
    const char* sampa = sint::byte_to_sampa(static_cast<char>(symbol));
    return sampa[0] ? sampa : std::string(1, static_cast<char>(symbol));
}

}  // namespace

int main(int argc, char** argv) {
    std::string list, folder, missing;
    bool packed = false, want_missing = false;
    int alophone_track = 1, pitch_track = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--packed") {
            packed = true;
        } else if (arg == "--list" && has_value) {
            list = argv[++i];
        } else if (arg == "--dir" && has_value) {
            folder = argv[++i];
        } else if (arg == "--missing" && has_value) {
            missing = argv[++i];
            want_missing = true;
        } else if (arg == "--tracks" && i + 2 < argc) {
            alophone_track = std::atoi(argv[++i]);
            pitch_track = std::atoi(argv[++i]);
        } else {
            std::fputs(kUsage, stderr);
            return fail("unknown or incomplete option " + arg);
        }
    }
    if (packed == !list.empty()) {
        std::fputs(kUsage, stderr);
        return fail("give either --packed or --list FILE");
    }
    sint::set_log_disabled(true);
    sint::build_symbol_tables();
    sint::WaveDatabaseOptions options;
    options.samples_in_memory = false;  // the tables are enough
    options.work_dir = folder;
    sint::TTableSint db(options);
    if (packed) {
        if (db.load() != 0)
            return fail("cannot load " + db.packed_path() +
                        " (missing, damaged, or no usable Cost.dat beside it)");
    } else if (db.build(list, alophone_track, pitch_track) != 0) {
        return fail("cannot build from " + list +
                    " (no readable labelled wave file, or no usable Cost.dat)");
    }

    std::printf(
        "%d alophones, %zu pitch marks, %lld samples (%.1f s), %zu diphones, %zu "
        "triphones\n",
        db.alophone_count(), db.windows().size(), static_cast<long long>(db.sample_total()),
        db.sample_total() / static_cast<double>(sint::kSampleRate), db.diphones().size(),
        db.triphones().size());
    std::printf("symbol\tcount\tms\tstart\tmiddle\tend\n");
    for (const sint::AlophoneEntry& e : db.alophones())
        std::printf("%s\t%d\t%d\t%d\t%d\t%d\n", name_of(e.symbol).c_str(), e.count, e.avg_duration,
                    e.avg_start, e.avg_middle, e.avg_end);

    if (want_missing) {
        std::vector<std::uint8_t> phones;
        std::istringstream words(missing);
        std::string word;
        while (words >> word) {
            const char* symbol = sint::sampa_to_byte(word);
            if (!symbol[0]) return fail("\"" + word + "\" is no phone symbol");
            phones.push_back(static_cast<std::uint8_t>(symbol[0]));
        }
        // In the order of the phone string, each once.
        std::set<std::pair<std::uint8_t, std::uint8_t>> seen;
        std::vector<std::pair<std::uint8_t, std::uint8_t>> lacking;
        for (std::size_t i = 0; i + 1 < phones.size(); ++i) {
            const std::pair<std::uint8_t, std::uint8_t> pair{phones[i], phones[i + 1]};
            if (!db.find_diphone(pair.first, pair.second) && seen.insert(pair).second)
                lacking.push_back(pair);
        }
        std::printf("missing diphones: %zu\n", lacking.size());
        for (const auto& [a, b] : lacking)
            std::printf("%s %s\n", name_of(a).c_str(), name_of(b).c_str());
    }
    return 0;
}

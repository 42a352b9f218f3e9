// Loads a profile of 100000 entries and reports the load time and the time of
// one lookup of the last key (the reader scans its entries in file order).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/profile_file.h"

int main() {
    constexpr int kEntries = 100000;
    const std::string path =
        (std::filesystem::temp_directory_path() / "sint-bench-profile.ini").string();
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < kEntries; ++i)
            out << "kljuc_" << i << " = vrednost " << i << ", " << i * 3 << "\r\n"
                << "  nadaljevanje vrstice\r\n";
    }
    const auto size = std::filesystem::file_size(path);

    using clock = std::chrono::steady_clock;
    double best_ms = 1e9;
    int entries = 0;
    for (int run = 0; run < 5; ++run) {
        const auto start = clock::now();
        sint::ProfileFile profile(path, false);
        const auto ms = std::chrono::duration<double, std::milli>(clock::now() - start).count();
        best_ms = std::min(best_ms, ms);
        entries = profile.entry_count();
    }
    sint::ProfileFile profile(path, false);
    std::string value;
    const auto start = clock::now();
    profile.get_string("kljuc_" + std::to_string(kEntries - 1), value);
    const auto lookup_us = std::chrono::duration<double, std::micro>(clock::now() - start).count();
    std::printf("profile: %d entries, %.1f MB, load %.2f ms (best of 5), last-key lookup %.1f us\n",
                entries, static_cast<double>(size) / 1e6, best_ms, lookup_us);
    std::filesystem::remove(path);
    return 0;
}

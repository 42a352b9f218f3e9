// Loading a dictionary of 300000 lines: from the directory (read, join, sort)
// and from the index file, with the lookup rate. Targets: directory under 1 s,
// index under 100 ms.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "text/dictionary.h"

namespace {

constexpr int kLines = 300000;
constexpr int kFiles = 3;

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string random_word(std::mt19937& random) {
    static const char letters[] = "abcdefghijklmnoprstuvz~{`";
    std::uniform_int_distribution<int> length(3, 14);
    std::uniform_int_distribution<int> letter(0, sizeof letters - 2);
    std::string word;
    for (int n = length(random); n > 0; --n) word.push_back(letters[letter(random)]);
    return word;
}

}  // namespace

int main() {
    const auto folder = std::filesystem::temp_directory_path() / "sint-bench-dictionary";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "dct");
    std::mt19937 random(1234);
    std::vector<std::string> keys;
    for (int f = 0; f < kFiles; ++f) {
        std::ofstream file(folder / "dct" / ("part" + std::to_string(f) + ".dct"),
                           std::ios::binary);
        for (int i = 0; i < kLines / kFiles; ++i) {
            std::string key = random_word(random);
            file << key << '\t' << key << ":X\r\n";
            if (i % 100 == 0) keys.push_back(key);
        }
    }
    const std::string index = (folder / "MorvenaIdra.ndx").string();

    sint::PronunciationDictionary from_directory;
    auto start = std::chrono::steady_clock::now();
    if (from_directory.read_directory((folder / "dct").string() + "/", {"part0.dct"}, true) != 0)
        return 1;
    const double directory_time = seconds_since(start);

    start = std::chrono::steady_clock::now();
    if (from_directory.write_index(index) != 0) return 1;
    const double write_time = seconds_since(start);

    sint::PronunciationDictionary from_index;
    start = std::chrono::steady_clock::now();
    if (from_index.read_index(index) != 0) return 1;
    const double index_time = seconds_since(start);

    start = std::chrono::steady_clock::now();
    std::size_t hits = 0;
    for (int round = 0; round < 100; ++round) {
        for (const std::string& key : keys) hits += from_index.lookup(key) != nullptr;
    }
    const double lookup_time = seconds_since(start);

    std::printf("entries: %zu (index %ju bytes)\n", from_index.size(),
                static_cast<std::uintmax_t>(std::filesystem::file_size(index)));
    std::printf("load from directory: %.1f ms (target < 1000 ms)\n", directory_time * 1000);
    std::printf("write index:         %.1f ms\n", write_time * 1000);
    std::printf("load from index:     %.1f ms (target < 100 ms)\n", index_time * 1000);
    std::printf("lookup:              %.0f ns per key (%zu hits)\n",
                lookup_time * 1e9 / (100.0 * static_cast<double>(keys.size())), hits);
    std::filesystem::remove_all(folder);
    return directory_time < 1.0 && index_time < 0.1 ? 0 : 1;
}

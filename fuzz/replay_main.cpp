// Replays a fuzz target's corpus without libFuzzer: every file of the folders
// (or files) named on the command line goes once through the target's
// LLVMFuzzerTestOneInput. Built with the ordinary compiler and registered as a
// test, so that every input that once mattered is checked on every test run
// (under the sanitizers in the sanitizer build).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    // A copy of exactly the file's size, so that the sanitizers see any read past
    // it. An empty input still comes as a valid pointer, as libFuzzer gives it.
    std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
    static std::uint8_t empty = 0;
    LLVMFuzzerTestOneInput(input.empty() ? &empty : input.data(), input.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER_OR_FILE...\n", argv[0]);
        return 2;
    }
    std::size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path path(argv[i]);
        std::vector<fs::path> files;
        if (fs::is_directory(path)) {
            for (const auto& entry : fs::directory_iterator(path))
                if (entry.is_regular_file()) files.push_back(entry.path());
        } else {
            files.push_back(path);
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            if (!replay(file)) {
                std::fprintf(stderr, "cannot read %s\n", file.c_str());
                return 1;
            }
            ++count;
        }
    }
    if (count == 0) {
        std::fprintf(stderr, "no corpus files\n");
        return 1;
    }
    std::printf("%zu inputs replayed\n", count);
    return 0;
}

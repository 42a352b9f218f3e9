// Random bytes read as a dictionary index file: refused or read, never a crash.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "text/dictionary.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/fuzz_dictionary_index." + std::to_string(getpid());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    sint::PronunciationDictionary dictionary;
    if (dictionary.read_index(path) == 0) {
        dictionary.lookup("a");
        dictionary.lookup("");
    }
    return 0;
}

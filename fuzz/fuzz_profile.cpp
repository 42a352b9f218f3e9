// Feeds arbitrary bytes to the profile reader, plain and scrambled, and runs
// every query on the first keys it finds.
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/profile_file.h"

namespace {

void query_all(sint::ProfileFile& profile, const std::string& key) {
    char small[16];
    std::string text;
    std::int32_t number = 0;
    double real = 0;
    std::vector<std::int32_t> ints;
    std::vector<double> doubles;
    std::vector<float> floats;
    std::vector<char*> items;
    profile.get_string(key, small, sizeof small);
    profile.get_string(key, text);
    profile.string_length(key);
    profile.get_int(key, number);
    profile.get_real(key, real);
    profile.count_items(key, ',');
    profile.get_int_list(key, ' ', ints);
    profile.get_number_list(key, ',', doubles);
    profile.get_number_list(key, ';', floats);
    profile.get_number_list_int(key, '\t', ints);
    profile.get_string_list(key, ' ', items);
    sint::ProfileFile::decode_quoted(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/sint-fuzz-profile-" + std::to_string(getpid());
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    for (bool scrambled : {false, true}) {
        sint::ProfileFile profile(path, scrambled);
        for (const char* key : {"a", "k", "ini_gfp", "0", "_"}) query_all(profile, key);
    }
    return 0;
}

// sint-scramble: turns a plain data file (profile, dictionary) into the
// scrambled form the synthesiser reads (.ins, .dst), or back.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "core/scramble.h"

namespace {

const char* kUsage =
    "usage: sint-scramble INPUT OUTPUT\n"
    "Scrambles a plain profile or dictionary into the stored form (for example\n"
    "gfp.ini -> gfp.ins, moj.dct -> moj.dst), or unscrambles a stored file back:\n"
    "the transform is its own inverse. Use \"-\" for standard input or output.\n";

bool read_all(const std::string& name, std::string& data) {
    if (name == "-") {
        data.assign(std::istreambuf_iterator<char>(std::cin), {});
        return !std::cin.bad();
    }
    std::ifstream in(name, std::ios::binary);
    if (!in) return false;
    data.assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

bool write_all(const std::string& name, const std::string& data) {
    if (name == "-") {
        std::cout.write(data.data(), static_cast<std::streamsize>(data.size()));
        return static_cast<bool>(std::cout.flush());
    }
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string data;
    if (!read_all(argv[1], data)) {
        std::fprintf(stderr, "sint-scramble: cannot read %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    sint::scramble_bytes(data.data(), data.size());
    if (!write_all(argv[2], data)) {
        std::fprintf(stderr, "sint-scramble: cannot write %s: %s\n", argv[2], std::strerror(errno));
        return 1;
    }
    return 0;
}

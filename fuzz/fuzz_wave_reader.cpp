// Feeds arbitrary bytes to the source-recording reader, in both its header-only
// and its full form, and, when the bytes read as a labelled recording, builds a
// wave database from them and synthesises the recorded phone string.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/phone_symbols.h"
#include "waveform/psola.h"
#include "waveform/wave_reader.h"

namespace {

const std::string& work_dir() {
    static const std::string dir = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "sint-fuzz-wave-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        std::FILE* cost = std::fopen((pattern + "/Cost.dat").c_str(), "w");
        std::fputs("1\n_\t1\n", cost);
        std::fclose(cost);
        std::FILE* list = std::fopen((pattern + "/filenames.ini").c_str(), "w");
        std::fputs((pattern + "/input.wav\n").c_str(), list);
        std::fclose(list);
        sint::set_log_disabled(true);
        return pattern + "/";
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& dir = work_dir();
    const std::string path = dir + "input.wav";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    sint::SourceWave wave;
    sint::read_source_header(path, wave);
    if (!sint::read_source_wave(path, true, wave)) return 0;

    sint::WaveDatabaseOptions options;
    options.work_dir = dir;
    for (bool in_memory : {true, false}) {
        options.samples_in_memory = in_memory;
        try {
            sint::TPsola psola(dir + "filenames.ini", 1, 0, options);
            std::vector<sint::AlophoneRecord> input;
            for (std::int32_t i = 0; i < psola.alophone_count() && i < 12; ++i) {
                sint::AlophoneRecord r;
                std::strncpy(r.name, sint::byte_to_sampa(static_cast<char>(psola.data()[i])), 3);
                r.duration = i % 3 == 0 ? 0 : 40;
                r.f0_start = i % 2 == 0 ? 0 : 120;
                r.f0_middle = r.f0_end = r.f0_start;
                input.push_back(r);
            }
            input.push_back(sint::AlophoneRecord{});
            psola.synthesise(input.data());
        } catch (const std::runtime_error&) {
            // No usable alophone in the file.
        }
    }
    return 0;
}

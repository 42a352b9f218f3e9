#include "text_test_support.h"

#include <fstream>
#include <iterator>
#include <random>

namespace sint::test {

std::string default_profile_path() {
    return std::string(SINT_SOURCE_DIR) + "/voice/gfp.ini";
}

std::string default_dictionary_dir() {
    return std::string(SINT_SOURCE_DIR) + "/voice/slovarji/";
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void write_file(const std::filesystem::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
}

TempDir::TempDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("sint-text-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

void use_default_voice(TextOptions& settings) {
    settings.dictionary_dir = default_dictionary_dir();
    settings.statistics_dir = std::string(SINT_SOURCE_DIR) + "/voice/statistika/";
    settings.fast_start = false;
    settings.word_forms_path = std::string(SINT_PROGRAM_DIR) + "/slovarji/oblike.lex";
    settings.dictionaries_scrambled = false;
}

TextOptions& default_engine_settings() {
    static TextOptions settings;
    return settings;
}

TGFP& default_engine() {
    static std::unique_ptr<TGFP> engine = [] {
        use_default_voice(default_engine_settings());
        return std::make_unique<TGFP>(default_profile_path(), default_engine_settings(),
                                      "/nonexistent/index.ndx");
    }();
    return *engine;
}

}  // namespace sint::test

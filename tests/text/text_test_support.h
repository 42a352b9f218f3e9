// Shared helpers of the text-analysis tests: the default profile, temporary
// folders and an engine built on test settings.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "text/text_options.h"
#include "text/tgfp.h"

namespace sint::test {

std::string default_profile_path();
std::string default_dictionary_dir();
std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::string& text);

// A fresh folder under the system's temporary folder, removed on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string() + "/"; }

private:
    std::filesystem::path path_;
};

// Settings that read the voice's dictionary directory (plain files allowed).
void use_default_voice(TextOptions& settings);

// One engine on the default profile for the conversion tests.
TGFP& default_engine();
TextOptions& default_engine_settings();

}  // namespace sint::test

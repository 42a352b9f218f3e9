// sint-g2p: prints the transcription of each input line as the server's text
// analysis makes it, optionally with the output of every stage or with the
// sentences of sentence mode and their spans.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "core/cp1250.h"
#include "core/log.h"
#include "core/process.h"
#include "core/profile_file.h"
#include "server/server_settings.h"
#include "text/tgfp.h"
#include "tools/sint-g2p/prosody_print.h"

namespace {

constexpr const char* kUsage =
    "usage: sint-g2p [options] [TEXT...]\n"
    "Prints the transcription of each TEXT, of each line of -f FILE, or of each\n"
    "line of standard input. Valid UTF-8 is converted to code page 1250; other\n"
    "8-bit input is taken as it is.\n"
    "  --ini PATH        sint.ini to use (default: the one beside this program)\n"
    "  --stages          print the output of every stage\n"
    "  --sentences       print the sentences of sentence mode with their spans\n"
    "  --prosody         also print the records of micro- and macro-prosody\n"
    "  --directory       read the dictionary directory instead of the index\n"
    "  --create-index    read the dictionary directory and write the index\n"
    "                    (as sintsrv -ustvaripodatke does), then convert\n"
    "  -f FILE           read the lines of FILE\n"
    "  -h, --help        print this help\n";

// A path of sint.ini taken relative to the folder of sint.ini.
std::string in_folder(const std::filesystem::path& folder, const std::string& path) {
    if (path.empty()) return folder.string() + "/";
    if (std::filesystem::path(path).is_absolute()) return path;
    std::string joined = (folder / path).string();
    if (path.back() == '/' && joined.back() != '/') joined += '/';
    return joined;
}

void print_line(std::string_view label, std::string_view text) {
    std::cout << label << text << '\n';
}

}  // namespace

int main(int argc, char** argv) {
    std::string ini_path = sint::program_folder() + "sint.ini";
    bool stages = false;
    bool sentences = false;
    bool prosody = false;
    bool directory = false;
    bool create_index = false;
    std::vector<std::string> inputs;
    std::string input_file;
    bool have_args = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--ini" && i + 1 < argc) {
            ini_path = argv[++i];
        } else if (arg == "--stages") {
            stages = true;
        } else if (arg == "--sentences") {
            sentences = true;
        } else if (arg == "--prosody") {
            prosody = true;
        } else if (arg == "--directory") {
            directory = true;
        } else if (arg == "--create-index") {
            create_index = true;
        } else if (arg == "-f" && i + 1 < argc) {
            input_file = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            std::cerr << "sint-g2p: unknown option " << arg << " (see --help)\n";
            return 2;
        } else {
            inputs.push_back(arg);
            have_args = true;
        }
    }

    std::vector<std::string> lines = inputs;
    if (!input_file.empty()) {
        std::ifstream file(input_file, std::ios::binary);
        if (!file) {
            std::cerr << "sint-g2p: cannot open " << input_file << '\n';
            return 1;
        }
        for (std::string line; std::getline(file, line);) lines.push_back(line);
    } else if (!have_args) {
        for (std::string line; std::getline(std::cin, line);) lines.push_back(line);
    }

    auto& settings = sint::server_settings();
    const std::filesystem::path folder = std::filesystem::path(ini_path).parent_path().empty()
                                             ? std::filesystem::path(".")
                                             : std::filesystem::path(ini_path).parent_path();
    settings.config_path = ini_path;
    auto ini = sint::read_sint_ini(settings);
    if (!ini || !ini->is_loaded()) {
        std::cerr << "sint-g2p: cannot read " << ini_path << '\n';
        return 1;
    }
    settings.gfp_profile = in_folder(folder, settings.gfp_profile);
    settings.dictionary_dir = in_folder(folder, settings.dictionary_dir);
    settings.statistics_dir = in_folder(folder, settings.statistics_dir);
    settings.log_dir = in_folder(folder, settings.log_dir);
    sint::set_log_path(settings.log_dir + "sint.log");
    if (directory) settings.fast_start = false;
    if (create_index) settings.create_data = true;
    const std::string index_path = (folder / std::string(sint::kDictionaryIndexPath)).string();

    std::unique_ptr<sint::TGFP> engine;
    try {
        engine = std::make_unique<sint::TGFP>(settings.gfp_profile,
                                              sint::synthesiser_options(settings).text, index_path);
    } catch (const std::exception&) {
        std::cerr << "sint-g2p: " << sint::last_error() << '\n';
        return 1;
    }
    if (engine->dictionary().empty()) {
        std::cerr << "sint-g2p: no dictionary loaded (try --directory or --create-index)\n";
    }
    if (stages) {
        engine->set_stage_observer([](std::string_view stage, const std::string& text) {
            std::cout << stage << ": " << text << '\n';
        });
    }

    // --prosody: the prosody stages with the profiles of sint.ini.
    std::unique_ptr<sint::ProsodyPrinter> printer;
    if (prosody) {
        try {
            printer = std::make_unique<sint::ProsodyPrinter>(
                *engine, in_folder(folder, settings.mikro_profile),
                in_folder(folder, settings.makro_profile));
            printer->check_inventory(std::cerr);
        } catch (const std::exception& error) {
            std::cerr << "sint-g2p: " << error.what() << ": " << sint::last_error() << '\n';
            return 1;
        }
    }
    auto print_prosody = [&]() {
        if (printer && !printer->print(engine->result_text(), std::cout)) {
            std::cerr << "sint-g2p: " << sint::last_error() << '\n';
        }
    };

    for (const std::string& raw : lines) {
        std::string line = sint::utf8_to_cp1250(raw);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (sentences) {
            int length = engine->convert_sentence(line.c_str(), true);
            while (length > 0) {
                const auto& span = engine->last_sentence_span();
                std::cout << '[' << span.start << ',' << span.end << ") ";
                print_line("", engine->result_text());
                print_prosody();
                length = engine->convert_sentence(nullptr, true);
            }
        } else {
            engine->convert_text(line.c_str(), true);
            print_line(stages ? "result: " : "", engine->result_text());
            print_prosody();
        }
    }
    return 0;
}

// TextOptions: the switches and folders that text analysis takes from whoever
// builds it (the server fills them from sint.ini and the command line; tools
// and tests set them directly). The engine copies them at construction; the
// text-analysis profile may then override the filter and the 7-bit switch.
#pragma once

#include <atomic>
#include <memory>
#include <string>

namespace sint {

class PronunciationDictionary;
class StressStatistics;

struct TextOptions {
    bool sibilants_with_quotes = false;  // "c, "s, "z are read as č, š, ž
    bool sms_mode = false;               // letters spelt by their SMS names
    bool dictionaries_scrambled = true;  // *.dct, *.dst and the index are stored scrambled
    bool create_data = false;            // read the dictionary folder and write the index
    bool fast_start = true;              // read the index instead of the folder
    bool angle_bracket_filter = false;   // "<" and ">" are filtered out
    bool seven_bit_input = false;        // the input may hold the 7-bit letter codes
    std::string dictionary_dir;          // ends in "/" when set; "" = current folder
    std::string statistics_dir;          // ends in "/" when set; "" = current folder
    // The form lexicon of the number stage; "" = `oblike.lex` in dictionary_dir.
    std::string word_forms_path;
    // The 7-bit switch shared with whoever changes it while text is analysed
    // (the protocol's NORMAL and YU, from another thread). It must outlive the
    // engine; null: the engine keeps its own, starting at `seven_bit_input`.
    std::atomic<bool>* seven_bit_switch = nullptr;
    // Statistics tables another engine has loaded, read by this one too (they
    // do not change after loading); null: the engine loads its own.
    std::shared_ptr<const StressStatistics> shared_statistics;
    // The same for the pronunciation dictionaries.
    std::shared_ptr<const PronunciationDictionary> shared_dictionary;
};

}  // namespace sint

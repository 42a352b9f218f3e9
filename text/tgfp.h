// TGFP: the text-analysis engine. Built once from the text-analysis profile, it
// turns 8-bit text (code page 1250 or ISO 8859-2) into one phonetic
// transcription string, either the whole text at once or one sentence a call.
//
// Stages, in order: character conversion, clock times, abbreviations, Roman
// numerals, compounds (normalisation), sentence splitting, units, numbers, letter sequences, word
// transcription. The engine serves one conversion at a time.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/symbol_names.h"
#include "text/abbreviations.h"
#include "text/char_classes.h"
#include "text/clock_times.h"
#include "text/compounds.h"
#include "text/dictionary.h"
#include "text/numbers.h"
#include "text/phone_inventory.h"
#include "text/roman_numerals.h"
#include "text/sentence_splitter.h"
#include "text/stress_statistics.h"
#include "text/text_limits.h"
#include "text/text_options.h"
#include "text/units.h"
#include "text/word_forms.h"
#include "text/word_tags.h"
#include "text/word_transcription.h"

namespace sint {

class ProfileFile;

class TGFP {
public:
    // Runs the loading sequence; throws std::runtime_error when it fails (after
    // reporting the reason). The options supply the switches and folders; the
    // profile's `tarnik_filter` and `podpirajASCII7` override the engine's copy
    // (and the shared 7-bit switch). `index_path` is the dictionary index file.
    explicit TGFP(std::string_view profile_path, TextOptions options = {},
                  std::string index_path = std::string(kDictionaryIndexPath));
    ~TGFP();
    TGFP(const TGFP&) = delete;
    TGFP& operator=(const TGFP&) = delete;

    bool valid() const { return valid_; }
    // The options in force (after the profile's overrides).
    const TextOptions& options() const { return options_; }

    // The folder in which `prepare_work_files` creates its files.
    void set_work_dir(std::string_view directory);
    // With logging on, creates the empty work file avto.bes in the work folder.
    void prepare_work_files();

    // Whole-text conversion; an absent or empty text gives an empty result. Returns 0.
    int convert_text(const char* text, bool use_dictionary);
    int convert_text(std::string_view text, bool use_dictionary);
    // Sentence mode: a text starts a new input, nullptr continues with the stored
    // one. Returns the length of the sentence taken, or -1 when none remains.
    int convert_sentence(const char* text, bool use_dictionary);
    int convert_sentence(std::string_view text, bool use_dictionary);
    // Sentence mode that only finds the sentence: normalisation and splitting,
    // without transcribing it, for callers that need its length alone. The
    // result text is left as it was.
    int find_sentence(std::string_view text);

    // The transcription of the last conversion (valid until the next one).
    const char* result_text() const { return output_.c_str(); }
    // Where the last sentence of sentence mode lay in the text given to
    // `convert_sentence` (byte offsets; expansions count as the text they replace).
    const SentenceSpan& last_sentence_span() const { return source_span_; }
    // The same span in the normalised input that the splitter reads.
    const SentenceSpan& normalised_sentence_span() const { return splitter_.span(); }
    // The normalised input that sentence mode splits (empty once used up).
    const std::string& sentence_input() const { return splitter_.input(); }
    int dictionary_hits() const { return dictionary_hits_; }
    // The names of characters and keys, read from simboli.ini beside the profile.
    const SymbolNames& symbol_names() const { return symbol_names_; }

    // Phone-inventory services (for the prosody stages).
    int phone_indices(std::string_view phones, std::vector<int>& out) const {
        return phones_.phone_indices(phones, out);
    }
    int phone_index(std::string_view symbol) const { return phones_.phone_index(symbol); }
    int first_long_phone(std::string_view phones) const { return phones_.first_long_phone(phones); }
    const PhoneInventory& phone_inventory() const { return phones_; }

    // Word-tag services (for micro-prosody).
    static void strip_word_tags(WordTagRecord& record) { strip_tags(record); }
    static bool split_word_tags(WordTagRecord& record) { return split_tags(record); }
    static char classify_word_tags(const std::string& tags) { return classify_tags(tags); }

    const CharClassTable& classes() const { return classes_; }
    char forced_space() const { return classes_.forced_space(); }
    const PronunciationDictionary& dictionary() const { return *dictionary_; }
    // The loaded dictionaries, for another engine to share.
    std::shared_ptr<const PronunciationDictionary> shared_dictionary() const { return dictionary_; }
    const CompoundTable& compounds() const { return compounds_; }
    // Syllabification of written words and the statistics tables.
    const StressStatistics& stress_statistics() const { return *statistics_; }
    // The loaded statistics tables, for another engine to share.
    std::shared_ptr<const StressStatistics> shared_statistics() const { return statistics_; }
    const WordTranscriber& word_transcriber() const { return words_; }
    // Sonority classes of phones (inventory indices) and of written words.
    bool DolociZvocnost(const std::vector<int>& phones, std::string& classes) const;
    bool DolociZvocnostGT(std::string_view word, std::string& classes) const {
        return statistics_->DolociZvocnostGT(word, classes);
    }

    // Called after every stage that is built with its name and its output; for
    // tools that show the work of each stage.
    using StageObserver = std::function<void(std::string_view stage, const std::string& text)>;
    void set_stage_observer(StageObserver observer) { observer_ = std::move(observer); }

private:
    void load(std::string_view profile_path);
    int init_gfp_profile();
    int init_gfp_dictionary();
    int pripravi_okrajsave();
    int pripravi_ure();
    int preberi_parametre();
    // Steps and stages of the later text-analysis parts (tgfp_later_stages.cpp).
    int pripravi_stevilke();
    int pripravi_naglase();
    int pripravi_pravila();
    int pripravi_naslonke();
    int pripravi_zlogovanje();
    void convert_units(const std::string& in, std::string& out);
    void convert_numbers(const std::string& in, std::string& out);
    void convert_letters(const std::string& in, std::string& out);
    void transcribe(const std::string& in, std::string& out, bool use_dictionary);

    // Character conversion, clock times, abbreviations, Roman numerals and compounds.
    // With `trail`, records the source position of every output character.
    void normalise(std::string_view text, std::string& out, std::size_t limit,
                   SourceTrail* trail = nullptr);
    // Normalises a new text (or continues the stored one, for nullptr) and
    // takes its next sentence: the sentence's length in the source text, or
    // -1 when none remains.
    int split_sentence(const char* text, std::string& sentence);
    // Units, numbers, letter sequences and word transcription into output_.
    void finish(std::string& text, bool use_dictionary);
    void observe(std::string_view stage, const std::string& text) const;

    TextOptions options_;
    std::atomic<bool> own_seven_bit_{false};
    std::atomic<bool>* seven_bit_ = &own_seven_bit_;  // options_.seven_bit_switch or our own
    std::string index_path_;
    std::unique_ptr<ProfileFile> profile_;
    CharClassTable classes_;
    Abbreviations abbreviations_;
    ClockTimes clock_times_;
    RomanNumerals roman_numerals_;
    CompoundTable compounds_;
    // Never null; shared with other engines when given in the options.
    std::shared_ptr<const PronunciationDictionary> dictionary_ =
        std::make_shared<PronunciationDictionary>();
    PhoneInventory phones_;
    // The form lexicon the number stages agree numbers with; empty without it.
    WordForms word_forms_;
    NumberWords numbers_;
    std::vector<std::string> greek_names_;    // `grske_crke`, alpha to omega
    std::vector<std::string> known_domains_;  // `naslovi_domene`
    SymbolNames symbol_names_;                // simboli.ini beside the profile
    UnitWords unit_words_;                    // the unit stage's words; its lexicon is word_forms_
    WordTranscriber words_;
    // Never null; shared with other engines when given in the options.
    std::shared_ptr<const StressStatistics> statistics_ = std::make_shared<StressStatistics>();
    SplitterWords splitter_words_;
    SentenceSplitter splitter_{classes_, splitter_words_};
    SourceTrail sentence_trail_;   // source positions of the stored sentence input
    std::size_t source_size_ = 0;  // length of the text read in sentence mode
    SentenceSpan source_span_;
    std::string work_a_;
    std::string work_b_;
    std::string output_;
    int dictionary_hits_ = 0;
    std::string work_dir_;
    bool valid_ = false;
    StageObserver observer_;
};

}  // namespace sint

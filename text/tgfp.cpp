#include "text/tgfp.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <stdexcept>

#include "core/log.h"
#include "core/profile_file.h"
#include "core/status.h"
#include "text/char_conversion.h"

namespace sint {
namespace {

// Follows the positions of one more stage back to the source: `total` maps the
// stage's input to the source, `stage` maps its output to its input.
void compose(SourceTrail& total, const SourceTrail& stage, std::size_t source_size) {
    SourceTrail result(stage.size());
    for (std::size_t k = 0; k < stage.size(); ++k) {
        result[k] =
            stage[k] < total.size() ? total[stage[k]] : static_cast<std::uint32_t>(source_size);
    }
    total.swap(result);
}

std::string lower_ascii(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The value of a yes/no key trimmed and lower-cased; empty when absent.
std::string switch_value(const ProfileFile& profile, std::string_view key) {
    std::string value;
    if (profile.get_string(key, value, 128) < 0) return std::string();
    const auto first = value.find_first_not_of(" \t\r\n");
    const auto last = value.find_last_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    return lower_ascii(value.substr(first, last - first + 1));
}

}  // namespace

TGFP::TGFP(std::string_view profile_path, TextOptions options, std::string index_path)
    : options_(std::move(options)), index_path_(std::move(index_path)) {
    own_seven_bit_ = options_.seven_bit_input;
    if (options_.seven_bit_switch) seven_bit_ = options_.seven_bit_switch;
    load(profile_path);
    if (!valid_) {
        constexpr const char* kFailed = "TGFP: Constructor failed to create class!";
        report_error(kFailed);
        throw std::runtime_error(kFailed);
    }
}

TGFP::~TGFP() = default;

void TGFP::load(std::string_view profile_path) {
    valid_ = false;
    const std::string path(profile_path);
    const std::size_t dot = path.rfind('.');
    const std::string base = dot == std::string::npos ? path : path.substr(0, dot);
    const std::string extension =
        dot == std::string::npos ? std::string() : lower_ascii(path.substr(dot));
    if (extension != ".ins" && extension != ".ini") {
        report_error("TFGP: Could not find " + base + ".ini" + " or " + base + ".ins" +
                     " ! Aborting!");
        return;
    }
    profile_.reset();
    dictionary_ = std::make_shared<PronunciationDictionary>();
    symbol_names_ = SymbolNames(SymbolNames::beside(path));
    try {
        profile_ = std::make_unique<ProfileFile>(path, extension == ".ins");
    } catch (const std::bad_alloc&) {
        report_error("TGFP: Profile can not be created!");
        return;
    }
    if (!profile_->is_loaded()) {
        report_error("TGFP: Profile could not be created properly!");
        return;
    }
    if (init_gfp_profile() != 0) {
        report_error("TGFP: Profile can not be read!");
        return;
    }
    if (init_gfp_dictionary() != 0) {
        report_error("TGFP: Error reading dictionaries!");
        return;
    }
    valid_ = true;
}

int TGFP::init_gfp_profile() {
    if (!profile_ || !profile_->is_loaded()) {
        report_error("Napaka: init_gfp_profile (ini)");
        return kNotPossible;
    }
    if (classes_.load(*profile_) != 0) return kNotPossible;  // pripravi_simbole
    if (pripravi_stevilke() != 0) return kNotPossible;
    if (pripravi_naglase() != 0) return kNotPossible;
    if (pripravi_pravila() != 0) return kNotPossible;
    if (pripravi_naslonke() != 0) return kNotPossible;
    if (pripravi_zlogovanje() != 0) return kNotPossible;
    if (pripravi_okrajsave() != 0) return kNotPossible;
    if (pripravi_ure() != 0) return kNotPossible;
    if (roman_numerals_.load(*profile_) != 0) return kNotPossible;
    return preberi_parametre();
}

int TGFP::pripravi_okrajsave() {
    splitter_words_.load(*profile_);
    return abbreviations_.load(*profile_);
}

int TGFP::pripravi_ure() {
    return clock_times_.load(*profile_);
}

int TGFP::preberi_parametre() {
    const std::string filter = switch_value(*profile_, "tarnik_filter");
    if (!filter.empty()) options_.angle_bracket_filter = filter == "true";
    const std::string seven_bit = switch_value(*profile_, "podpirajASCII7");
    if (!seven_bit.empty()) *seven_bit_ = seven_bit == "true";
    return 0;
}

int TGFP::init_gfp_dictionary() {
    if (!profile_ || !profile_->is_loaded()) {
        report_error("Napaka: init_gfp_dictionary (ini)");
        return kNotPossible;
    }
    using Mode = PronunciationDictionary::Mode;
    const Mode mode = options_.create_data  ? Mode::kReadDirectoryWriteIndex
                      : options_.fast_start ? Mode::kReadIndex
                                            : Mode::kReadDirectory;
    if (options_.shared_dictionary) {
        dictionary_ = options_.shared_dictionary;
    } else {
        auto loaded = std::make_shared<PronunciationDictionary>();
        if (loaded->pripravi_slovar(*profile_, options_.dictionary_dir, mode, index_path_,
                                    !options_.dictionaries_scrambled) != 0) {
            report_error("Sintetizator zagnan brez slovarjev!");
        }
        dictionary_ = std::move(loaded);
    }
    // Without the form lexicon the number stage reads by its ending rules alone.
    const std::string forms_path = options_.word_forms_path.empty()
                                       ? options_.dictionary_dir + std::string(kWordFormsFile)
                                       : options_.word_forms_path;
    if (word_forms_.load(forms_path, numbers_.ordinal_models()) != 0)
        log_write("Oblike besed niso na voljo: " + forms_path);
    if (!word_forms_.empty()) add_unit_nouns(word_forms_, unit_words_);
    numbers_.set_word_forms(&word_forms_);
    unit_words_.forms = &word_forms_;
    unit_words_.range_words = numbers_.list_words();
    return compounds_.load_directory(options_.dictionary_dir, classes_);  // pripravi_zlozenke
}

void TGFP::set_work_dir(std::string_view directory) {
    work_dir_ = directory;
}

void TGFP::prepare_work_files() {
    if (log_disabled()) return;
    std::string path = work_dir_;
    if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
    path += "avto.bes";
    std::ofstream file(path);  // an empty file; a failure is of no consequence
}

void TGFP::observe(std::string_view stage, const std::string& text) const {
    if (observer_) observer_(stage, text);
}

void TGFP::normalise(std::string_view text, std::string& out, std::size_t limit,
                     SourceTrail* trail) {
    const CharConversionOptions options{seven_bit_->load(),
                                        options_.sibilants_with_quotes,
                                        options_.angle_bracket_filter,
                                        &greek_names_,
                                        &symbol_names_,
                                        &known_domains_};
    SourceTrail stage;
    SourceTrail* stage_trail = trail ? &stage : nullptr;
    convert_characters(text, work_a_, limit, options, trail);
    observe("characters", work_a_);
    clock_times_.convert(work_a_, work_b_, limit, classes_, stage_trail);
    if (trail) compose(*trail, stage, text.size());
    observe("clock times", work_b_);
    abbreviations_.expand(work_b_, work_a_, limit, classes_, stage_trail);
    if (trail) compose(*trail, stage, text.size());
    observe("abbreviations", work_a_);
    roman_numerals_.convert(work_a_, work_b_, limit, classes_, numbers_, stage_trail);
    if (trail) compose(*trail, stage, text.size());
    observe("roman numerals", work_b_);
    compounds_.replace(work_b_, out, limit, classes_, stage_trail);
    if (trail) compose(*trail, stage, text.size());
    observe("compounds", out);
}

void TGFP::finish(std::string& text, bool use_dictionary) {
    convert_units(text, work_b_);
    convert_numbers(work_b_, text);
    convert_letters(text, work_b_);
    transcribe(work_b_, output_, use_dictionary);
    if (output_.size() >= kStageBufferSize) output_.resize(kStageBufferSize - 1);
}

int TGFP::convert_text(const char* text, bool use_dictionary) {
    return convert_text(text ? std::string_view(text) : std::string_view(), use_dictionary);
}

int TGFP::convert_text(std::string_view text, bool use_dictionary) {
    output_.clear();
    dictionary_hits_ = 0;
    if (text.empty()) return 0;
    std::string normalised;
    normalise(text.substr(0, std::min(text.size(), kStageLimit)), normalised, kStageLimit);
    std::string sentences;
    splitter_.split_all(normalised, sentences, kStageLimit);
    observe("sentences", sentences);
    finish(sentences, use_dictionary);
    return 0;
}

int TGFP::convert_sentence(const char* text, bool use_dictionary) {
    output_.clear();
    dictionary_hits_ = 0;
    std::string sentence;
    const int length = split_sentence(text, sentence);
    if (length <= 0) return length;
    observe("sentences", sentence);
    std::string prefixed = ". " + sentence;
    if (prefixed.size() > kStageLimit) prefixed.resize(kStageLimit);
    finish(prefixed, use_dictionary);
    return length;
}

int TGFP::find_sentence(std::string_view text) {
    const std::string copy(text.substr(0, std::min(text.size(), kSentenceInputLimit)));
    std::string sentence;
    return split_sentence(copy.c_str(), sentence);
}

int TGFP::split_sentence(const char* text, std::string& sentence) {
    std::size_t length = 0;
    if (text) {
        const std::string_view input(text);
        const std::string_view kept = input.substr(0, std::min(input.size(), kSentenceInputLimit));
        std::string normalised;
        normalise(kept, normalised, kSentenceInputLimit, &sentence_trail_);
        source_size_ = kept.size();
        source_span_ = SentenceSpan{};
        length = splitter_.split_next(&normalised, sentence, kStageLimit);
    } else {
        length = splitter_.split_next(nullptr, sentence, kStageLimit);
    }
    if (length == 0) {
        sentence_trail_.clear();
        sentence_trail_.shrink_to_fit();
        return kNotPossible;
    }
    // The span in the caller's text: where the splitter stopped, traced back.
    const std::size_t end = splitter_.span().end;
    std::size_t source_end = end < sentence_trail_.size() ? sentence_trail_[end] : source_size_;
    source_end = std::min(std::max(source_end, source_span_.end + 1), source_size_);
    source_span_.start = source_span_.end;
    source_span_.end = std::max(source_end, source_span_.start);
    source_span_.length = source_span_.end - source_span_.start;
    length = std::max<std::size_t>(source_span_.length, 1);
    return static_cast<int>(length);
}

int TGFP::convert_sentence(std::string_view text, bool use_dictionary) {
    const std::string copy(text.substr(0, std::min(text.size(), kSentenceInputLimit)));
    return convert_sentence(copy.c_str(), use_dictionary);
}

}  // namespace sint

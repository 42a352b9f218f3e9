// TMikro: micro-prosody. Turns a phonetic transcription (sentences of words in
// phone notation, words possibly tagged, punctuation tokens) into one
// ProsodyRecord per phone with its duration and pitch, one per punctuation
// token with its pause, and one word-boundary record between adjacent words.
//
// Durations come from per-phone and per-vowel tables, scaled by the speaking
// rate and adapted to a target syllable rate; pitches come from per-vowel tables
// and word-position constants, raised at accented syllables, limited in their
// steps, interpolated over consonants and lightly randomised.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "prosody/phone_services.h"
#include "prosody/prosody_record.h"

namespace sint {

class ProfileFile;
class TGFP;

// Phones of one word at most; a longer word fails the run.
inline constexpr std::size_t kMikroWordPhonesMax = 65;
// Entries of `Nabor_fonemov` at most; a longer list is refused.
inline constexpr std::size_t kMikroPhonesMax = 64;
// Values of a per-phone list and of `Konstante` at most; longer lists are refused.
inline constexpr std::size_t kMikroListMax = 80;
// Constants K0 to K57 are used; a shorter `Konstante` list is refused.
inline constexpr std::size_t kMikroConstantsUsed = 58;
// Phones tempo method 1 (duration curves) handles; longer words are scaled uniformly.
inline constexpr std::size_t kCurvePhonesMax = 64;

// The rate steps of set_rate; others are clamped to them.
inline constexpr int kRateStepMin = -10;
inline constexpr int kRateStepMax = 10;
// The fine settings of the slow mode at steps -10 and -1, and of the fast mode
// at steps 1 and 10. The slow mode's target rate meets the normal one near the
// top of its range and the fast mode's near the bottom of its own.
inline constexpr double kSlowFineLowest = 1;
inline constexpr double kSlowFineHighest = 79;
inline constexpr double kFastFineLowest = 14;
inline constexpr double kFastFineHighest = 100;

// The tables of the micro-prosody profile.
struct MikroProfile {
    std::string input_file;   // Vhodna_Datoteka (not used by synthesis)
    std::string output_file;  // Izhodna_Datoteka (not used by synthesis)
    std::int32_t rate_mode = 0;
    double fine_setting = 0;
    std::vector<std::string> phones;
    std::string phone_classes;
    std::string marks;  // Nabor_locil
    std::int32_t space = 0;
    std::int32_t forced_space = 0;
    std::int32_t word_boundary = 0;
    std::vector<std::int32_t> final_marks;    // positions in `marks`
    std::vector<std::int32_t> token_marks;    // Locila
    std::vector<std::int32_t> special_marks;  // Posebna_locila
    std::string white_space;
    std::string stress_marks;
    std::vector<std::int32_t> base_duration_db;
    std::vector<std::int32_t> duration_vcv;
    std::vector<std::int32_t> duration_cc;
    std::vector<std::int32_t> unstressed_duration;
    std::vector<std::int32_t> stressed_duration;
    std::vector<std::int32_t> pauses;
    std::vector<std::int32_t> slow_lengthening;
    std::vector<std::int32_t> fast_shortening;
    std::vector<std::int32_t> minimum_duration;
    std::vector<std::int32_t> reference_duration;
    std::vector<std::int32_t> base_pitch_db;
    std::vector<std::int32_t> unstressed_pitch;
    std::vector<std::int32_t> stressed_pitch;
    std::array<double, 6> ta_normal{};
    std::array<double, 6> ta_fast{};
    std::array<double, 6> ta_slow{};
    std::vector<std::int32_t> constants;

    std::int32_t k(std::size_t n) const { return constants[n]; }
};

// One token of a sentence while it is worked on.
struct MikroWord {
    char kind = 'b';  // 'b' word, 'l' punctuation
    std::string text;
    std::vector<int> phones;
    std::string classes;  // 'v', 'z', 'n' per phone
    std::vector<SyllableSpan> syllables;
    std::vector<int> stress;  // per syllable: 0, or the stress mark's 1-based position
    char word_type = 'b';     // 'o' or 'b'
    char accent = 'a';        // 'a' or 'c'
    char position = 's';      // 'Z', 's', 'z', 'K', 'k'
    std::vector<int> durations;
    std::vector<int> pitches;
};

class TMikro {
public:
    // Loads the profile (".ini" plain, ".ins" scrambled). Throws
    // std::runtime_error after reporting why when the name or the profile is bad.
    // `phones` must outlive the object.
    TMikro(std::string_view profile_path, const PhoneServices& phones);
    // The same with the phone services of the text-analysis engine, which must
    // outlive the object.
    TMikro(std::string_view profile_path, const TGFP& engine);
    ~TMikro();
    TMikro(const TMikro&) = delete;
    TMikro& operator=(const TMikro&) = delete;

    // (Re)loads the profile; drops the earlier profile and output. True on success.
    bool load_profile();

    // Runs over a transcription: 0, -1 (output not allocated) or -2 (run failed).
    int run(std::string_view text, bool ignore_tags);

    // The output of the last run: count() records followed by one with an empty name.
    const ProsodyRecord* output() const { return output_.empty() ? nullptr : output_.data(); }
    int count() const { return count_; }

    // Maps a speed -10..10 to the rate mode and the fine setting: slow mode
    // below 0, fast mode above, the fine setting rising with the speed.
    void set_rate(int speed);
    // Restarts the pitch jitter from `seed`. The facade seeds it from each
    // request, so that a request's pitch does not depend on those before it.
    void seed_jitter(std::uint32_t seed) { jitter_.seed(seed); }
    // Replaces the pause of the word-boundary mark.
    void set_word_boundary_pause(int ms);
    // The pitch the phone conversion scales around: (K6 + K7) / 2.
    int boundary_pitch() const;

    // True when the phone services name the phones of `Nabor_fonemov` in its
    // order (the tables are indexed by the services' phone indices).
    bool inventory_matches() const;

    // The tokens of the last sentence of the last run, as worked on.
    const std::vector<MikroWord>& last_sentence() const { return last_sentence_; }

    int rate_mode() const { return profile_.rate_mode; }
    double fine_setting() const { return profile_.fine_setting; }
    const MikroProfile& profile() const { return profile_; }

    // Per-word steps, public for the tests.
    void analyse_word(MikroWord& word, bool ignore_tags) const;
    void word_durations(MikroWord& word) const;
    void word_pitches(MikroWord& word);

private:
    TMikro(std::string_view profile_path, std::unique_ptr<PhoneServices> phones);
    void load_or_throw(std::string_view profile_path);
    bool read_profile(ProfileFile& file);
    bool check_profile() const;
    // Cuts the next sentence out of text[pos...]; false when none is left.
    bool next_sentence(std::string_view text, std::size_t& pos, std::string& sentence) const;
    bool process_sentence(const std::string& sentence, bool ignore_tags, std::size_t capacity);
    void punctuation(MikroWord& token) const;
    void adapt_tempo(MikroWord& word) const;
    int rate_mode_used() const;

    bool is_mark(char c, const std::vector<std::int32_t>& list) const;

    std::string path_;
    bool scrambled_ = false;
    // Set when the object adapts the text-analysis engine itself.
    std::unique_ptr<PhoneServices> own_phones_;
    const PhoneServices& phones_;
    std::unique_ptr<ProfileFile> file_;
    MikroProfile profile_;
    std::vector<ProsodyRecord> output_;
    int count_ = 0;
    std::vector<MikroWord> last_sentence_;
    std::minstd_rand jitter_;
};

}  // namespace sint

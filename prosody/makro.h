// TMakro: macro-prosody. Lays the sentence intonation over the records of
// micro-prosody: cuts them into phrases at phrase-ending marks, finds each
// phrase's nucleus, multiplies the pitches by the percentage contour of the
// phrase type, stretches the nucleus (and optionally the phrase), puts fixed
// pauses before listed words, and renames every entry back to a phone or "_".
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "prosody/phone_services.h"
#include "prosody/prosody_record.h"

namespace sint {

class ProfileFile;
class TGFP;

// Values of `Podaljsanje_locil` kept; a longer list is refused.
inline constexpr std::size_t kMakroLengtheningMax = 32;
// Words of `izjeme_tez` used; later words are ignored.
inline constexpr std::size_t kNucleusExceptionsMax = 100;
// Words of `Izjeme_pre` kept; a longer list is refused.
inline constexpr std::size_t kPauseExceptionsMax = 100;

// Start, peak and end percentages, nucleus and phrase duration percentages,
// rising and falling slope limits (thousandths of a point per ms).
using IntonationContour = std::array<std::int32_t, 7>;

enum class PhraseType { statement = 0, question = 1, non_final = 2, exclamation = 3 };

// One working entry per input record.
struct MakroSymbol {
    char symbol = 0;
    char stress_class = 0;
    std::int32_t duration = 0;
    std::int32_t pitch = 0;
};

struct MakroProfile {
    std::string marks;                            // Nabor_locil
    std::vector<double> lengthening;              // Podaljsanje_locil
    std::string mark_symbols;                     // Pretvorba_locil
    std::string phone_symbols;                    // Nabor_izhodnih_fonemov
    std::string stress_classes;                   // Nabor_naglasenosti
    std::vector<std::int32_t> phrase_marks;       // Locila
    std::vector<std::int32_t> special_marks;      // Posebna_locila
    std::int32_t space = 0;                       // Presledek
    std::vector<std::string> nucleus_words;       // izjeme_tez, as output symbols
    std::vector<int> nucleus_offsets;             // stressed vowel of each, -1 if none
    std::vector<std::string> pause_words;         // Izjeme_pre, as output symbols
    std::vector<std::int32_t> pause_times;        // Izjeme_pre_cas
    std::array<IntonationContour, 4> contours{};  // by PhraseType
    bool limit_slopes = false;                    // omeji_naklon
    bool time_linear = false;                     // freq_po_premici
};

class TMakro {
public:
    // Loads the profile (".ini" plain, ".ins" scrambled). Throws
    // std::runtime_error after reporting why when the name or the profile is bad.
    // `phones` must outlive the object.
    TMakro(std::string_view profile_path, const PhoneServices& phones);
    // The same with the phone services of the text-analysis engine, which must
    // outlive the object.
    TMakro(std::string_view profile_path, const TGFP& engine);
    ~TMakro();
    TMakro(const TMakro&) = delete;
    TMakro& operator=(const TMakro&) = delete;

    // (Re)loads the profile; drops the earlier profile and output. True on success.
    bool load_profile();

    // Runs over `count` records: 0, -1 (output not allocated) or -2 (run failed).
    int run(const ProsodyRecord* records, int count);

    // The output of the last run: as many records as the input.
    const ProsodyRecord* output() const { return output_.empty() ? nullptr : output_.data(); }
    int count() const { return count_; }

    const MakroProfile& profile() const { return profile_; }

private:
    TMakro(std::string_view profile_path, std::unique_ptr<PhoneServices> phones);
    void load_or_throw(std::string_view profile_path);
    bool read_profile(ProfileFile& file);
    bool convert_words(std::vector<std::string>& words, std::vector<int>* offsets) const;
    MakroSymbol map_record(const ProsodyRecord& record) const;
    void shape_phrase(std::vector<MakroSymbol>& entries, std::size_t begin, std::size_t end,
                      PhraseType type) const;
    void apply_contour(std::vector<MakroSymbol>& entries, std::size_t begin, std::size_t end,
                       std::size_t nucleus, const IntonationContour& contour) const;
    void output_entry(const MakroSymbol& entry, bool as_pause);
    bool is_phrase_end(char symbol) const;
    char space_symbol() const;

    std::string path_;
    bool scrambled_ = false;
    // Set when the object adapts the text-analysis engine itself.
    std::unique_ptr<PhoneServices> own_phones_;
    const PhoneServices& phones_;
    std::unique_ptr<ProfileFile> file_;
    MakroProfile profile_;
    // Inventory phone + 1 by (output symbol, stress class); 0 for none.
    std::vector<std::uint8_t> rename_;
    std::vector<ProsodyRecord> output_;
    int count_ = 0;
};

}  // namespace sint

// The synthesis facade (`Synthesiser`): the one object through which the server shell
// reaches the synthesiser. It owns the stages, creates them in order from the
// paths of sint.ini, and offers text-to-transcription, prosody and PSOLA
// operations, each timed in the log; with logging on it also dumps the records
// of the prosody stages and the phone conversion for diagnosis.
//
// The server keeps one facade per synthesis worker: each has its own stages
// and buffers and is called from one thread at a time; the wave database of
// the first is shared, read-only, by the others (share_wave_database).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "synth/duration_fit.h"
#include "synth/phone_conversion.h"
#include "synth/synthesis_service.h"
#include "synth/synthesiser_options.h"

namespace sint {

class TGFP;
class TMikro;
class TMakro;
class TPsola;
class PhoneServices;

// The facade's general failure code.
inline constexpr int kFacadeFailure = -201;
// The buffer the transcription is copied into before micro-prosody: longer
// transcriptions are cut to its size less one.
inline constexpr std::size_t kProsodyInputMax = 16383;

class Synthesiser final : public SynthesisService {
public:
    explicit Synthesiser(SynthesiserOptions options = {});
    ~Synthesiser() override;
    Synthesiser(const Synthesiser&) = delete;
    Synthesiser& operator=(const Synthesiser&) = delete;

    // Creates the stages (text analysis, micro- and macro-prosody, phone
    // conversion). 0, or -1 when already initialised. A stage that cannot be
    // built throws; the facade does not catch it.
    int init();
    // Replaces the options (for a facade built before its settings were read);
    // they take effect at the next init() and wave database load.
    void set_options(SynthesiserOptions options) { options_ = std::move(options); }
    const SynthesiserOptions& options() const { return options_; }
    // The options of a facade that reads this initialised one's dictionaries
    // and statistics tables instead of loading its own.
    SynthesiserOptions sharing_options() const;
    // Writes the stop banner and destroys the stages: 0, or -1 when not initialised.
    int free();
    bool initialised() const { return initialised_; }

    // SynthesisService
    bool ready() const override { return initialised_ && wave_ready(); }
    int convert(std::string_view text) override;
    long convert_first_sentence(std::string_view text) override;
    long first_sentence_length(std::string_view text) override;
    int prosody(std::optional<std::string_view> transcription) override;
    void synthesise_to_file(int bytes_per_sample, int sample_rate, int format_tag, int coding,
                            const std::string& file_name, int volume) override;
    std::span<const std::int16_t> synthesise_to_memory(int volume) override;
    void set_pitch_offset(std::int32_t value) override;
    void set_articulation(std::int32_t value) override;
    void set_tempo(std::int32_t value) override;
    void set_speed(std::int32_t percent) override;
    void set_window_width(std::int32_t value) override;

    // The transcription of the last conversion ("" before any).
    const char* transcription() const;
    // Milliseconds / bytes of the last PSOLA run; -1 when not initialised.
    std::int32_t duration_ms() const;
    std::int32_t byte_count() const;

    std::int32_t tempo() const { return tempo_; }
    std::int32_t speed_percent() const { return speed_percent_; }
    // The records the phone conversion was given by the last prosody run: the
    // macro-prosody output with its durations fitted to the tempo and speed,
    // and the pitch the conversion adjusted (the pitch that is spoken).
    const std::vector<ProsodyRecord>& timed_records() const { return timed_; }

    std::int32_t pitch_offset() const { return pitch_offset_; }
    std::int32_t articulation() const { return articulation_; }
    // (value - base) * articulation / 100 + base, in integers.
    std::int32_t scale_deviation(std::int32_t value, std::int32_t base) const;

    // The wave database, created and freed by the shell.
    bool wave_init_slow(const std::string& list_file);
    bool wave_init_fast();
    void wave_save_tables();
    // Builds a database from `list_file` and, only when it loaded, replaces
    // the current one with it; otherwise the current one stays. True when
    // replaced.
    bool wave_reload(const std::string& list_file);
    void wave_free();
    // Synthesises over the wave database of `primary` (which must stay loaded
    // while this facade uses it) instead of loading one; false when `primary`
    // has none or this facade has one already.
    bool share_wave_database(const Synthesiser& primary);
    bool wave_ready() const { return psola_ != nullptr; }

    // The stopwatch: lap returns the milliseconds since the last start or lap.
    void stopwatch_start();
    std::int64_t stopwatch_lap();
    // Writes the stage's name and the lap time to the log (when there is one).
    void log_lap(const char* stage);
    // "%03f s" of ms / 1000 (15 ms gives "0.015000 s").
    static std::string format_seconds(std::int64_t ms);

    // The stages, for tools and tests.
    TGFP* text_analysis() { return gfp_.get(); }
    const SymbolNames* symbol_names() const override;
    TMikro* mikro() { return mikro_.get(); }
    TMakro* makro() { return makro_.get(); }
    TPsola* psola() { return psola_.get(); }
    const PhoneConverter& converter() const { return converter_; }

private:
    bool begin_conversion(std::string_view text, int& result);
    void write_records_file(const char* name, bool alophones) const;
    void run_psola();
    // Micro- and macro-prosody over `input` (which ends in " ."), with the
    // jitter seeded for the request; false when a stage failed.
    bool run_prosody_stages(const std::string& input, bool dump);
    // Fits timed_ to the tempo and the speed (see duration_fit.h), the
    // spoken length at the normal rate being `normal_ms`; sets the leading
    // pause of the phone conversion.
    void fit_to_rate(double normal_ms);
    // How the phone conversion and PSOLA will speak the records, for the fit.
    SpokenModel spoken_model() const;
    // The seed of the pitch jitter for one request: the transcription and the
    // voice settings, and nothing that earlier requests left behind.
    std::uint32_t jitter_seed(std::string_view input) const;

    SynthesiserOptions options_;
    bool initialised_ = false;
    std::unique_ptr<TGFP> gfp_;
    std::unique_ptr<PhoneServices> phone_services_;
    std::unique_ptr<TMikro> mikro_;
    std::unique_ptr<TMakro> makro_;
    PhoneConverter converter_;
    std::unique_ptr<TPsola> psola_;
    std::int32_t pitch_offset_ = 0;
    std::int32_t articulation_ = 90;
    std::int32_t tempo_ = 0;
    std::int32_t speed_percent_ = 100;
    std::vector<ProsodyRecord> timed_;
    std::int32_t window_width_ = 0;
    std::chrono::steady_clock::time_point stopwatch_ = std::chrono::steady_clock::now();
};

}  // namespace sint

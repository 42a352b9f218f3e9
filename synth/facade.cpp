#include "synth/facade.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "core/log.h"
#include "core/phone_symbols.h"
#include "core/speaking_rate.h"
#include "core/status.h"
#include "prosody/engine_phone_services.h"
#include "prosody/makro.h"
#include "prosody/mikro.h"
#include "synth/duration_fit.h"
#include "text/tgfp.h"
#include "waveform/psola.h"

namespace sint {
namespace {

constexpr const char* kNotInitialised = "Sint Ni inicializiran!";
const std::string kHyphenLine(40, '-');

// The construction arguments of the slow start: the marker tracks of the
// alophone labels and of the pitch marks.
constexpr int kAlophoneTrack = 1;
constexpr int kPitchTrack = 0;

// The pitch offset, articulation and window width the facade accepts.
constexpr std::int32_t kPitchOffsetMin = -50, kPitchOffsetMax = 50;
constexpr std::int32_t kArticulationMin = 1, kArticulationMax = 200;

}  // namespace

Synthesiser::Synthesiser(SynthesiserOptions options) : options_(std::move(options)) {}

Synthesiser::~Synthesiser() {
    if (initialised_) free();
    wave_free();
}

int Synthesiser::init() {
    if (initialised_) {
        report_error("Sintetizator je ze inicializiran!");
        return kNotPossible;
    }
    gfp_ = options_.dictionary_index.empty()
               ? std::make_unique<TGFP>(options_.gfp_profile, options_.text)
               : std::make_unique<TGFP>(options_.gfp_profile, options_.text,
                                        options_.dictionary_index);
    gfp_->set_work_dir(options_.log_dir);
    phone_services_ = std::make_unique<EnginePhoneServices<TGFP>>(*gfp_);
    mikro_ = std::make_unique<TMikro>(options_.mikro_profile, *phone_services_);
    makro_ = std::make_unique<TMakro>(options_.makro_profile, *phone_services_);
    converter_.free();
    log_start_banner();
    gfp_->prepare_work_files();
    initialised_ = true;
    return 0;
}

SynthesiserOptions Synthesiser::sharing_options() const {
    SynthesiserOptions sharing = options_;
    if (gfp_) {
        sharing.text.shared_dictionary = gfp_->shared_dictionary();
        sharing.text.shared_statistics = gfp_->shared_statistics();
    }
    return sharing;
}

int Synthesiser::free() {
    if (!initialised_) {
        log_write("Sint se ni inicializiran");
        return kNotPossible;
    }
    log_stop_banner();
    initialised_ = false;
    makro_.reset();
    mikro_.reset();
    phone_services_.reset();
    gfp_.reset();
    converter_.free();
    return 0;
}

void Synthesiser::stopwatch_start() {
    stopwatch_ = std::chrono::steady_clock::now();
}

void Synthesiser::log_lap(const char* stage) {
    const std::int64_t ms = stopwatch_lap();
    // Formatting costs more than the smaller stages themselves: only for a log.
    if (!log_disabled()) log_write(stage + format_seconds(ms));
}

std::int64_t Synthesiser::stopwatch_lap() {
    const auto now = std::chrono::steady_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - stopwatch_).count();
    stopwatch_ = now;
    return ms;
}

std::string Synthesiser::format_seconds(std::int64_t ms) {
    char text[48];
    std::snprintf(text, sizeof text, "%03f s", static_cast<double>(ms) * 0.001);
    return text;
}

std::int32_t Synthesiser::scale_deviation(std::int32_t value, std::int32_t base) const {
    return (value - base) * articulation_ / 100 + base;
}

void Synthesiser::set_pitch_offset(std::int32_t value) {
    pitch_offset_ = std::clamp(value, kPitchOffsetMin, kPitchOffsetMax);
}

void Synthesiser::set_articulation(std::int32_t value) {
    articulation_ = std::clamp(value, kArticulationMin, kArticulationMax);
}

void Synthesiser::set_tempo(std::int32_t value) {
    tempo_ = std::clamp(value, kTempoMin, kTempoMax);
    if (mikro_) mikro_->set_rate(tempo_);
}

void Synthesiser::set_speed(std::int32_t percent) {
    speed_percent_ = std::clamp(percent, kSpeedPercentMin, kSpeedPercentMax);
}

void Synthesiser::set_window_width(std::int32_t value) {
    window_width_ = value;
    if (psola_) psola_->set_window_width(std::clamp(value, kMinWindowWidth, kMaxWindowWidth));
}

// The checks common to both conversions. False when the conversion must not
// run, with `result` set to its return code.
bool Synthesiser::begin_conversion(std::string_view text, int& result) {
    stopwatch_start();
    if (!initialised_) {
        log_write(kNotInitialised);
        result = kFacadeFailure;
        return false;
    }
    if (text.empty()) {
        log_write("Vhod je prazen niz!");
        result = kFacadeFailure;
        return false;
    }
    return true;
}

int Synthesiser::convert(std::string_view text) {
    if (text.data() == nullptr) return kNotPossible;
    int result = 0;
    if (!begin_conversion(text, result)) return result;
    // The engine reads a NUL-terminated working copy.
    const std::string work(text);
    gfp_->convert_text(work.c_str(), true);
    log_lap("GFP: ");
    return 0;
}

long Synthesiser::convert_first_sentence(std::string_view text) {
    if (text.data() == nullptr) return kNotPossible;
    int result = 0;
    if (!begin_conversion(text, result)) return result;
    const std::string work(text);
    const long length = gfp_->convert_sentence(work.c_str(), true);
    log_lap("GFP: ");
    return length;
}

long Synthesiser::first_sentence_length(std::string_view text) {
    if (text.data() == nullptr) return kNotPossible;
    int result = 0;
    if (!begin_conversion(text, result)) return result;
    const long length = gfp_->find_sentence(text);
    log_lap("GFP: ");
    return length;
}

const SymbolNames* Synthesiser::symbol_names() const {
    return gfp_ ? &gfp_->symbol_names() : nullptr;
}

const char* Synthesiser::transcription() const {
    return gfp_ ? gfp_->result_text() : "";
}

void Synthesiser::write_records_file(const char* name, bool alophones) const {
    if (log_disabled()) return;
    const std::string path = options_.log_dir + name;
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return;
    std::fprintf(file, "%s\n", kHyphenLine.c_str());
    if (alophones) {
        const AlophoneRecord* records = converter_.output();
        for (int i = 0; records && i < converter_.count(); ++i)
            std::fprintf(
                file, "%s\t%ld\t%ld\t%ld\t%ld\n", records[i].name,
                static_cast<long>(records[i].duration), static_cast<long>(records[i].f0_start),
                static_cast<long>(records[i].f0_middle), static_cast<long>(records[i].f0_end));
    } else {
        const bool from_mikro = std::strcmp(name, "mikro.out") == 0;
        const ProsodyRecord* records = from_mikro ? mikro_->output() : makro_->output();
        const int count = from_mikro ? mikro_->count() : makro_->count();
        for (int i = 0; records && i < count; ++i)
            std::fprintf(file, "%s\t%ld\t%ld\n", records[i].name,
                         static_cast<long>(records[i].duration),
                         static_cast<long>(records[i].pitch));
    }
    std::fclose(file);
}

bool Synthesiser::run_prosody_stages(const std::string& input, bool dump) {
    mikro_->seed_jitter(jitter_seed(input));
    if (mikro_->run(input, false) != 0) return false;
    if (dump) {
        write_records_file("mikro.out", false);
        log_lap("Mikro: ");
    }
    if (makro_->run(mikro_->output(), mikro_->count()) != 0) return false;
    if (dump) {
        write_records_file("makro.out", false);
        log_lap("Makro: ");
    }
    return true;
}

SpokenModel Synthesiser::spoken_model() const {
    SpokenModel model;
    const std::int32_t boundary = mikro_->boundary_pitch();
    model.pitch = [this, boundary](int f) { return scale_deviation(f, boundary) + pitch_offset_; };
    // A plosive or affricate ends in a release unit that keeps its recorded
    // length (the phone conversion gives it the duration 0).
    model.kept_ms = [this](std::string_view name) -> double {
        if (!psola_) return 0.0;
        std::string_view release;
        if (name == "p" || name == "t" || name == "k" || name == "b" || name == "d" || name == "g")
            release = name;
        else if (name == "ts" || name == "tS")
            release = "t";
        else
            return 0.0;
        const AlophoneEntry* entry =
            psola_->find_alophone(static_cast<std::uint8_t>(sampa_to_byte(release)[0]));
        return entry ? entry->avg_duration : 0.0;
    };
    return model;
}

void Synthesiser::fit_to_rate(double normal_ms) {
    const SpokenModel model = spoken_model();
    double lead = kLeadingPauseMs;
    // The rate machinery of micro-prosody shapes the durations of a TEMPO
    // step; this brings their total to the step's exact factor.
    if (tempo_ != 0) {
        lead *=
            fit_durations(timed_, lead, normal_ms / tempo_factor(tempo_), 1.0, model).pause_scale;
    }
    if (speed_percent_ != kSpeedPercentNormal) {
        const double now = spoken_length_ms(timed_, lead, model);
        lead *= fit_durations(timed_, lead, now * kSpeedPercentNormal / speed_percent_,
                              kBoostPauseExponent, model)
                    .pause_scale;
    }
    converter_.set_leading_pause(static_cast<std::int32_t>(std::lround(lead)));
}

int Synthesiser::prosody(std::optional<std::string_view> transcription) {
    std::string input(transcription ? *transcription
                                    : std::string_view(gfp_ ? gfp_->result_text() : ""));
    stopwatch_start();
    if (!initialised_) {
        log_write(kNotInitialised);
        return kFacadeFailure;
    }
    mikro_->set_word_boundary_pause(0);
    input += " .";
    if (input.size() > kProsodyInputMax) input.resize(kProsodyInputMax);

    // The length of the text at the normal rate, which a TEMPO step divides
    // by its factor: a first run of the prosody stages without the step.
    double normal_ms = 0;
    if (tempo_ != 0) {
        mikro_->set_rate(0);
        const bool ran = run_prosody_stages(input, false);
        mikro_->set_rate(tempo_);
        if (!ran) return kFacadeFailure;
        normal_ms =
            spoken_length_ms(std::span<const ProsodyRecord>(makro_->output(), makro_->count()),
                             kLeadingPauseMs, spoken_model());
    }
    if (!run_prosody_stages(input, true)) return kFacadeFailure;
    timed_.assign(makro_->output(), makro_->output() + makro_->count());
    fit_to_rate(normal_ms);

    converter_.free();
    // The conversion writes the adjusted pitch back into its input records.
    const int count = converter_.run(timed_.data(), static_cast<int>(timed_.size()),
                                     mikro_->boundary_pitch(), articulation_, pitch_offset_);
    if (count < 0) {
        log_write("Convert: Napaka pri pretvorbi!");
        return kFacadeFailure;
    }
    write_records_file("convert.out", true);
    log_lap("Convert: ");
    return 0;
}

std::uint32_t Synthesiser::jitter_seed(std::string_view input) const {
    // FNV-1a over the text, then over the settings that shape the prosody.
    std::uint32_t hash = 2166136261u;
    const auto add = [&hash](std::uint8_t byte) {
        hash ^= byte;
        hash *= 16777619u;
    };
    for (const char c : input) add(static_cast<std::uint8_t>(c));
    for (const std::int32_t value : {tempo_, pitch_offset_, articulation_, window_width_})
        for (int shift = 0; shift < 32; shift += 8)
            add(static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> shift));
    // A boost counts only when there is one, so that requests without it
    // keep the pitch they always had.
    if (speed_percent_ != kSpeedPercentNormal)
        for (int shift = 0; shift < 32; shift += 8)
            add(static_cast<std::uint8_t>(static_cast<std::uint32_t>(speed_percent_) >> shift));
    return hash;
}

void Synthesiser::run_psola() {
    if (converter_.output()) psola_->synthesise(converter_.output());
    log_lap("Psola: ");
}

void Synthesiser::synthesise_to_file(int bytes_per_sample, int sample_rate, int format_tag,
                                     int coding, const std::string& file_name, int volume) {
    stopwatch_start();
    if (!initialised_ || !psola_) {
        log_write(kNotInitialised);
        return;
    }
    run_psola();
    stopwatch_start();
    try {
        TTableSint::SaveWave(psola_->samples_out(), psola_->sample_count(), bytes_per_sample,
                             sample_rate, format_tag, 1, coding, file_name, volume);
    } catch (const std::exception&) {
        log_write("SaveWave: EXCEPTION");
    }
    log_lap("SaveWave: ");
}

std::span<const std::int16_t> Synthesiser::synthesise_to_memory(int /*volume*/) {
    stopwatch_start();
    if (!initialised_ || !psola_) {
        log_write(kNotInitialised);
        return {};
    }
    run_psola();
    log_lap("PsolaStream: ");
    return {psola_->samples_out(), static_cast<std::size_t>(std::max(0, psola_->sample_count()))};
}

std::int32_t Synthesiser::duration_ms() const {
    if (!initialised_) return kNotPossible;
    return psola_ ? psola_->sample_count() / kSamplesPerMs : 0;
}

std::int32_t Synthesiser::byte_count() const {
    if (!initialised_) return kNotPossible;
    return psola_ ? psola_->sample_count() * 2 : 0;
}

bool Synthesiser::wave_init_slow(const std::string& list_file) {
    if (psola_) return false;
    try {
        psola_ = std::make_unique<TPsola>(list_file, kAlophoneTrack, kPitchTrack, options_.wave);
    } catch (const std::exception&) {
        psola_.reset();
    }
    return psola_ != nullptr;
}

bool Synthesiser::wave_init_fast() {
    if (psola_) return false;
    try {
        psola_ = std::make_unique<TPsola>(options_.wave);
    } catch (const std::exception&) {
        psola_.reset();
    }
    return psola_ != nullptr;
}

bool Synthesiser::wave_reload(const std::string& list_file) {
    try {
        auto fresh =
            std::make_unique<TPsola>(list_file, kAlophoneTrack, kPitchTrack, options_.wave);
        psola_ = std::move(fresh);
        return true;
    } catch (const std::exception&) {
        return false;  // the stage has reported why
    }
}

void Synthesiser::wave_save_tables() {
    if (psola_) psola_->save_tables();
}

bool Synthesiser::share_wave_database(const Synthesiser& primary) {
    if (psola_ || !primary.psola_) return false;
    psola_ = std::make_unique<TPsola>(TTableSint::Share{}, *primary.psola_);
    return true;
}

void Synthesiser::wave_free() {
    psola_.reset();
}

}  // namespace sint

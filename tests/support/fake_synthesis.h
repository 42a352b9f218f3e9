// A stand-in for the synthesis facade: deterministic audio (a fixed number of
// samples per transcription character) and a record of every call.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/symbol_names.h"
#include "synth/synthesis_service.h"

namespace sint::test {

class FakeSynthesis : public SynthesisService {
public:
    static constexpr int kSamplesPerChar = 10;
    static constexpr std::int16_t kSample = -1000;

    std::atomic<bool> is_ready{true};
    std::atomic<bool> fail_prosody{false};
    // When set, every synthesis gives this many samples instead.
    std::atomic<std::size_t> fixed_samples{0};
    // How long each synthesis into memory takes, as a real one would.
    std::atomic<int> delay_ms{0};

    bool ready() const override { return is_ready; }

    int convert(std::string_view text) override {
        std::lock_guard lock(mutex_);
        calls_.push_back("convert:" + std::string(text));
        if (text.empty()) return -201;
        transcription_ = text;
        return 0;
    }
    // The first sentence ends after the first ".", "!" or "?".
    long convert_first_sentence(std::string_view text) override {
        std::lock_guard lock(mutex_);
        calls_.push_back("gfp:" + std::string(text));
        const auto end = text.find_first_of(".!?");
        return end == std::string_view::npos ? -1 : static_cast<long>(end + 1);
    }
    int prosody(std::optional<std::string_view> transcription) override {
        std::lock_guard lock(mutex_);
        current_ = transcription ? std::string(*transcription) : transcription_;
        calls_.push_back("prosody:" + current_);
        return fail_prosody ? -201 : 0;
    }
    void synthesise_to_file(int bytes_per_sample, int sample_rate, int format_tag, int coding,
                            const std::string& file_name, int volume) override {
        std::lock_guard lock(mutex_);
        calls_.push_back("file:" + file_name + ":" + std::to_string(volume) + ":" +
                         std::to_string(bytes_per_sample) + "," + std::to_string(sample_rate) +
                         "," + std::to_string(format_tag) + "," + std::to_string(coding));
    }
    std::span<const std::int16_t> synthesise_to_memory(int volume) override {
        if (delay_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
        std::lock_guard lock(mutex_);
        calls_.push_back("memory:" + std::to_string(volume));
        const std::size_t count =
            fixed_samples ? fixed_samples.load() : current_.size() * kSamplesPerChar;
        samples_.assign(count, kSample);
        return samples_;
    }
    void set_pitch_offset(std::int32_t value) override { record("pitch", value); }
    void set_articulation(std::int32_t value) override { record("articulation", value); }
    void set_tempo(std::int32_t value) override { record("tempo", value); }
    void set_speed(std::int32_t value) override { record("speed", value); }
    void set_window_width(std::int32_t value) override { record("wwidth", value); }
    // The voice's own table of character names.
    const SymbolNames* symbol_names() const override { return &names_; }

    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    // The calls that begin with `prefix`.
    std::vector<std::string> calls(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& call : calls())
            if (call.rfind(prefix, 0) == 0) found.push_back(call);
        return found;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        calls_.clear();
    }

private:
    void record(const char* name, std::int32_t value) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::string(name) + ":" + std::to_string(value));
    }

    mutable std::mutex mutex_;
    SymbolNames names_{std::string(SINT_SOURCE_DIR) + "/voice/simboli.ini"};
    std::vector<std::string> calls_;
    std::string transcription_;
    std::string current_;
    std::vector<std::int16_t> samples_;
};

}  // namespace sint::test

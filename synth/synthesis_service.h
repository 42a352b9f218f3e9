// The operations of the synthesis facade that the request protocol calls.
// The facade implements this interface; the protocol knows nothing else of the
// synthesiser. Each object is used by one thread at a time (the server loop,
// or the synthesis worker that owns it).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sint {

class SymbolNames;

class SynthesisService {
public:
    virtual ~SynthesisService() = default;

    // True when the facade is initialised and the wave database is loaded;
    // requests that synthesise are dropped otherwise.
    virtual bool ready() const = 0;

    // Whole-text conversion into the transcription: 0, −1 or −201.
    virtual int convert(std::string_view text) = 0;
    // Sentence-mode conversion: the byte length of the first sentence of
    // `text`, or −1 / −201.
    virtual long convert_first_sentence(std::string_view text) = 0;
    // The same length without transcribing the sentence (a sentence-end
    // query needs only the length); the last transcription stays as it was.
    virtual long first_sentence_length(std::string_view text) {
        return convert_first_sentence(text);
    }
    // Micro-prosody, macro-prosody and phone conversion on `transcription`, or
    // on the last conversion's result when none is given: 0 or −201.
    virtual int prosody(std::optional<std::string_view> transcription) = 0;

    // PSOLA over the phone conversion's output, written as a wave file. A
    // failure of the writer is logged by the facade.
    virtual void synthesise_to_file(int bytes_per_sample, int sample_rate, int format_tag,
                                    int coding, const std::string& file_name, int volume) = 0;
    // PSOLA into memory; the samples stay valid until the next synthesis.
    virtual std::span<const std::int16_t> synthesise_to_memory(int volume) = 0;

    // Per-request voice settings (the facade clamps them).
    virtual void set_pitch_offset(std::int32_t value) = 0;
    virtual void set_articulation(std::int32_t value) = 0;
    virtual void set_tempo(std::int32_t value) = 0;
    // The speed boost on top of the tempo, in percent of its rate (30..600).
    virtual void set_speed(std::int32_t percent) = 0;
    virtual void set_window_width(std::int32_t value) = 0;

    // The names of characters that text analysis read with its profile, or
    // null before it is loaded.
    virtual const SymbolNames* symbol_names() const { return nullptr; }
};

}  // namespace sint

// The audio formats sint-http answers in, each made by its library as the
// sentences arrive: MP3 (LAME), Ogg Opus (libopusenc), FLAC (libFLAC), a wave
// file whose sizes say "unknown length" so that it can be played while it
// streams, and raw 16-bit little-endian samples.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sint {

inline constexpr int kHttpSampleRate = 16000;

enum class AudioFormat { Mp3, Opus, Flac, Wav, Pcm };

// The names as requests give them: "mp3, opus, flac, wav, pcm".
inline constexpr std::string_view kAudioFormatNames = "mp3, opus, flac, wav, pcm";
std::optional<AudioFormat> parse_audio_format(std::string_view name);
std::string content_type(AudioFormat format);

class AudioEncoder {
public:
    virtual ~AudioEncoder() = default;
    // Appends to `out` the bytes that these samples complete (encoders keep a
    // frame's worth back); false when the encoder failed.
    virtual bool encode(std::span<const std::int16_t> samples, std::string& out) = 0;
    // Appends the rest of the stream.
    virtual bool finish(std::string& out) = 0;
};

// Nothing when the library cannot set itself up.
std::unique_ptr<AudioEncoder> make_encoder(AudioFormat format);

}  // namespace sint

#include "tools/sint-http/audio_encoder.h"

#include <FLAC/stream_encoder.h>
#include <lame/lame.h>
#include <opusenc.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "tools/sint-say/wave_output.h"

namespace sint {
namespace {

// MP3 bit rate for 16 kHz speech, in kbit/s.
constexpr int kMp3BitRate = 48;
// libFLAC's compression level (0 fastest .. 8 smallest).
constexpr unsigned kFlacLevel = 5;

void append(std::string& out, const void* data, std::size_t size) {
    out.append(static_cast<const char*>(data), size);
}

class PcmEncoder : public AudioEncoder {
public:
    bool encode(std::span<const std::int16_t> samples, std::string& out) override {
        for (const std::int16_t sample : samples) {
            const auto value = static_cast<std::uint16_t>(sample);
            out.push_back(static_cast<char>(value & 0xFF));
            out.push_back(static_cast<char>(value >> 8));
        }
        return true;
    }
    bool finish(std::string&) override { return true; }
};

// A wave header whose RIFF and data sizes are 0xFFFFFFFF: the length is not
// known when the header goes out, and players read such a file to its end.
class WavEncoder : public PcmEncoder {
public:
    bool encode(std::span<const std::int16_t> samples, std::string& out) override {
        if (!header_sent_) {
            std::vector<std::uint8_t> header = wave_header(0);
            std::memset(header.data() + 4, 0xFF, 4);
            std::memset(header.data() + 40, 0xFF, 4);
            append(out, header.data(), header.size());
            header_sent_ = true;
        }
        return PcmEncoder::encode(samples, out);
    }
    bool finish(std::string& out) override { return encode({}, out); }

private:
    bool header_sent_ = false;
};

class Mp3Encoder : public AudioEncoder {
public:
    Mp3Encoder() : lame_(lame_init()) {
        if (!lame_) return;
        lame_set_in_samplerate(lame_, kHttpSampleRate);
        lame_set_num_channels(lame_, 1);
        lame_set_mode(lame_, MONO);
        lame_set_brate(lame_, kMp3BitRate);
        // The stream goes out as it is made; a VBR header could not be filled in later.
        lame_set_bWriteVbrTag(lame_, 0);
        ready_ = lame_init_params(lame_) >= 0;
    }
    ~Mp3Encoder() override {
        if (lame_) lame_close(lame_);
    }
    bool ready() const { return ready_; }
    bool encode(std::span<const std::int16_t> samples, std::string& out) override {
        if (samples.empty()) return true;
        // LAME's own bound on the output of one call.
        buffer_.resize(samples.size() * 5 / 4 + 7200);
        const int made = lame_encode_buffer(lame_, samples.data(), samples.data(),
                                            static_cast<int>(samples.size()), buffer_.data(),
                                            static_cast<int>(buffer_.size()));
        if (made < 0) return false;
        append(out, buffer_.data(), static_cast<std::size_t>(made));
        return true;
    }
    bool finish(std::string& out) override {
        buffer_.resize(7200);
        const int made = lame_encode_flush(lame_, buffer_.data(), static_cast<int>(buffer_.size()));
        if (made < 0) return false;
        append(out, buffer_.data(), static_cast<std::size_t>(made));
        return true;
    }

private:
    lame_t lame_;
    bool ready_ = false;
    std::vector<unsigned char> buffer_;
};

class OpusEncoder : public AudioEncoder {
public:
    OpusEncoder() {
        comments_ = ope_comments_create();
        if (!comments_) return;
        const OpusEncCallbacks callbacks{&OpusEncoder::write_pages, &OpusEncoder::close_stream};
        int error = 0;
        encoder_ = ope_encoder_create_callbacks(&callbacks, this, comments_, kHttpSampleRate, 1, 0,
                                                &error);
    }
    ~OpusEncoder() override {
        if (encoder_) ope_encoder_destroy(encoder_);
        if (comments_) ope_comments_destroy(comments_);
    }
    bool ready() const { return encoder_ != nullptr; }
    bool encode(std::span<const std::int16_t> samples, std::string& out) override {
        if (!samples.empty() &&
            ope_encoder_write(encoder_, samples.data(), static_cast<int>(samples.size())) != OPE_OK)
            return false;
        out += pages_;
        pages_.clear();
        return true;
    }
    bool finish(std::string& out) override {
        if (ope_encoder_drain(encoder_) != OPE_OK) return false;
        out += pages_;
        pages_.clear();
        return true;
    }

private:
    static int write_pages(void* self, const unsigned char* data, opus_int32 size) {
        append(static_cast<OpusEncoder*>(self)->pages_, data, static_cast<std::size_t>(size));
        return 0;
    }
    static int close_stream(void*) { return 0; }

    OggOpusComments* comments_ = nullptr;
    OggOpusEnc* encoder_ = nullptr;
    std::string pages_;
};

class FlacEncoder : public AudioEncoder {
public:
    FlacEncoder() : encoder_(FLAC__stream_encoder_new()) {
        if (!encoder_) return;
        FLAC__stream_encoder_set_channels(encoder_, 1);
        FLAC__stream_encoder_set_bits_per_sample(encoder_, 16);
        FLAC__stream_encoder_set_sample_rate(encoder_, kHttpSampleRate);
        FLAC__stream_encoder_set_compression_level(encoder_, kFlacLevel);
        // No seek callback: the stream is written once, front to back.
        ready_ =
            FLAC__stream_encoder_init_stream(encoder_, &FlacEncoder::write_bytes, nullptr, nullptr,
                                             nullptr, this) == FLAC__STREAM_ENCODER_INIT_STATUS_OK;
    }
    ~FlacEncoder() override {
        if (encoder_) FLAC__stream_encoder_delete(encoder_);
    }
    bool ready() const { return ready_; }
    bool encode(std::span<const std::int16_t> samples, std::string& out) override {
        wide_.assign(samples.begin(), samples.end());
        if (!wide_.empty() && !FLAC__stream_encoder_process_interleaved(
                                  encoder_, wide_.data(), static_cast<unsigned>(wide_.size())))
            return false;
        out += bytes_;
        bytes_.clear();
        return true;
    }
    bool finish(std::string& out) override {
        const bool done = FLAC__stream_encoder_finish(encoder_);
        out += bytes_;
        bytes_.clear();
        return done;
    }

private:
    static FLAC__StreamEncoderWriteStatus write_bytes(const FLAC__StreamEncoder*,
                                                      const FLAC__byte buffer[], size_t bytes,
                                                      uint32_t, uint32_t, void* self) {
        append(static_cast<FlacEncoder*>(self)->bytes_, buffer, bytes);
        return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    }

    FLAC__StreamEncoder* encoder_;
    bool ready_ = false;
    std::vector<FLAC__int32> wide_;
    std::string bytes_;
};

template <typename Encoder>
std::unique_ptr<AudioEncoder> ready_or_nothing() {
    auto encoder = std::make_unique<Encoder>();
    if (!encoder->ready()) return nullptr;
    return encoder;
}

}  // namespace

std::optional<AudioFormat> parse_audio_format(std::string_view name) {
    static constexpr std::pair<std::string_view, AudioFormat> kNames[] = {
        {"mp3", AudioFormat::Mp3},
        {"opus", AudioFormat::Opus},
        {"flac", AudioFormat::Flac},
        {"wav", AudioFormat::Wav},
        {"pcm", AudioFormat::Pcm}};
    for (const auto& [known, format] : kNames)
        if (name == known) return format;
    return std::nullopt;
}

std::string content_type(AudioFormat format) {
    switch (format) {
        case AudioFormat::Mp3:
            return "audio/mpeg";
        case AudioFormat::Opus:
            return "audio/ogg; codecs=opus";
        case AudioFormat::Flac:
            return "audio/flac";
        case AudioFormat::Wav:
            return "audio/wav";
        case AudioFormat::Pcm:
            return "audio/pcm";
    }
    return "application/octet-stream";
}

std::unique_ptr<AudioEncoder> make_encoder(AudioFormat format) {
    switch (format) {
        case AudioFormat::Mp3:
            return ready_or_nothing<Mp3Encoder>();
        case AudioFormat::Opus:
            return ready_or_nothing<OpusEncoder>();
        case AudioFormat::Flac:
            return ready_or_nothing<FlacEncoder>();
        case AudioFormat::Wav:
            return std::make_unique<WavEncoder>();
        case AudioFormat::Pcm:
            return std::make_unique<PcmEncoder>();
    }
    return nullptr;
}

}  // namespace sint

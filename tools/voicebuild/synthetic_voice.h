// Synthetic labelled recordings for the waveform tests: periodic signals with
// exact pitch marks and alophone labels, stored as RIFF files with the four
// marker chunks in the order the reader expects.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "waveform/g711.h"
#include "waveform/wave_reader.h"

namespace sint::test {

struct SynthPhone {
    std::string label;  // SAMPA name on the alophone track
    int periods;        // pitch periods (and marks) of the phone
    int period;         // samples per period
};

struct SynthRecording {
    std::vector<std::int16_t> samples;
    std::vector<WaveMarker> pitch_marks;  // track 0
    std::vector<WaveMarker> alophones;    // track 1
};

// Silence-free lead and tail around the phones, enough for the widest window.
inline constexpr int kSynthMargin = 900;

// Each phone is `periods` periods of a sine of the phone's period, its label at
// its first pitch mark. A steady tone of 100-sample periods fills the margins.
inline SynthRecording make_recording(const std::vector<SynthPhone>& phones, double amplitude = 8000,
                                     bool constant = false) {
    SynthRecording rec;
    auto emit = [&](int period, int count) {
        for (int k = 0; k < count; ++k)
            rec.samples.push_back(static_cast<std::int16_t>(
                constant ? amplitude : amplitude * std::sin(2 * M_PI * (k % period) / period)));
    };
    emit(100, kSynthMargin);
    for (const SynthPhone& phone : phones) {
        rec.alophones.push_back({static_cast<std::int32_t>(rec.samples.size()), phone.label});
        for (int p = 0; p < phone.periods; ++p) {
            rec.pitch_marks.push_back({static_cast<std::int32_t>(rec.samples.size()), ""});
            emit(phone.period, phone.period);
        }
    }
    // A final mark closes the last period.
    rec.pitch_marks.push_back({static_cast<std::int32_t>(rec.samples.size()), ""});
    emit(100, kSynthMargin);
    return rec;
}

inline void put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}
inline void put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline std::string chunk(const std::string& id, const std::string& data, bool pad = true) {
    std::string out = id;
    put32(out, static_cast<std::uint32_t>(data.size()));
    out += data;
    if (pad && data.size() % 2) out += '\0';
    return out;
}
inline std::string format_chunk(int tag, int bits, int channels = 1) {
    std::string f;
    put16(f, static_cast<std::uint16_t>(tag));
    put16(f, static_cast<std::uint16_t>(channels));
    put32(f, 16000);
    put32(f, static_cast<std::uint32_t>(16000 * bits / 8 * channels));
    put16(f, static_cast<std::uint16_t>(bits / 8 * channels));
    put16(f, static_cast<std::uint16_t>(bits));
    return chunk("fmt ", f);
}
inline std::string marker_data(const std::vector<WaveMarker>& markers) {
    std::string out;
    for (const WaveMarker& m : markers) {
        put32(out, static_cast<std::uint32_t>(m.position));
        char label[12] = {};
        std::strncpy(label, m.label.c_str(), 11);
        out.append(label, 12);
    }
    return out;
}
// Stored sample bytes of the given format (1 PCM 16 or 8 bit, 6 A-law, 7 mu-law).
inline std::string sample_data(const std::vector<std::int16_t>& samples, int tag, int bits) {
    std::string out;
    for (std::int16_t s : samples) {
        if (tag == kFormatAlaw) {
            out += static_cast<char>(linear_to_alaw(s));
        } else if (tag == kFormatMulaw) {
            out += static_cast<char>(linear_to_ulaw(s));
        } else if (bits == 8) {
            out += static_cast<char>((s >> 8) + 128);
        } else {
            put16(out, static_cast<std::uint16_t>(s));
        }
    }
    return out;
}
inline std::string riff(const std::string& body) {
    std::string out = "RIFF";
    put32(out, static_cast<std::uint32_t>(body.size() + 4));
    return out + "WAVE" + body;
}

// A complete source file: the marker chunks "mrk1".."mrk4" hold tracks 3..0;
// tracks 3 and 2 repeat the alophones.
inline std::string recording_file(const SynthRecording& rec, int tag = kFormatPcm, int bits = 16) {
    const int bits_stored = tag == kFormatPcm ? bits : 8;
    return riff(
        format_chunk(tag, bits_stored) + chunk("data", sample_data(rec.samples, tag, bits_stored)) +
        chunk("mrk1", marker_data(rec.alophones)) + chunk("mrk2", marker_data(rec.alophones)) +
        chunk("mrk3", marker_data(rec.alophones)) + chunk("mrk4", marker_data(rec.pitch_marks)));
}

inline void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace sint::test

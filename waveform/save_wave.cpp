// TTableSint::SaveWave: writes a synthesised sentence to a wave file with the
// volume applied, optionally at 8000 Hz and coded in 8 bits.
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/log.h"
#include "waveform/g711.h"
#include "waveform/table_sint.h"
#include "waveform/wave_writer.h"

namespace sint {

namespace {

// Scaled samples are clipped to this magnitude.
constexpr double kClip = 32760;
// Volume 80 leaves the samples unchanged.
constexpr double kVolumeScale = 0.0125;

enum Coding { kCodingAlaw = 1, kCodingMulaw = 2, kCodingLinear = 3 };

// One second-order section of the low-pass filter, direct form I.
struct Biquad {
    double b0, b1, b2, a1, a2;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double run(double x) {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// Fourth-order Butterworth low-pass at 4000 Hz for 16000 Hz, by the bilinear
// transform: two sections with the Butterworth pole quality factors.
std::vector<Biquad> halfband_lowpass() {
    const double k = std::tan(M_PI * 4000.0 / 16000.0);
    std::vector<Biquad> sections;
    for (int i = 0; i < 2; ++i) {
        const double q = 1.0 / (2.0 * std::cos(M_PI * (2 * i + 1) / 8.0));
        const double norm = 1.0 / (1.0 + k / q + k * k);
        Biquad s{};
        s.b0 = k * k * norm;
        s.b1 = 2 * s.b0;
        s.b2 = s.b0;
        s.a1 = 2 * (k * k - 1) * norm;
        s.a2 = (1 - k / q + k * k) * norm;
        sections.push_back(s);
    }
    return sections;
}

std::int16_t clip(double v) {
    return static_cast<std::int16_t>(std::clamp(v, -kClip, kClip));
}

}  // namespace

int TTableSint::SaveWave(std::int16_t* samples, std::int32_t count, int bytes_per_sample,
                         std::int32_t sample_rate, int format_tag, int channels, int coding,
                         const std::string& path, std::int32_t volume) {
    if (!samples || count < 0) count = 0;
    if (channels < 1) channels = 1;
    WaveFormat format;
    format.channels = static_cast<std::uint16_t>(channels);
    format.sample_rate = static_cast<std::uint32_t>(sample_rate);
    format.byte_rate = static_cast<std::uint32_t>(sample_rate * bytes_per_sample * channels);
    format.block_align = static_cast<std::uint16_t>(bytes_per_sample * channels);
    format.bits_per_sample = static_cast<std::uint16_t>(bytes_per_sample * 8 / channels);
    format.format_tag = static_cast<std::uint16_t>(format_tag);
    // The companded tags describe only 8-bit files.
    if (bytes_per_sample == 1 && format_tag == 1 && coding == kCodingAlaw) format.format_tag = 6;
    if (bytes_per_sample == 1 && format_tag == 1 && coding == kCodingMulaw) format.format_tag = 7;

    const double gain = volume * kVolumeScale;
    for (std::int32_t i = 0; i < count; ++i) samples[i] = clip(samples[i] * gain);

    std::vector<std::int16_t> signal(samples, samples + count);
    if (sample_rate == 8000) {
        // The filtered signal from the second sample on, preceded by one zero,
        // taken at every second sample.
        std::vector<Biquad> filter = halfband_lowpass();
        std::vector<double> filtered(static_cast<std::size_t>(count), 0.0);
        for (std::int32_t i = 1; i < count; ++i) {
            double v = samples[i];
            for (Biquad& s : filter) v = s.run(v);
            filtered[i] = v;
        }
        signal.resize(static_cast<std::size_t>(count / 2));
        for (std::int32_t i = 0; i < count / 2; ++i) signal[i] = clip(filtered[2 * i]);
    }

    WaveWriter writer(format);
    if (!writer.open(path)) {
        log_write("TTableSint::SaveWave : Could not save wave file. The file might be opened");
        return kSaveWaveFailed;
    }
    if (bytes_per_sample == 1) {
        std::vector<std::uint8_t> bytes(signal.size());
        if (coding == kCodingAlaw) {
            for (std::size_t i = 0; i < signal.size(); ++i) bytes[i] = linear_to_alaw(signal[i]);
        } else if (coding == kCodingMulaw) {
            for (std::size_t i = 0; i < signal.size(); ++i) bytes[i] = linear_to_ulaw(signal[i]);
        } else {
            // Linear 8-bit over the symmetric range of the sentence (also for an
            // unnamed coding, which has no byte form of its own).
            int lo = 0, hi = 0;
            if (!signal.empty()) {
                lo = *std::min_element(signal.begin(), signal.end());
                hi = *std::max_element(signal.begin(), signal.end());
            }
            if (hi < std::abs(lo)) {
                hi = std::abs(lo);
            } else {
                lo = -hi;
            }
            const int step = (hi - lo) / 256 + 1;
            for (std::size_t i = 0; i < signal.size(); ++i)
                bytes[i] = static_cast<std::uint8_t>((signal[i] - lo) / step);
        }
        writer.write8(bytes.data(), bytes.size());
    } else {
        writer.write16(signal.data(), signal.size() / static_cast<std::size_t>(channels));
    }
    writer.close();
    return 0;
}

}  // namespace sint

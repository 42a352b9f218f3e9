// Reader of the labelled source recordings of the wave database: RIFF WAVE
// files, mono, PCM (8 or 16 bit), A-law or mu-law, with up to four marker
// chunks ("mrk1" to "mrk4") after the sample data.
//
// Every failure writes its coded message to the log and returns false; the
// caller then skips the file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sint {

// Format codes of the recordings that can be read.
inline constexpr int kFormatPcm = 1;
inline constexpr int kFormatAlaw = 6;
inline constexpr int kFormatMulaw = 7;

// Marker tracks per file; "mrk1".."mrk4" hold tracks 3, 2, 1 and 0.
inline constexpr int kMarkerTracks = 4;
// Bytes of one stored marker: a 32-bit position and a 12-byte label.
inline constexpr std::int64_t kMarkerBytes = 16;
inline constexpr std::size_t kMarkerLabelBytes = 12;
// A marker chunk larger than this is refused together with its file.
inline constexpr std::int64_t kMaxMarkerChunkBytes = 6'400'000;

struct WaveMarker {
    std::int32_t position = 0;  // sample index within the file
    std::string label;          // at most 11 characters
};

struct SourceWave {
    int format_tag = 0;
    int channels = 0;
    std::int32_t sample_rate = 0;
    int block_align = 2;
    int bits_per_sample = 0;
    std::int64_t sample_count = 0;
    std::int64_t data_offset = 0;  // byte offset of the first sample in the file
    // Filled by a full read that keeps the samples, widened to 16 bits.
    std::vector<std::int16_t> samples;
    // Filled by a full read; a track without its chunk holds two markers, at
    // the first and at the last sample.
    std::array<std::vector<WaveMarker>, kMarkerTracks> tracks;
    // Markers per track, filled by both kinds of read.
    std::array<std::int64_t, kMarkerTracks> marker_counts{};
};

// Reads the whole file: format, samples (only when keep_samples) and markers.
bool read_source_wave(const std::string& path, bool keep_samples, SourceWave& wave);

// Reads the format, the place of the samples and the marker counts only.
bool read_source_header(const std::string& path, SourceWave& wave);

// Widens stored samples of the given format to 16-bit linear values; `bytes`
// holds `count` samples of 1 or 2 bytes each.
void widen_samples(const unsigned char* bytes, std::size_t count, int format_tag,
                   int bits_per_sample, std::int16_t* out);

}  // namespace sint

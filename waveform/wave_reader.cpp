#include "waveform/wave_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "core/log.h"
#include "waveform/g711.h"

namespace sint {

namespace {

// Samples are read and converted in blocks of at most this many bytes.
constexpr std::size_t kReadBlockBytes = 16384;
// The largest format chunk accepted (the format fields plus an extension word).
constexpr std::uint32_t kMaxFormatBytes = 18;
constexpr std::uint32_t kMinFormatBytes = 16;

std::uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// A binary file read forward, with its length known so that no seek goes past
// its end.
class ChunkFile {
public:
    bool open(const std::string& path) {
        file_.reset(std::fopen(path.c_str(), "rb"));
        if (!file_) return false;
        if (std::fseek(file_.get(), 0, SEEK_END) != 0) return false;
        size_ = ftello(file_.get());
        return size_ >= 0 && std::fseek(file_.get(), 0, SEEK_SET) == 0;
    }

    bool read(void* buffer, std::size_t bytes) {
        const std::size_t got = std::fread(buffer, 1, bytes, file_.get());
        pos_ += static_cast<std::int64_t>(got);
        return got == bytes;
    }

    bool skip(std::int64_t bytes) {
        if (bytes < 0 || bytes > size_ - pos_) return false;
        if (fseeko(file_.get(), static_cast<off_t>(pos_ + bytes), SEEK_SET) != 0) return false;
        pos_ += bytes;
        return true;
    }

    std::int64_t pos() const { return pos_; }
    std::int64_t remaining() const { return size_ - pos_; }

    // Walks the chunks from the current position until `id`; leaves the file at
    // its data and returns its size. Searches for marker chunks are quiet.
    bool find_chunk(const char* id, int block_align, bool quiet, std::uint32_t& size) {
        for (;;) {
            unsigned char head[8];
            if (!read(head, sizeof head)) {
                if (!quiet)
                    log_write("TTablesSint::find_chunk : File is not a RIFF WAV file\n02-002");
                return false;
            }
            size = le32(head + 4);
            if (std::memcmp(head, id, 4) == 0) return true;
            if (!skip(static_cast<std::int64_t>(size) + size % block_align)) {
                if (!quiet)
                    log_write("TTablesSint::find_chunk : File is not a RIFF WAV file\n02-003");
                return false;
            }
        }
    }

private:
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::int64_t size_ = 0;
    std::int64_t pos_ = 0;
};

bool open_riff(ChunkFile& file, const std::string& path) {
    if (!file.open(path)) {
        log_write("Error opening WAV file: " + path + "\nCode:01-001");
        return false;
    }
    std::uint32_t size;
    // Before the format is known, chunks are padded to two bytes.
    if (!file.find_chunk("RIFF", 2, false, size)) return false;
    char kind[4];
    if (!file.read(kind, sizeof kind)) {
        log_write("File is not a RIFF WAV file\n02-004");
        return false;
    }
    if (std::memcmp(kind, "WAVE", 4) != 0) {
        log_write("File is not a RIFF WAV file\n02-005");
        return false;
    }
    return true;
}

bool read_format(ChunkFile& file, SourceWave& wave) {
    std::uint32_t size;
    if (!file.find_chunk("fmt ", 2, false, size)) return false;
    if (size > kMaxFormatBytes) {
        log_write("TTablesSint::read_format : Signal is not PCM coded\n03-004");
        return false;
    }
    unsigned char fmt[kMaxFormatBytes] = {};
    if (size < kMinFormatBytes || !file.read(fmt, size)) {
        log_write("TTablesSint::read_format : Signal is not PCM coded\n03-005");
        return false;
    }
    wave.format_tag = le16(fmt);
    wave.channels = le16(fmt + 2);
    wave.sample_rate = static_cast<std::int32_t>(le32(fmt + 4));
    wave.block_align = le16(fmt + 12);
    wave.bits_per_sample = le16(fmt + 14);
    if (wave.format_tag != kFormatPcm && wave.format_tag != kFormatAlaw &&
        wave.format_tag != kFormatMulaw) {
        log_write("TTablesSint::read_format : Signal is not PCM coded\n03-006");
        return false;
    }
    if (wave.channels > 1) {
        log_write("TTablesSint::read_format : It's a stereo signal.\n04-007");
        return false;
    }
    // A-law and mu-law exist only as 8-bit codes.
    const bool companded = wave.format_tag != kFormatPcm;
    if ((wave.bits_per_sample != 8 && wave.bits_per_sample != 16) ||
        (companded && wave.bits_per_sample != 8)) {
        log_write("TTablesSint::read_format : Invalid number of bits per sample\n05-008");
        return false;
    }
    // A zero alignment would make the padding rule divide by zero.
    if (wave.block_align <= 0) wave.block_align = 1;
    file.skip(size % wave.block_align);
    return true;
}

// Finds the data chunk and checks that it lies within the file.
bool find_data(ChunkFile& file, SourceWave& wave, std::uint32_t& size) {
    if (!file.find_chunk("data", wave.block_align, false, size)) return false;
    if (static_cast<std::int64_t>(size) > file.remaining()) {
        log_write("TTablesSint::read_data : WAV file is corrupted\n07-010");
        return false;
    }
    wave.data_offset = file.pos();
    wave.sample_count = size / (wave.bits_per_sample / 8);
    return true;
}

bool read_samples(ChunkFile& file, SourceWave& wave, std::uint32_t size) {
    std::unique_ptr<unsigned char[]> raw(new (std::nothrow) unsigned char[kReadBlockBytes]);
    if (!raw) {
        log_write("TTablesSint::read_data : Memory allocation error\nCode:06-009");
        return false;
    }
    try {
        wave.samples.assign(static_cast<std::size_t>(wave.sample_count), 0);
    } catch (const std::bad_alloc&) {
        log_write("TTablesSint::read_data : Memory allocation error\nCode:06-010");
        return false;
    }
    const std::size_t bytes_per_sample = static_cast<std::size_t>(wave.bits_per_sample / 8);
    const std::size_t total = static_cast<std::size_t>(wave.sample_count) * bytes_per_sample;
    std::size_t done = 0;
    while (done < total) {
        const std::size_t block = std::min(kReadBlockBytes, total - done);
        if (!file.read(raw.get(), block)) {
            log_write("TTablesSint::read_data : WAV file is corrupted\n07-010");
            return false;
        }
        widen_samples(raw.get(), block / bytes_per_sample, wave.format_tag, wave.bits_per_sample,
                      wave.samples.data() + done / bytes_per_sample);
        done += block;
    }
    file.skip(size - total);  // an odd byte left over by a 16-bit chunk
    return true;
}

void set_default_tracks(SourceWave& wave) {
    const auto last = static_cast<std::int32_t>(wave.sample_count > 0 ? wave.sample_count - 1 : 0);
    for (int t = 0; t < kMarkerTracks; ++t) {
        wave.tracks[t] = {WaveMarker{0, {}}, WaveMarker{last, {}}};
        wave.marker_counts[t] = 2;
    }
}

constexpr const char* kMarkerChunkIds[kMarkerTracks] = {"mrk1", "mrk2", "mrk3", "mrk4"};

// Reads (or, when !full, only counts) the marker chunks after the data chunk.
bool read_markers(ChunkFile& file, SourceWave& wave, bool full) {
    for (int i = 0; i < kMarkerTracks; ++i) {
        const int track = kMarkerTracks - 1 - i;
        std::uint32_t size;
        // A missing chunk leaves the file at its end, which hides the later ones.
        if (!file.find_chunk(kMarkerChunkIds[i], wave.block_align, true, size)) break;
        if (size > kMaxMarkerChunkBytes) {
            log_write("TTableSint::read_mark : Too many markers\n08-012");
            return false;
        }
        const std::int64_t count = size / kMarkerBytes;
        if (size % kMarkerBytes != 0 || static_cast<std::int64_t>(size) > file.remaining()) {
            // The header pass leaves the report to the full read.
            if (full) log_write("TTableSint::read_mark : Marker data is corrupted\n08-011");
            if (!file.skip(static_cast<std::int64_t>(size) + size % wave.block_align)) break;
            continue;
        }
        if (!full) {
            wave.marker_counts[track] = count;
            file.skip(size);
            continue;
        }
        std::vector<unsigned char> raw(size);
        if (!file.read(raw.data(), size)) {
            log_write("TTableSint::read_mark : Marker data is corrupted\n08-011");
            break;
        }
        std::vector<WaveMarker> markers(static_cast<std::size_t>(count));
        for (std::int64_t m = 0; m < count; ++m) {
            const unsigned char* p = raw.data() + m * kMarkerBytes;
            markers[m].position = static_cast<std::int32_t>(le32(p));
            const char* label = reinterpret_cast<const char*>(p + 4);
            markers[m].label.assign(label, strnlen(label, kMarkerLabelBytes - 1));
        }
        wave.tracks[track] = std::move(markers);
        wave.marker_counts[track] = count;
    }
    return true;
}

bool read_wave(const std::string& path, bool full, bool keep_samples, SourceWave& wave) {
    wave = SourceWave{};
    // Commented-out list entries name no file.
    if (!path.empty() && path[0] == '#') return false;
    ChunkFile file;
    if (!open_riff(file, path) || !read_format(file, wave)) return false;
    std::uint32_t size;
    if (!find_data(file, wave, size)) return false;
    if (full && keep_samples) {
        if (!read_samples(file, wave, size)) return false;
    } else {
        file.skip(size);
    }
    file.skip(size % wave.block_align);
    try {
        set_default_tracks(wave);
    } catch (const std::bad_alloc&) {
        log_write("TTablesSint::read_data : Memory allocation error\nCode:06-011");
        return false;
    }
    return read_markers(file, wave, full);
}

}  // namespace

void widen_samples(const unsigned char* bytes, std::size_t count, int format_tag,
                   int bits_per_sample, std::int16_t* out) {
    if (bits_per_sample == 16) {
        for (std::size_t i = 0; i < count; ++i)
            out[i] = static_cast<std::int16_t>(le16(bytes + 2 * i));
    } else if (format_tag == kFormatAlaw) {
        for (std::size_t i = 0; i < count; ++i) out[i] = alaw_to_linear(bytes[i]);
    } else if (format_tag == kFormatMulaw) {
        for (std::size_t i = 0; i < count; ++i) out[i] = ulaw_to_linear(bytes[i]);
    } else {
        // 8-bit PCM is stored unsigned; its offset of 128 is removed before widening.
        for (std::size_t i = 0; i < count; ++i)
            out[i] = static_cast<std::int16_t>((bytes[i] - 128) * 128);
    }
}

bool read_source_wave(const std::string& path, bool keep_samples, SourceWave& wave) {
    return read_wave(path, true, keep_samples, wave);
}

bool read_source_header(const std::string& path, SourceWave& wave) {
    return read_wave(path, false, false, wave);
}

}  // namespace sint

// The packed file of the wave database: a header of fifteen 32-bit words (seven
// section sizes, seven section offsets, the value 1), then the sections A, D, T,
// Data, WinIndex, Windows and Samples. Integers are little-endian; the Data and
// Samples payloads are stored scrambled.
#include <bit>
#include <cstring>
#include <filesystem>
#include <new>

#include "core/log.h"
#include "core/phone_symbols.h"
#include "core/scramble.h"
#include "core/status.h"
#include "waveform/table_sint.h"

namespace sint {

namespace {

constexpr int kSections = 7;
constexpr std::size_t kHeaderWords = 2 * kSections + 1;
constexpr std::size_t kHeaderBytes = 4 * kHeaderWords;
constexpr std::size_t kAlophoneEntryBytes = 29;
constexpr std::size_t kDiphoneEntryBytes = 14;
constexpr std::size_t kTriphoneEntryBytes = 15;
// Bytes stored after the N symbols of Data: its 0 byte and 14 of padding.
constexpr std::int32_t kDataPadding = 15;
// Samples are written and read in blocks of this many.
constexpr std::int64_t kSampleBlock = 1 << 20;

void put32(std::vector<char>& out, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(u >> (8 * i)));
}

template <typename Entry>
void put_list(std::vector<char>& out, const Entry& e) {
    put32(out, e.count);
    put32(out, e.fill);
    put32(out, 0);  // the list reference has meaning only in memory
}

// Reads little-endian fields from a byte buffer; a read past its end fails.
class Cursor {
public:
    Cursor(const char* data, std::size_t size) : p_(data), end_(data + size) {}
    bool i32(std::int32_t& v) {
        if (end_ - p_ < 4) return false;
        const auto* b = reinterpret_cast<const unsigned char*>(p_);
        v = static_cast<std::int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) |
                                      (static_cast<std::uint32_t>(b[3]) << 24));
        p_ += 4;
        return true;
    }
    bool u8(std::uint8_t& v) {
        if (p_ == end_) return false;
        v = static_cast<std::uint8_t>(*p_++);
        return true;
    }
    bool list(std::vector<std::int32_t>& out, std::int32_t count, std::int32_t limit) {
        if (count < 0 || static_cast<std::size_t>(end_ - p_) / 4 < static_cast<std::size_t>(count))
            return false;
        out.resize(static_cast<std::size_t>(count));
        for (auto& v : out)
            if (!i32(v) || v < 0 || v >= limit) return false;
        return true;
    }
    bool at_end() const { return p_ == end_; }

private:
    const char* p_;
    const char* end_;
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool read_at(std::FILE* f, std::int64_t offset, void* buffer, std::size_t size) {
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0 &&
           std::fread(buffer, 1, size, f) == size;
}

}  // namespace

bool TTableSint::save_tables() {
    if (n_ == 0) return false;
    std::error_code ignored;
    std::filesystem::create_directories(options_.work_dir + "data", ignored);
    const std::string path = packed_path();
    File out(std::fopen(path.c_str(), "wb"));
    if (!out) return false;

    std::int32_t sizes[kSections] = {};
    std::int64_t offset = kHeaderBytes;
    std::vector<char> header(kHeaderBytes, 0);
    bool ok = std::fwrite(header.data(), 1, header.size(), out.get()) == header.size();
    std::vector<char> section;
    auto flush = [&](int index) {
        sizes[index] = static_cast<std::int32_t>(section.size());
        ok = ok && std::fwrite(section.data(), 1, section.size(), out.get()) == section.size();
        offset += static_cast<std::int64_t>(section.size());
        section.clear();
    };

    put32(section, static_cast<std::int32_t>(alophones_.size()));
    for (const AlophoneEntry& e : alophones_) {
        section.push_back(static_cast<char>(e.symbol));
        put_list(section, e);
        for (std::int32_t v : {e.avg_duration, e.avg_start, e.avg_middle, e.avg_end})
            put32(section, v);
        for (std::int32_t v : e.list) put32(section, v);
    }
    flush(0);
    put32(section, static_cast<std::int32_t>(diphones_.size()));
    for (const DiphoneEntry& e : diphones_) {
        section.insert(section.end(), e.symbols, e.symbols + 2);
        put_list(section, e);
        for (std::int32_t v : e.list) put32(section, v);
    }
    flush(1);
    put32(section, static_cast<std::int32_t>(triphones_.size()));
    for (const TriphoneEntry& e : triphones_) {
        section.insert(section.end(), e.symbols, e.symbols + 3);
        put_list(section, e);
        for (std::int32_t v : e.list) put32(section, v);
    }
    flush(2);
    put32(section, n_ + kDataPadding);
    section.insert(section.end(), data_.begin(), data_.begin() + n_ + kDataPadding);
    scramble_bytes(section.data() + 4, section.size() - 4, static_cast<std::size_t>(offset + 4));
    flush(3);
    put32(section, n_);
    for (std::int32_t v : win_index_) put32(section, v);
    flush(4);
    put32(section, static_cast<std::int32_t>(windows_.size()));
    for (std::int32_t v : windows_) put32(section, v);
    flush(5);

    // Samples, block by block, from memory or from the source files.
    put32(section, static_cast<std::int32_t>(sample_total_));
    const std::int64_t samples_start = offset;
    ok = ok && std::fwrite(section.data(), 1, 4, out.get()) == 4;
    section.clear();
    std::int64_t count = 0;
    for (std::int64_t first = 0; ok && first < sample_total_; first += count) {
        count = std::min(kSampleBlock, sample_total_ - first);
        const std::int16_t* block;
        if (!samples_.empty()) {
            block = samples_.data() + first;
        } else {
            // A block may span two source files: cut it at the file end.
            for (const SourceEntry& s : sources_)
                if (s.cumulative > first) {
                    count = std::min(count, s.cumulative - first);
                    break;
                }
            if (read_samples(first, count) != 0) return false;
            block = disk_buffer_.data();
        }
        section.resize(static_cast<std::size_t>(2 * count));
        for (std::int64_t i = 0; i < count; ++i) {
            const auto u = static_cast<std::uint16_t>(block[i]);
            section[2 * i] = static_cast<char>(u);
            section[2 * i + 1] = static_cast<char>(u >> 8);
        }
        scramble_bytes(section.data(), section.size(),
                       static_cast<std::size_t>(samples_start + 4 + 2 * first));
        ok = std::fwrite(section.data(), 1, section.size(), out.get()) == section.size();
    }
    sizes[6] = static_cast<std::int32_t>(4 + 2 * sample_total_);

    header.clear();
    for (std::int32_t s : sizes) put32(header, s);
    std::int32_t at = static_cast<std::int32_t>(kHeaderBytes);
    for (std::int32_t s : sizes) {
        put32(header, at);
        at += s;
    }
    put32(header, 1);
    ok = ok && std::fseek(out.get(), 0, SEEK_SET) == 0 &&
         std::fwrite(header.data(), 1, header.size(), out.get()) == header.size();
    ok = std::fclose(out.release()) == 0 && ok;
    return ok && verify_packed_file();
}

int TTableSint::load() {
    release();
    build_symbol_tables();
    if (!load_from(packed_path(), options_.samples_in_memory)) {
        release();
        return kNotPossible;
    }
    if (!read_cost_table()) {
        release();
        return kNotPossible;
    }
    return 0;
}

bool TTableSint::load_from(const std::string& path, bool with_samples) {
    File in(std::fopen(path.c_str(), "rb"));
    if (!in) return false;
    char header[kHeaderBytes];
    if (std::fseek(in.get(), 0, SEEK_END) != 0) return false;
    const std::int64_t length = ftello(in.get());
    std::int32_t sizes[kSections], offsets[kSections], version = 0;
    Cursor head(header, sizeof header);
    bool ok = length >= static_cast<std::int64_t>(kHeaderBytes) &&
              read_at(in.get(), 0, header, sizeof header);
    for (int i = 0; ok && i < kSections; ++i) ok = head.i32(sizes[i]) && sizes[i] >= 4;
    for (int i = 0; ok && i < kSections; ++i) ok = head.i32(offsets[i]);
    ok = ok && head.i32(version) && version == 1;
    std::int64_t expected = kHeaderBytes;
    for (int i = 0; ok && i < kSections; ++i) {
        ok = offsets[i] == expected;
        expected += sizes[i];
    }
    if (!ok || expected != length) {
        log_write("TTableSint::Load : The file " + path +
                  " is damaged: its length does not match its header.");
        return false;
    }

    std::vector<char> buffer;
    auto section = [&](int i) {
        buffer.resize(static_cast<std::size_t>(sizes[i]));
        return read_at(in.get(), offsets[i], buffer.data(), buffer.size());
    };
    std::int32_t count = 0;
    // Data first: the occurrence lists are checked against its length.
    if (!section(3)) return false;
    {
        Cursor c(buffer.data(), buffer.size());
        if (!c.i32(count) || count < kDataPadding ||
            static_cast<std::size_t>(count) != buffer.size() - 4)
            return false;
        n_ = count - kDataPadding;
        data_.assign(buffer.begin() + 4, buffer.end());
        scramble_bytes(reinterpret_cast<char*>(data_.data()), data_.size(),
                       static_cast<std::size_t>(offsets[3] + 4));
        file_ends_ = {n_};
    }
    if (!section(0)) return false;
    {
        Cursor c(buffer.data(), buffer.size());
        if (!c.i32(count) || count < 0 || count > 256 ||
            static_cast<std::size_t>(count) > buffer.size() / kAlophoneEntryBytes)
            return false;
        alophones_.resize(static_cast<std::size_t>(count));
        std::int32_t ref;
        for (AlophoneEntry& e : alophones_) {
            if (!c.u8(e.symbol) || !c.i32(e.count) || !c.i32(e.fill) || !c.i32(ref) ||
                !c.i32(e.avg_duration) || !c.i32(e.avg_start) || !c.i32(e.avg_middle) ||
                !c.i32(e.avg_end) || !c.list(e.list, e.count, n_))
                return false;
        }
        if (!c.at_end()) return false;
    }
    if (!section(1)) return false;
    {
        Cursor c(buffer.data(), buffer.size());
        if (!c.i32(count) || count < 0 || count > 65536 ||
            static_cast<std::size_t>(count) > buffer.size() / kDiphoneEntryBytes)
            return false;
        diphones_.resize(static_cast<std::size_t>(count));
        std::int32_t ref;
        for (DiphoneEntry& e : diphones_) {
            if (!c.u8(e.symbols[0]) || !c.u8(e.symbols[1]) || !c.i32(e.count) || !c.i32(e.fill) ||
                !c.i32(ref) || !c.list(e.list, e.count, n_ - 1))
                return false;
        }
        if (!c.at_end()) return false;
    }
    if (!section(2)) return false;
    {
        Cursor c(buffer.data(), buffer.size());
        if (!c.i32(count) || count < 0 ||
            static_cast<std::size_t>(count) > buffer.size() / kTriphoneEntryBytes)
            return false;
        triphones_.resize(static_cast<std::size_t>(count));
        std::int32_t ref;
        for (TriphoneEntry& e : triphones_) {
            if (!c.u8(e.symbols[0]) || !c.u8(e.symbols[1]) || !c.u8(e.symbols[2]) ||
                !c.i32(e.count) || !c.i32(e.fill) || !c.i32(ref) ||
                !c.list(e.list, e.count, n_ - 2))
                return false;
        }
        if (!c.at_end()) return false;
    }
    for (int i : {4, 5}) {
        if (!section(i)) return false;
        Cursor c(buffer.data(), buffer.size());
        auto& table = i == 4 ? win_index_ : windows_;
        if (!c.i32(count) || count < 0 ||
            static_cast<std::size_t>(count) != buffer.size() / 4 - 1 || buffer.size() % 4 != 0)
            return false;
        table.resize(static_cast<std::size_t>(count));
        for (auto& v : table) c.i32(v);
    }
    if (static_cast<std::int32_t>(win_index_.size()) != n_) return false;

    // Samples: the count word, then the scrambled 16-bit values.
    std::int32_t samples = 0;
    char word[4];
    if (!read_at(in.get(), offsets[6], word, 4)) return false;
    Cursor c(word, 4);
    c.i32(samples);
    if (samples < 0 || static_cast<std::int64_t>(samples) * 2 + 4 != sizes[6]) return false;
    sample_total_ = samples;
    if (with_samples) {
        try {
            samples_.resize(static_cast<std::size_t>(samples));
        } catch (const std::bad_alloc&) {
            return false;
        }
        if (!read_at(in.get(), offsets[6] + 4, samples_.data(), 2 * samples_.size())) return false;
        scramble_bytes(reinterpret_cast<char*>(samples_.data()), 2 * samples_.size(),
                       static_cast<std::size_t>(offsets[6] + 4));
        if constexpr (std::endian::native == std::endian::big)
            for (auto& s : samples_)
                s = static_cast<std::int16_t>((static_cast<std::uint16_t>(s) >> 8) |
                                              (static_cast<std::uint16_t>(s) << 8));
    }
    SourceEntry source;
    source.path = path;
    source.cumulative = sample_total_;
    source.data_offset = offsets[6] + 4;
    source.format = 1;
    source.bits = 16;
    source.scrambled = true;
    sources_ = {source};
    rebuild_lookups();
    return true;
}

bool TTableSint::verify_packed_file() const {
    TTableSint copy(options_);
    if (!copy.load_from(packed_path(), true)) return false;
    return same_tables(copy);
}

bool TTableSint::same_tables(const TTableSint& other) const {
    if (n_ != other.n_ || data_ != other.data_ || win_index_ != other.win_index_ ||
        windows_ != other.windows_ || sample_total_ != other.sample_total_)
        return false;
    if (alophones_.size() != other.alophones_.size() ||
        diphones_.size() != other.diphones_.size() || triphones_.size() != other.triphones_.size())
        return false;
    for (std::size_t i = 0; i < alophones_.size(); ++i) {
        const auto &a = alophones_[i], &b = other.alophones_[i];
        if (a.symbol != b.symbol || a.count != b.count || a.list != b.list ||
            a.avg_duration != b.avg_duration || a.avg_start != b.avg_start ||
            a.avg_middle != b.avg_middle || a.avg_end != b.avg_end)
            return false;
    }
    for (std::size_t i = 0; i < diphones_.size(); ++i)
        if (diphones_[i].list != other.diphones_[i].list ||
            std::memcmp(diphones_[i].symbols, other.diphones_[i].symbols, 2) != 0)
            return false;
    for (std::size_t i = 0; i < triphones_.size(); ++i)
        if (triphones_[i].list != other.triphones_[i].list ||
            std::memcmp(triphones_[i].symbols, other.triphones_[i].symbols, 3) != 0)
            return false;
    // In disk mode the samples are not held; the disk copy is compared by the
    // read test instead.
    return samples_.empty() || samples_ == other.samples_;
}

}  // namespace sint

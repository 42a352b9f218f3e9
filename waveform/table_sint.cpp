#include "waveform/table_sint.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <fstream>
#include <limits>

#include "core/log.h"
#include "core/phone_symbols.h"
#include "core/scramble.h"
#include "core/status.h"
#include "waveform/wave_reader.h"

namespace sint {

namespace {

// List-file lines are cut to this many characters.
constexpr std::size_t kMaxListLine = 2500;
// Samples are addressed by signed 32-bit pitch-mark positions; a file that
// would push the total past this is left out.
constexpr std::int64_t kMaxTotalSamples = std::numeric_limits<std::int32_t>::max();

std::uint32_t key2(std::uint8_t a, std::uint8_t b) {
    return (a << 8) | b;
}
std::uint32_t key3(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    return (a << 16) | (b << 8) | c;
}

// The one-byte symbol of an alophone label; `illegal` is set for a label that
// is neither a phone symbol nor a "#" or "$" mark.
std::uint8_t label_symbol(const std::string& label, std::int64_t index, bool& illegal) {
    if (label.empty()) return '#';
    if (label[0] == '#' || label[0] == '$') return static_cast<std::uint8_t>(label[0]);
    if (is_sampa_string(label)) {
        const char* symbol = sampa_to_byte(label);
        if (symbol[0] != '\0') return static_cast<std::uint8_t>(symbol[0]);
    }
    char message[160];
    std::snprintf(message, sizeof message,
                  "TTableSint::ConvertSampa : The %ld th symbol %s was found in the wave file. "
                  "It is not SAMPA symbol.",
                  static_cast<long>(index), label.c_str());
    log_write(message);
    illegal = true;
    return static_cast<std::uint8_t>(label[0]);
}

std::int32_t pitch_of(std::int64_t period) {
    if (period == 0) period = 1;
    return static_cast<std::int32_t>(kSampleRate / period);
}

}  // namespace

TTableSint::TTableSint(WaveDatabaseOptions options)
    : options_(std::move(options)), tables_(std::make_shared<WaveTables>()) {
    if (!options_.work_dir.empty() && options_.work_dir.back() != '/') options_.work_dir += '/';
    symbol_map_.fill(-1);
    costs_.fill(kDefaultJoinCost);
}

TTableSint::TTableSint(Share, const TTableSint& source)
    : options_(source.options_), tables_(source.tables_), maps_(source.maps_) {}

TTableSint::~TTableSint() = default;

void TTableSint::release() {
    n_ = 0;
    data_.clear();
    win_index_.clear();
    windows_.clear();
    samples_.clear();
    samples_.shrink_to_fit();
    sample_total_ = 0;
    file_ends_.clear();
    sources_.clear();
    alophones_.clear();
    diphones_.clear();
    triphones_.clear();
    diphone_keys_.clear();
    triphone_keys_.clear();
    symbol_map_.fill(-1);
    costs_.fill(kDefaultJoinCost);
    cost_entries_ = 0;
    disk_buffer_.clear();
    maps_.reset();
}

int TTableSint::build(const std::string& list_file, int alophone_track, int pitch_track) {
    release();
    build_symbol_tables();
    if (alophone_track < 0 || alophone_track >= kMarkerTracks || pitch_track < 0 ||
        pitch_track >= kMarkerTracks)
        return kNotPossible;
    std::ifstream list(list_file);
    if (!list) return kNotPossible;

    // First pass: the headers and marker counts of the usable files.
    std::vector<std::string> files;
    std::int64_t alophones = 0, marks = 0;
    std::string line;
    while (std::getline(list, line)) {
        if (line.size() > kMaxListLine) line.resize(kMaxListLine);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        SourceWave header;
        if (!read_source_header(line, header)) continue;
        files.push_back(line);
        alophones += header.marker_counts[alophone_track];
        marks += header.marker_counts[pitch_track];
    }
    if (alophones == 0) return kNotPossible;
    data_.reserve(static_cast<std::size_t>(alophones) + 500);
    win_index_.reserve(static_cast<std::size_t>(alophones));
    windows_.reserve(static_cast<std::size_t>(marks));

    // Second pass: labels, pitch marks and samples of every file that reads in full.
    for (const std::string& path : files) {
        SourceWave wave;
        if (!read_source_wave(path, options_.samples_in_memory, wave)) continue;
        if (sample_total_ + wave.sample_count > kMaxTotalSamples) continue;
        const auto& labels = wave.tracks[alophone_track];
        const auto& pitch = wave.tracks[pitch_track];
        const auto marks_before = static_cast<std::int32_t>(windows_.size());
        // Running maximum of the pitch-mark positions: the first mark at or after a
        // position is found by binary search even when the marks are out of order.
        std::vector<std::int32_t> running_max(pitch.size());
        std::int32_t top = INT32_MIN;
        for (std::size_t i = 0; i < pitch.size(); ++i) {
            top = std::max(top, pitch[i].position);
            running_max[i] = top;
            windows_.push_back(static_cast<std::int32_t>(pitch[i].position + sample_total_));
        }
        bool illegal = false;
        for (std::size_t i = 0; i < labels.size(); ++i) {
            data_.push_back(label_symbol(labels[i].label, static_cast<std::int64_t>(i), illegal));
            const auto at =
                std::lower_bound(running_max.begin(), running_max.end(), labels[i].position);
            const auto local =
                at == running_max.end() ? 0 : static_cast<std::int32_t>(at - running_max.begin());
            win_index_.push_back(marks_before + local);
        }
        if (illegal)
            log_write("TTableSint::ReadWaves : Illegal SAMPA symbol found in file " + path + ".");
        if (options_.samples_in_memory)
            samples_.insert(samples_.end(), wave.samples.begin(), wave.samples.end());
        SourceEntry entry;
        entry.path = path;
        entry.data_offset = wave.data_offset;
        entry.format = wave.format_tag;
        entry.bits = wave.bits_per_sample;
        sample_total_ += wave.sample_count;
        entry.cumulative = sample_total_;
        sources_.push_back(std::move(entry));
        file_ends_.push_back(static_cast<std::int32_t>(data_.size()));
    }
    n_ = static_cast<std::int32_t>(data_.size());
    if (n_ == 0) {
        release();
        return kNotPossible;
    }
    data_.resize(static_cast<std::size_t>(n_) + 15, 0);  // the 0 byte and padding
    build_indexes();
    compute_averages();
    write_averages();
    if (!read_cost_table()) {
        release();
        return kNotPossible;
    }
    map_sources();
    return 0;
}

void TTableSint::build_indexes() {
    std::array<std::int32_t, 256> counts{};
    for (std::int32_t j = 0; j < n_; ++j) ++counts[data_[j]];
    alophones_.clear();
    for (int s = 0; s < 256; ++s) {
        if (counts[s] == 0) continue;
        AlophoneEntry entry;
        entry.symbol = static_cast<std::uint8_t>(s);
        entry.count = counts[s];
        entry.list.reserve(counts[s]);
        alophones_.push_back(std::move(entry));
    }
    rebuild_lookups();
    for (std::int32_t j = 0; j < n_; ++j) alophones_[symbol_map_[data_[j]]].list.push_back(j);

    std::vector<std::uint32_t> keys;
    for (std::int32_t j = 0; j + 1 < n_; ++j) keys.push_back(key2(data_[j], data_[j + 1]));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    diphones_.assign(keys.size(), DiphoneEntry{});
    for (std::size_t i = 0; i < keys.size(); ++i) {
        diphones_[i].symbols[0] = static_cast<std::uint8_t>(keys[i] >> 8);
        diphones_[i].symbols[1] = static_cast<std::uint8_t>(keys[i]);
    }
    diphone_keys_ = keys;
    for (std::int32_t j = 0; j + 1 < n_; ++j) {
        const auto at = std::lower_bound(diphone_keys_.begin(), diphone_keys_.end(),
                                         key2(data_[j], data_[j + 1]));
        diphones_[at - diphone_keys_.begin()].list.push_back(j);
    }

    keys.clear();
    for (std::int32_t j = 0; j + 2 < n_; ++j)
        keys.push_back(key3(data_[j], data_[j + 1], data_[j + 2]));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    triphones_.assign(keys.size(), TriphoneEntry{});
    for (std::size_t i = 0; i < keys.size(); ++i) {
        triphones_[i].symbols[0] = static_cast<std::uint8_t>(keys[i] >> 16);
        triphones_[i].symbols[1] = static_cast<std::uint8_t>(keys[i] >> 8);
        triphones_[i].symbols[2] = static_cast<std::uint8_t>(keys[i]);
    }
    triphone_keys_ = keys;
    for (std::int32_t j = 0; j + 2 < n_; ++j) {
        const auto at = std::lower_bound(triphone_keys_.begin(), triphone_keys_.end(),
                                         key3(data_[j], data_[j + 1], data_[j + 2]));
        triphones_[at - triphone_keys_.begin()].list.push_back(j);
    }
    for (auto& e : diphones_) e.count = e.fill = static_cast<std::int32_t>(e.list.size());
    for (auto& e : triphones_) e.count = e.fill = static_cast<std::int32_t>(e.list.size());
    for (auto& e : alophones_) e.fill = static_cast<std::int32_t>(e.list.size());
}

void TTableSint::rebuild_lookups() {
    symbol_map_.fill(-1);
    for (std::size_t i = 0; i < alophones_.size(); ++i)
        symbol_map_[alophones_[i].symbol] = static_cast<int>(i);
    diphone_keys_.resize(diphones_.size());
    for (std::size_t i = 0; i < diphones_.size(); ++i)
        diphone_keys_[i] = key2(diphones_[i].symbols[0], diphones_[i].symbols[1]);
    triphone_keys_.resize(triphones_.size());
    for (std::size_t i = 0; i < triphones_.size(); ++i)
        triphone_keys_[i] =
            key3(triphones_[i].symbols[0], triphones_[i].symbols[1], triphones_[i].symbols[2]);
}

void TTableSint::compute_averages() {
    struct Sums {
        std::int64_t duration = 0, start = 0, middle = 0, end = 0;
    };
    std::vector<Sums> sums(alophones_.size());
    const auto m = static_cast<std::int64_t>(windows_.size());
    auto mark = [&](std::int64_t i) { return static_cast<std::int64_t>(windows_[i]); };
    for (std::int32_t j = 0; j + 1 < n_; ++j) {
        const std::int64_t w0 = win_index_[j], w1 = win_index_[j + 1];
        // Marks outside the table contribute nothing (damaged labels).
        if (w0 < 0 || w1 < 0 || w0 >= m || w1 >= m) continue;
        Sums& s = sums[symbol_map_[data_[j]]];
        s.duration += (mark(w1) - mark(w0)) / kSamplesPerMs;
        if (w0 + 1 < m) s.start += pitch_of(mark(w0 + 1) - mark(w0));
        if (w1 >= 1) s.end += pitch_of(mark(w1) - mark(w1 - 1));
        const std::int64_t h = (w1 - w0) / 2;
        if (w0 + h >= 0 && w0 + h + 1 < m) s.middle += pitch_of(mark(w0 + h + 1) - mark(w0 + h));
    }
    for (std::size_t i = 0; i < alophones_.size(); ++i) {
        const std::int64_t count = std::max(alophones_[i].count, 1);
        alophones_[i].avg_duration = static_cast<std::int32_t>(sums[i].duration / count);
        alophones_[i].avg_start = static_cast<std::int32_t>(sums[i].start / count);
        alophones_[i].avg_middle = static_cast<std::int32_t>(sums[i].middle / count);
        alophones_[i].avg_end = static_cast<std::int32_t>(sums[i].end / count);
    }
}

void TTableSint::write_averages() const {
    std::FILE* out = std::fopen((options_.work_dir + "Average.dat").c_str(), "w");
    if (!out) return;
    std::fprintf(out, "%d\n", static_cast<int>(alophones_.size()));
    for (const AlophoneEntry& e : alophones_) {
        if (e.symbol == '#') continue;
        const char* name = byte_to_sampa(static_cast<char>(e.symbol));
        std::fprintf(out, "%s\t%d\t%d\t%d\t%d\n", name[0] ? name : "#", e.avg_duration, e.avg_start,
                     e.avg_middle, e.avg_end);
    }
    std::fclose(out);
}

bool TTableSint::read_cost_table() {
    costs_.fill(kDefaultJoinCost);
    cost_entries_ = 0;
    std::ifstream in(options_.work_dir + "Cost.dat");
    long declared = 0;
    if (!in || !(in >> declared) || declared <= 0) return false;
    std::string symbol;
    long cost;
    int read = 0;
    while (read < declared && in >> symbol >> cost) {
        std::uint8_t byte = static_cast<std::uint8_t>(symbol[0]);
        if (is_sampa_string(symbol)) {
            const char* converted = sampa_to_byte(symbol);
            if (converted[0] != '\0') byte = static_cast<std::uint8_t>(converted[0]);
        }
        costs_[byte] = static_cast<int>(cost);
        ++read;
    }
    cost_entries_ = read;
    return true;
}

const AlophoneEntry* TTableSint::find_alophone(std::uint8_t s) const {
    return symbol_map_[s] < 0 ? nullptr : &alophones_[symbol_map_[s]];
}

const DiphoneEntry* TTableSint::find_diphone(std::uint8_t a, std::uint8_t b) const {
    const auto at = std::lower_bound(diphone_keys_.begin(), diphone_keys_.end(), key2(a, b));
    if (at == diphone_keys_.end() || *at != key2(a, b)) return nullptr;
    return &diphones_[at - diphone_keys_.begin()];
}

const TriphoneEntry* TTableSint::find_triphone(std::uint8_t a, std::uint8_t b,
                                               std::uint8_t c) const {
    const std::uint32_t key = key3(a, b, c);
    const auto at = std::lower_bound(triphone_keys_.begin(), triphone_keys_.end(), key);
    if (at == triphone_keys_.end() || *at != key) return nullptr;
    return &triphones_[at - triphone_keys_.begin()];
}

std::string TTableSint::packed_path() const {
    return options_.work_dir + "data/MorvenaIdra.dat";
}

void TTableSint::map_sources() {
    maps_.reset();
    if (options_.samples_in_memory && !options_.read_test) return;
    auto maps = std::make_shared<std::vector<MappedFile>>(sources_.size());
    // A file that cannot be mapped fails every read from it.
    for (std::size_t i = 0; i < sources_.size(); ++i) (*maps)[i].open(sources_[i].path);
    maps_ = std::move(maps);
}

int TTableSint::read_samples(std::int64_t first, std::int64_t count) {
    if (first < 0 || count < 0) return kNotPossible;
    disk_buffer_.resize(static_cast<std::size_t>(count));
    return copy_samples(first, count, disk_buffer_.data());
}

int TTableSint::copy_samples(std::int64_t first, std::int64_t count, std::int16_t* out) const {
    if (first < 0 || count < 0) return kNotPossible;
    // The first file that ends after `first` must hold the whole span.
    const auto at = std::upper_bound(
        sources_.begin(), sources_.end(), first,
        [](std::int64_t sample, const SourceEntry& e) { return sample < e.cumulative; });
    if (at == sources_.end() || first + count > at->cumulative) return kNotPossible;
    const auto index = static_cast<std::size_t>(at - sources_.begin());
    if (!maps_ || index >= maps_->size() || !(*maps_)[index].is_open()) return kNotPossible;
    const MappedFile& map = (*maps_)[index];
    const std::int64_t previous = index == 0 ? 0 : sources_[index - 1].cumulative;
    const SourceEntry& source = *at;
    const int bytes_per_sample = source.bits / 8;
    const std::int64_t offset = source.data_offset + bytes_per_sample * (first - previous);
    // A file shorter than its header said gives what it holds and fails.
    const auto size = static_cast<std::int64_t>(map.size());
    const std::int64_t available =
        offset >= size ? 0 : std::min(count, (size - offset) / bytes_per_sample);
    const unsigned char* bytes = map.data() + (offset < size ? offset : 0);
    if (source.scrambled && bytes_per_sample == 2)
        descramble_samples(bytes, static_cast<std::size_t>(available),
                           static_cast<std::size_t>(offset), out);
    else
        widen_samples(bytes, static_cast<std::size_t>(available), source.format, source.bits, out);
    return available == count ? 0 : kNotPossible;
}

}  // namespace sint

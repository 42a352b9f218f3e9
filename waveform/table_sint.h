// TTableSint: the recorded speech database from which PSOLA cuts its units.
//
// It holds every alophone of the recordings as a one-byte symbol (Data), the
// first pitch mark of each alophone (WinIndex), the pitch marks (Windows), the
// samples, and indexes of every alophone, diphone and triphone occurrence. It
// is built from labelled source recordings or loaded from the packed file
// "data/MorvenaIdra.dat" in the working folder; the join costs come from
// "Cost.dat" in the same folder.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "waveform/mapped_file.h"

namespace sint {

// Where the database keeps its samples and finds its files.
struct WaveDatabaseOptions {
    bool samples_in_memory = true;  // false: samples are read from the files per window
    bool read_test = false;         // compare samples read from disk with the memory copy
    std::string work_dir;           // folder of Cost.dat, Average.dat and data/; "" = current
};

// One file that samples are read from in disk mode.
struct SourceEntry {
    std::string path;
    std::int64_t cumulative = 0;   // samples up to the end of this file
    std::int64_t data_offset = 0;  // byte offset of the first sample
    int format = 1;                // 1 PCM, 6 A-law, 7 mu-law
    int bits = 16;
    bool scrambled = false;  // 16-bit samples stored scrambled (the packed file)
};

struct AlophoneEntry {
    std::uint8_t symbol = 0;
    std::int32_t count = 0;
    std::int32_t fill = 0;
    std::vector<std::int32_t> list;  // Data positions, ascending
    std::int32_t avg_duration = 0;   // ms
    std::int32_t avg_start = 0;      // Hz
    std::int32_t avg_middle = 0;
    std::int32_t avg_end = 0;
};

struct DiphoneEntry {
    std::uint8_t symbols[2] = {};
    std::int32_t count = 0;
    std::int32_t fill = 0;
    std::vector<std::int32_t> list;
};

struct TriphoneEntry {
    std::uint8_t symbols[3] = {};
    std::int32_t count = 0;
    std::int32_t fill = 0;
    std::vector<std::int32_t> list;
};

// A stretch of the recordings chosen for the target string: `length` symbols
// from Data position `db_start`, matching the target from `target_pos`.
struct Segment {
    std::int32_t db_start = 0;
    std::int32_t length = 0;
    std::int32_t target_pos = 0;
};

// SaveWave could not open its file.
inline constexpr int kSaveWaveFailed = -202;
// A symbol without an entry in Cost.dat costs this much.
inline constexpr int kDefaultJoinCost = 5;
// Samples per millisecond and per second: every time in the database is in samples.
inline constexpr int kSamplesPerMs = 16;
inline constexpr int kSampleRate = 16000;

// The tables of a loaded database: read-only once built or loaded, so that
// several databases (one per synthesis worker) can read one copy of them.
struct WaveTables {
    std::int32_t n = 0;
    std::vector<std::uint8_t> data;
    std::vector<std::int32_t> win_index;
    std::vector<std::int32_t> windows;
    std::vector<std::int16_t> samples;
    std::int64_t sample_total = 0;
    std::vector<std::int32_t> file_ends;
    std::vector<SourceEntry> sources;
    std::vector<AlophoneEntry> alophones;
    std::vector<DiphoneEntry> diphones;
    std::vector<TriphoneEntry> triphones;
    std::vector<std::uint32_t> diphone_keys;   // sorted, parallel to diphones
    std::vector<std::uint32_t> triphone_keys;  // sorted, parallel to triphones
    std::array<int, 256> symbol_map{};         // symbol -> index in alophones, or -1
    std::array<int, 256> costs{};
    int cost_entries = 0;
};

class TTableSint {
public:
    explicit TTableSint(WaveDatabaseOptions options = {});
    // A database that reads the tables of `source` in place, with its own
    // disk-read buffers. The tables must not be rebuilt, loaded or released
    // through either while the other is in use.
    struct Share {};
    TTableSint(Share, const TTableSint& source);
    virtual ~TTableSint();
    TTableSint(const TTableSint&) = delete;
    TTableSint& operator=(const TTableSint&) = delete;

    // Builds the database from the wave files named in `list_file`, reading
    // alophone labels from `alophone_track` and pitch marks from `pitch_track`
    // (0 to 3). Writes Average.dat. 0, or -1 when no alophone was found or
    // Cost.dat cannot be used.
    int build(const std::string& list_file, int alophone_track, int pitch_track);
    // Loads the packed file. 0, or -1 when it is missing, malformed, of the
    // wrong length, or Cost.dat cannot be used.
    int load();
    // Writes the packed file, then reads it back and compares it with the
    // tables in memory. True when both succeed.
    bool save_tables();
    // Reads the packed file and compares it with the tables in memory.
    bool verify_packed_file() const;
    // Frees all tables, lists, samples and the source list.
    void release();

    // Makes `count` samples from `first` on readable through disk_samples().
    // 0, or -1 when the span is not inside one source file or a read fails.
    int read_samples(std::int64_t first, std::int64_t count);
    // The same into `out` (room for `count` samples): reads the mapped source
    // files and changes nothing, so several threads may call it at once.
    int copy_samples(std::int64_t first, std::int64_t count, std::int16_t* out) const;
    const std::int16_t* disk_samples() const { return disk_buffer_.data(); }

    // Unit selection: the longest continuous stretches of the recordings that
    // cover `target` (one-byte symbols); consecutive segments share one phone.
    std::vector<Segment> make_sentence(const std::vector<std::uint8_t>& target) const;

    // Writes a sentence (16 kHz, 16-bit) to a wave file with the volume
    // applied (80 leaves it unchanged), optionally down to 8000 Hz and coded in
    // 8 bits (coding 1 A-law, 2 mu-law, 3 linear). Overwrites `samples` with the
    // scaled values. 0, or -202 when the file cannot be opened.
    static int SaveWave(std::int16_t* samples, std::int32_t count, int bytes_per_sample,
                        std::int32_t sample_rate, int format_tag, int channels, int coding,
                        const std::string& path, std::int32_t volume);

    // Read access for PSOLA, tools and tests.
    std::int32_t alophone_count() const { return n_; }
    const std::vector<std::uint8_t>& data() const { return data_; }  // N symbols, then zeros
    const std::vector<std::int32_t>& win_index() const { return win_index_; }
    const std::vector<std::int32_t>& windows() const { return windows_; }
    const std::vector<std::int16_t>& samples() const { return samples_; }
    std::int64_t sample_total() const { return sample_total_; }
    const std::vector<AlophoneEntry>& alophones() const { return alophones_; }
    const std::vector<DiphoneEntry>& diphones() const { return diphones_; }
    const std::vector<TriphoneEntry>& triphones() const { return triphones_; }
    const std::vector<SourceEntry>& sources() const { return sources_; }
    const std::vector<std::int32_t>& file_ends() const { return file_ends_; }
    const WaveDatabaseOptions& options() const { return options_; }
    const AlophoneEntry* find_alophone(std::uint8_t s) const;
    const DiphoneEntry* find_diphone(std::uint8_t a, std::uint8_t b) const;
    const TriphoneEntry* find_triphone(std::uint8_t a, std::uint8_t b, std::uint8_t c) const;
    int join_cost(std::uint8_t symbol) const { return costs_[symbol]; }
    int cost_entries() const { return cost_entries_; }
    std::string packed_path() const;
    // The shared tables (for a database opened with Share).
    const std::shared_ptr<WaveTables>& tables() const { return tables_; }

protected:
    WaveDatabaseOptions options_;

private:
    bool read_cost_table();
    void build_indexes();
    void compute_averages();
    void write_averages() const;
    void rebuild_lookups();
    bool load_from(const std::string& path, bool with_samples);
    bool same_tables(const TTableSint& other) const;

    // The tables live in one shared record; the names below refer into it, so
    // that a database opened with share() reads the same tables in place.
    std::shared_ptr<WaveTables> tables_;
    std::int32_t& n_ = tables_->n;
    std::vector<std::uint8_t>& data_ = tables_->data;
    std::vector<std::int32_t>& win_index_ = tables_->win_index;
    std::vector<std::int32_t>& windows_ = tables_->windows;
    std::vector<std::int16_t>& samples_ = tables_->samples;
    std::int64_t& sample_total_ = tables_->sample_total;
    std::vector<std::int32_t>& file_ends_ = tables_->file_ends;
    std::vector<SourceEntry>& sources_ = tables_->sources;
    std::vector<AlophoneEntry>& alophones_ = tables_->alophones;
    std::vector<DiphoneEntry>& diphones_ = tables_->diphones;
    std::vector<TriphoneEntry>& triphones_ = tables_->triphones;
    std::vector<std::uint32_t>& diphone_keys_ = tables_->diphone_keys;
    std::vector<std::uint32_t>& triphone_keys_ = tables_->triphone_keys;
    std::array<int, 256>& symbol_map_ = tables_->symbol_map;
    std::array<int, 256>& costs_ = tables_->costs;
    int& cost_entries_ = tables_->cost_entries;

    // Disk mode (and the read test): every source file mapped read-only,
    // parallel to sources_, and the reusable buffer of read_samples.
    void map_sources();
    // Read-only once made, so a shared database (Share) reads the same
    // mappings: one mapping of each file per process, not one per worker.
    std::shared_ptr<const std::vector<MappedFile>> maps_;
    std::vector<std::int16_t> disk_buffer_;
};

}  // namespace sint

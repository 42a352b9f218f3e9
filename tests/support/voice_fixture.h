// A test voice: synthetic recordings in a temporary folder with their list
// file and Cost.dat, and the log switched on into the same folder.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/log.h"
#include "tests/support/temp_dir.h"
#include "tools/voicebuild/synthetic_voice.h"
#include "waveform/table_sint.h"

namespace sint::test {

class VoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        set_log_path(dir_.file("sint.log"));
        set_log_disabled(false);
        write_file(dir_.file("Cost.dat"), "2\n_\t1\nt\t9\n");
    }
    void TearDown() override { set_log_disabled(true); }

    std::string log() const { return TempDir::read(dir_.file("sint.log")); }
    int log_count(const std::string& text) const {
        const std::string all = log();
        int n = 0;
        for (auto at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++n;
        return n;
    }

    // Writes a recording and returns its path.
    std::string add_recording(const SynthRecording& rec, int tag = kFormatPcm, int bits = 16) {
        const std::string path = dir_.file("rec" + std::to_string(recordings_.size()) + ".wav");
        write_file(path, recording_file(rec, tag, bits));
        recordings_.push_back(path);
        return path;
    }

    // Writes filenames.ini naming the recordings (plus any extra lines).
    std::string list_file(const std::string& extra = "") {
        std::string text = "# test voice\r\n";
        for (const std::string& r : recordings_) text += r + "\r\n";
        text += extra;
        const std::string path = dir_.file("filenames.ini");
        write_file(path, text);
        return path;
    }

    WaveDatabaseOptions options(bool in_memory = true) const {
        WaveDatabaseOptions o;
        o.samples_in_memory = in_memory;
        o.work_dir = dir_.path().string();
        return o;
    }

    TempDir dir_;
    std::vector<std::string> recordings_;
};

// "_ m a: m a _" at 100, 90, 80, 90, 100 and 100 samples per period.
inline SynthRecording mama_recording() {
    return make_recording(
        {{"_", 3, 100}, {"m", 4, 90}, {"a:", 6, 80}, {"m", 4, 90}, {"a", 5, 100}, {"_", 3, 100}});
}

}  // namespace sint::test

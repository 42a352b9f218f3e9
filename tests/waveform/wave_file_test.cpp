#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/log.h"
#include "tests/support/strict.h"
#include "tests/support/temp_dir.h"
#include "tools/voicebuild/synthetic_voice.h"
#include "waveform/g711.h"
#include "waveform/table_sint.h"
#include "waveform/wave_reader.h"
#include "waveform/wave_writer.h"

namespace sint {
namespace {

using test::chunk;
using test::format_chunk;
using test::marker_data;
using test::riff;
using namespace std::string_literals;

class WaveFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        set_log_path(dir_.file("sint.log"));
        set_log_disabled(false);
    }
    void TearDown() override { set_log_disabled(true); }
    std::string log() const { return test::TempDir::read(dir_.file("sint.log")); }
    std::string write(const std::string& bytes) {
        std::string name = std::to_string(files_++);
        name += ".wav";
        const std::string path = dir_.file(name);
        test::write_file(path, bytes);
        return path;
    }

    test::TempDir dir_;
    int files_ = 0;
};

std::string pcm16(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) test::put16(out, static_cast<std::uint16_t>(v));
    return out;
}

TEST_F(WaveFileTest, ReadsSamplesAndTheFourTracks) {
    const std::vector<WaveMarker> marks = {{1, "a"}, {3, "m"}};
    const std::string body = format_chunk(1, 16) + chunk("data", pcm16({10, -20, 30, -40, 50})) +
                             chunk("mrk1", marker_data({{0, "x"}})) + chunk("mrk2", "") +
                             chunk("mrk3", marker_data(marks)) +
                             chunk("mrk4", marker_data({{2, ""}}));
    SourceWave wave;
    ASSERT_TRUE(read_source_wave(write(riff(body)), true, wave));
    EXPECT_EQ(wave.sample_count, 5);
    EXPECT_EQ(wave.samples, (std::vector<std::int16_t>{10, -20, 30, -40, 50}));
    EXPECT_EQ(wave.tracks[3].size(), 1u);
    EXPECT_EQ(wave.tracks[2].size(), 0u);
    ASSERT_EQ(wave.tracks[1].size(), 2u);
    EXPECT_EQ(wave.tracks[1][1].position, 3);
    EXPECT_EQ(wave.tracks[1][1].label, "m");
    EXPECT_EQ(wave.tracks[0][0].position, 2);
    EXPECT_EQ(log(), "");
}

TEST_F(WaveFileTest, BadFilesAreRefusedWithTheirCodes) {
    const std::string data = chunk("data", pcm16({1, 2, 3}));
    std::string huge_data = "data";
    test::put32(huge_data, 0xFFFFFFF0u);
    huge_data += pcm16({1, 2});
    std::string short_fmt = "fmt ";
    test::put32(short_fmt, 16);
    short_fmt += "abc";
    const struct {
        const char* what;
        std::string bytes;
        const char* code;
    } cases[] = {
        {"empty", "", "02-002"},
        {"truncated RIFF", "RIFF\x10\0\0\0WA"s, "02-004"},
        {"not WAVE", "RIFF\x10\0\0\0AVI LIST"s, "02-005"},
        {"no format", riff(data), "02-002"},
        {"chunk size past the end", riff(chunk("LIST", "abcd").substr(0, 8) + "ab"), "02-003"},
        {"format too long", riff(chunk("fmt ", std::string(20, '\1')) + data), "03-004"},
        {"format cut short", riff(short_fmt), "03-005"},
        {"format too small", riff(chunk("fmt ", std::string(8, '\1')) + data), "03-005"},
        {"not PCM", riff(format_chunk(3, 16) + data), "03-006"},
        {"stereo", riff(format_chunk(1, 16, 2) + data), "04-007"},
        {"12 bits", riff(format_chunk(1, 12) + data), "05-008"},
        {"16-bit A-law", riff(format_chunk(6, 16) + data), "05-008"},
        {"huge data chunk", riff(format_chunk(1, 16) + huge_data), "07-010"},
        {"data before format", riff(data + format_chunk(1, 16)), "02-002"},
        {"marker chunk too large",
         riff(format_chunk(1, 16) + data + "mrk1" + std::string("\x00\x00\x70\x00", 4)), "08-012"},
    };
    for (const auto& c : cases) {
        SourceWave wave;
        const std::string path = write(c.bytes);
        EXPECT_FALSE(read_source_wave(path, true, wave)) << c.what;
        EXPECT_NE(log().find(c.code), std::string::npos) << c.what << "\n" << log();
        EXPECT_FALSE(read_source_header(path, wave)) << c.what;
    }
    SourceWave wave;
    EXPECT_FALSE(read_source_wave(dir_.file("missing.wav"), true, wave));
    EXPECT_NE(log().find("Error opening WAV file: " + dir_.file("missing.wav") + "\nCode:01-001"),
              std::string::npos);
    EXPECT_FALSE(read_source_wave("#commented.wav", true, wave));
}

TEST_F(WaveFileTest, TruncatedSamplesAreCorrupt) {
    std::string body = format_chunk(1, 16) + chunk("data", pcm16({1, 2, 3, 4}));
    SourceWave wave;
    std::string bytes = riff(body);
    bytes.resize(bytes.size() - 3);
    EXPECT_FALSE(read_source_wave(write(bytes), true, wave));
    EXPECT_NE(log().find("TTablesSint::read_data : WAV file is corrupted\n07-010"),
              std::string::npos);
}

TEST_F(WaveFileTest, OddChunksArePaddedOnlyInBlockAlignedFiles) {
    // A 3-byte chunk before the data: padded to 4 in a 16-bit file, not in an 8-bit one.
    const std::string odd16 = format_chunk(1, 16) + "junk" + std::string("\3\0\0\0abc\0", 8) +
                              chunk("data", pcm16({7, 8}));
    SourceWave wave;
    ASSERT_TRUE(read_source_wave(write(riff(odd16)), true, wave));
    EXPECT_EQ(wave.samples, (std::vector<std::int16_t>{7, 8}));

    const std::string odd8 = format_chunk(1, 8) + chunk("data", "\x80\xFF\x00"s, false) +
                             chunk("mrk1", marker_data({{1, "a"}}));
    ASSERT_TRUE(read_source_wave(write(riff(odd8)), true, wave));
    EXPECT_EQ(wave.samples, (std::vector<std::int16_t>{0, 127 * 128, -128 * 128}));
    EXPECT_EQ(wave.tracks[3].size(), 1u);  // found right after the unpadded data
}

TEST_F(WaveFileTest, MissingOrDamagedMarkerChunksGiveDefaultTracks) {
    const std::string data = chunk("data", pcm16({1, 2, 3, 4, 5, 6}));
    const struct {
        const char* what;
        std::string markers;
        std::int64_t track3_count;
    } cases[] = {
        {"no markers", "", 2},
        {"mrk2 without mrk1", chunk("mrk2", marker_data({{1, "a"}})), 2},
        {"size not a multiple of 16", chunk("mrk1", std::string(20, 'a')), 2},
        {"cut short", chunk("mrk1", marker_data({{1, "a"}, {2, "b"}})).substr(0, 30), 2},
    };
    for (const auto& c : cases) {
        SourceWave wave;
        ASSERT_TRUE(
            read_source_wave(write(riff(format_chunk(1, 16) + data + c.markers)), true, wave))
            << c.what;
        for (int t = 0; t < kMarkerTracks; ++t) {
            ASSERT_EQ(wave.tracks[t].size(), 2u) << c.what;
            EXPECT_EQ(wave.tracks[t][0].position, 0);
            EXPECT_EQ(wave.tracks[t][1].position, 5);
        }
        EXPECT_EQ(wave.marker_counts[3], c.track3_count) << c.what;
    }
}

TEST_F(WaveFileTest, HeaderOnlyReadCountsMarkers) {
    test::SynthRecording rec = test::make_recording({{"a", 5, 100}, {"m", 3, 80}});
    SourceWave wave;
    ASSERT_TRUE(read_source_header(write(test::recording_file(rec)), wave));
    EXPECT_TRUE(wave.samples.empty());
    EXPECT_EQ(wave.sample_count, static_cast<std::int64_t>(rec.samples.size()));
    EXPECT_EQ(wave.data_offset, 44);
    EXPECT_EQ(wave.marker_counts[1], 2);
    EXPECT_EQ(wave.marker_counts[0], 9);
}

TEST_F(WaveFileTest, CompandedSourcesAreExpanded) {
    const std::vector<std::int16_t> samples = {0, 1000, -1000, 32000, -32000};
    for (int tag : {kFormatAlaw, kFormatMulaw}) {
        const std::string body =
            format_chunk(tag, 8) + chunk("data", test::sample_data(samples, tag, 8));
        SourceWave wave;
        ASSERT_TRUE(read_source_wave(write(riff(body)), true, wave));
        ASSERT_EQ(wave.samples.size(), samples.size());
        for (std::size_t i = 0; i < samples.size(); ++i)
            EXPECT_NEAR(wave.samples[i], samples[i], std::abs(samples[i]) / 16 + 16) << tag;
    }
}

TEST(G711, KnownCodesAndRoundTrips) {
    EXPECT_EQ(linear_to_alaw(0), 0xD5);
    EXPECT_EQ(linear_to_ulaw(0), 0xFF);
    EXPECT_EQ(alaw_to_linear(0xD5), 8);
    EXPECT_EQ(ulaw_to_linear(0xFF), 0);
    EXPECT_EQ(ulaw_to_linear(0x00), -32124);
    EXPECT_EQ(alaw_to_linear(0x2A), -32256);
    // Every code expands to a value that codes back to itself.
    for (int code = 0; code < 256; ++code) {
        EXPECT_EQ(linear_to_alaw(alaw_to_linear(static_cast<std::uint8_t>(code))), code);
        if (code != 0x7F) {  // mu-law has two codes for zero
            EXPECT_EQ(linear_to_ulaw(ulaw_to_linear(static_cast<std::uint8_t>(code))), code);
        }
    }
}

TEST_F(WaveFileTest, G711AgreesWithSox) {
    if (std::system("command -v sox >/dev/null 2>&1") != 0)
        SINT_LACKING("sox (make deps installs it)");
    std::vector<std::int16_t> ramp;
    for (int v = -32768; v < 32768; v += 7) ramp.push_back(static_cast<std::int16_t>(v));
    const std::string in = dir_.file("ramp.wav");
    test::write_file(in, riff(format_chunk(1, 16) + chunk("data", test::sample_data(ramp, 1, 16))));
    const struct {
        int tag;
        const char* encoding;
    } codings[] = {{kFormatAlaw, "a-law"}, {kFormatMulaw, "u-law"}};
    for (const auto& c : codings) {
        const std::string coded = dir_.file(std::string(c.encoding) + ".wav");
        const std::string back = dir_.file(std::string(c.encoding) + "-16.wav");
        ASSERT_EQ(
            std::system(("sox -D -V1 " + in + " -e " + c.encoding + " -b 8 " + coded).c_str()), 0);
        ASSERT_EQ(std::system(("sox -D -V1 " + coded + " -e signed-integer -b 16 " + back).c_str()),
                  0);
        SourceWave wave;
        ASSERT_TRUE(read_source_wave(coded, false, wave));
        ASSERT_EQ(wave.sample_count, static_cast<std::int64_t>(ramp.size()));
        const std::string bytes = test::TempDir::read(coded);
        int coding_mismatches = 0;
        for (std::size_t i = 0; i < ramp.size(); ++i) {
            const auto code = static_cast<std::uint8_t>(bytes[wave.data_offset + i]);
            const std::uint8_t mine =
                c.tag == kFormatAlaw ? linear_to_alaw(ramp[i]) : linear_to_ulaw(ramp[i]);
            coding_mismatches += code != mine;
        }
        EXPECT_EQ(coding_mismatches, 0) << c.encoding;
        // sox's expansion of the codes equals ours.
        SourceWave expanded, linear;
        ASSERT_TRUE(read_source_wave(coded, true, expanded));
        ASSERT_TRUE(read_source_wave(back, true, linear));
        EXPECT_EQ(expanded.samples, linear.samples) << c.encoding;
    }
}

TEST_F(WaveFileTest, WriterRewritesTheHeaderOnClose) {
    WaveWriter writer;
    const std::string path = dir_.file("out.wav");
    ASSERT_TRUE(writer.open(path));
    const std::int16_t samples[3] = {1, -2, 3};
    EXPECT_FALSE(writer.write8(reinterpret_cast<const std::uint8_t*>("ab"), 2));
    EXPECT_EQ(writer.last_error(), "Sample size mismatch");
    ASSERT_TRUE(writer.write16(samples, 3));
    writer.close();
    SourceWave wave;
    ASSERT_TRUE(read_source_wave(path, true, wave));
    EXPECT_EQ(wave.samples, (std::vector<std::int16_t>{1, -2, 3}));
    const std::string bytes = test::TempDir::read(path);
    ASSERT_EQ(bytes.size(), 50u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 42u);  // data bytes + 36

    EXPECT_FALSE(writer.open(dir_.file("no/such/folder/out.wav")));
    EXPECT_EQ(writer.last_error(), "Couldn't open output file");
}

TEST_F(WaveFileTest, SaveWaveScalesCodesAndResamples) {
    const std::string path = dir_.file("s.wav");
    std::vector<std::int16_t> loud = {1000, -20000, 30000, 5};
    ASSERT_EQ(TTableSint::SaveWave(loud.data(), 4, 2, 16000, 1, 1, 3, path, 160), 0);
    EXPECT_EQ(loud, (std::vector<std::int16_t>{2000, -32760, 32760, 10}));
    SourceWave wave;
    ASSERT_TRUE(read_source_wave(path, true, wave));
    EXPECT_EQ(wave.samples, loud);

    // 8000 Hz: half the samples, the first one 0, and a 1 kHz tone passes.
    std::vector<std::int16_t> tone(1600);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<std::int16_t>(10000 * std::sin(2 * M_PI * 1000 * i / 16000.0));
    ASSERT_EQ(TTableSint::SaveWave(tone.data(), 1601 - 1, 2, 8000, 1, 1, 3, path, 80), 0);
    ASSERT_TRUE(read_source_wave(path, true, wave));
    ASSERT_EQ(wave.samples.size(), 800u);
    EXPECT_EQ(wave.samples[0], 0);
    EXPECT_EQ(wave.sample_rate, 8000);
    int peak = 0;
    for (std::size_t i = 400; i < 800; ++i) peak = std::max(peak, std::abs(wave.samples[i]));
    EXPECT_GT(peak, 9000);  // samples 45 degrees apart miss the crest by up to 8 %
    EXPECT_LT(peak, 10300);

    // A 7 kHz tone is removed by the low-pass filter.
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<std::int16_t>(10000 * std::sin(2 * M_PI * 7000 * i / 16000.0));
    ASSERT_EQ(TTableSint::SaveWave(tone.data(), 1600, 2, 8000, 1, 1, 3, path, 80), 0);
    ASSERT_TRUE(read_source_wave(path, true, wave));
    peak = 0;
    for (std::size_t i = 400; i < 800; ++i) peak = std::max(peak, std::abs(wave.samples[i]));
    EXPECT_LT(peak, 500);
}

TEST_F(WaveFileTest, SaveWaveEightBitCodings) {
    const std::string path = dir_.file("c.wav");
    std::vector<std::int16_t> silent(10, 0);
    ASSERT_EQ(TTableSint::SaveWave(silent.data(), 10, 1, 16000, 1, 1, 3, path, 80), 0);
    std::string bytes = test::TempDir::read(path);
    ASSERT_EQ(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(44), std::string(10, '\0'));

    std::vector<std::int16_t> ramp = {-32760, -100, 0, 100, 32760};
    std::vector<std::int16_t> copy = ramp;
    ASSERT_EQ(TTableSint::SaveWave(copy.data(), 5, 1, 16000, 1, 1, 3, path, 80), 0);
    bytes = test::TempDir::read(path);
    EXPECT_EQ(static_cast<unsigned char>(bytes[44]), 0);
    EXPECT_EQ(static_cast<unsigned char>(bytes[48]), 255);

    for (int coding : {1, 2}) {
        copy = ramp;
        ASSERT_EQ(TTableSint::SaveWave(copy.data(), 5, 1, 16000, 1, 1, coding, path, 80), 0);
        SourceWave wave;
        ASSERT_TRUE(read_source_wave(path, true, wave));
        EXPECT_EQ(wave.format_tag, coding == 1 ? kFormatAlaw : kFormatMulaw);
        bytes = test::TempDir::read(path);
        for (std::size_t i = 0; i < ramp.size(); ++i)
            EXPECT_EQ(static_cast<unsigned char>(bytes[44 + i]),
                      coding == 1 ? linear_to_alaw(ramp[i]) : linear_to_ulaw(ramp[i]));
    }
}

TEST_F(WaveFileTest, SaveWaveReportsAFileThatCannotBeOpened) {
    std::vector<std::int16_t> s = {1};
    EXPECT_EQ(TTableSint::SaveWave(s.data(), 1, 2, 16000, 1, 1, 3, dir_.file("no/x.wav"), 80),
              -202);
    EXPECT_NE(
        log().find("TTableSint::SaveWave : Could not save wave file. The file might be opened"),
        std::string::npos);
}

}  // namespace
}  // namespace sint

// The audio of the default voice held to checksums: the sample paragraph of
// `make run` spoken sentence by sentence, and the 200-sentence news text spoken
// line by line, both through a fresh facade over the packed database, with the
// samples read from disk and held in memory. Work on the speed of synthesis must
// leave every sample as it was; a change that alters the audio on purpose
// stores the new checksums in the same commit.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/cp1250.h"
#include "core/log.h"
#include "core/profile_file.h"
#include "server/server_settings.h"
#include "synth/facade.h"
#include "tests/support/packed_voice.h"
#include "tests/support/temp_dir.h"

namespace sint::test {
namespace {

namespace fs = std::filesystem;

// The sample paragraph is the one line `text='...'` of the script.
std::string sample_paragraph() {
    std::ifstream in(fs::path(SINT_SOURCE_DIR) / "tools/run-sample.sh");
    std::string line;
    while (std::getline(in, line))
        if (line.starts_with("text='") && line.ends_with("'"))
            return line.substr(6, line.size() - 7);
    return "";
}

std::vector<std::string> news_lines() {
    std::ifstream in(fs::path(SINT_SOURCE_DIR) / "tests/data/news_sl_200.txt");
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) lines.push_back(line);
    return lines;
}

// FNV-1a over the little-endian bytes of the samples, and their number.
struct Checksum {
    std::uint64_t hash = 1469598103934665603ull;
    std::int64_t samples = 0;
    void add(std::span<const std::int16_t> block) {
        for (const std::int16_t s : block) {
            const auto bits = static_cast<std::uint16_t>(s);
            for (const unsigned byte :
                 {static_cast<unsigned>(bits & 0xFFu), static_cast<unsigned>(bits >> 8)}) {
                hash ^= byte;
                hash *= 1099511628211ull;
            }
        }
        samples += static_cast<std::int64_t>(block.size());
    }
    std::string text() const {
        char out[64];
        std::snprintf(out, sizeof out, "%016llx/%lld", static_cast<unsigned long long>(hash),
                      static_cast<long long>(samples));
        return out;
    }
};

enum class Text { Sample, News };

// Speaks one text with a facade of its own (micro-prosody's jitter starts
// afresh with every facade, so the result does not depend on earlier runs).
std::string speak(const fs::path& folder, Text which, bool in_memory) {
    const fs::path old_dir = fs::current_path();
    fs::current_path(folder);
    ServerSettings settings;
    const std::unique_ptr<ProfileFile> ini = read_sint_ini(settings);
    SynthesiserOptions options = synthesiser_options(settings);
    options.wave.samples_in_memory = in_memory;
    Checksum sum;
    std::string result;
    {
        Synthesiser sint(options);
        if (sint.init() != 0 || !sint.wave_init_fast()) {
            result = "the facade or the packed database did not load";
        } else if (which == Text::News) {
            for (const std::string& line : news_lines())
                if (sint.convert(utf8_to_cp1250(line)) == 0 && sint.prosody(std::nullopt) == 0)
                    sum.add(sint.synthesise_to_memory(100));
        } else {
            // Sentence by sentence, as sint-say asks the server for each end.
            const std::string text = utf8_to_cp1250(sample_paragraph());
            std::string_view rest = text;
            while (!rest.empty()) {
                const long length = sint.convert_first_sentence(rest);
                const std::size_t take =
                    length > 0 && static_cast<std::size_t>(length) <= rest.size() ? length
                                                                                  : rest.size();
                if (sint.convert(rest.substr(0, take)) == 0 && sint.prosody(std::nullopt) == 0)
                    sum.add(sint.synthesise_to_memory(100));
                rest.remove_prefix(take);
            }
        }
    }
    fs::current_path(old_dir);
    return result.empty() ? sum.text() : result;
}

class AudioChecksumTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        failure_ = new std::string(make_packed_voice(SINT_PROGRAM_DIR, *dir_));
        set_log_disabled(true);
    }
    static void TearDownTestSuite() {
        delete failure_;
        delete dir_;
    }
    void SetUp() override { ASSERT_EQ(*failure_, "") << *failure_; }

    static TempDir* dir_;
    static std::string* failure_;
};

TempDir* AudioChecksumTest::dir_ = nullptr;
std::string* AudioChecksumTest::failure_ = nullptr;

TEST_F(AudioChecksumTest, AudioIsUnchangedInBothSampleModes) {
    struct Case {
        Text text;
        bool in_memory;
        const char* expected;  // FNV-1a of the samples / number of samples
    };
    const Case cases[] = {
        {Text::Sample, false, "820da7543755d68b/387067"},
        {Text::Sample, true, "820da7543755d68b/387067"},
        // The news text reads "Krka d. d." as "Krka de de".
        {Text::News, false, "1723550420567a16/11375821"},
        {Text::News, true, "1723550420567a16/11375821"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(speak(dir_->path(), c.text, c.in_memory), c.expected)
            << (c.text == Text::News ? "news text" : "sample paragraph")
            << (c.in_memory ? ", samples in memory" : ", samples from disk");
}

}  // namespace
}  // namespace sint::test

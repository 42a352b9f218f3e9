// The whole system speaking a 200-sentence Slovenian news text with the default
// voice: a copy of the build's program folder, the packed wave database made
// there by `sintsrv -ustvaripodatke`, and the facade in this process reading
// that database at fast start. The log and the samples must show no skipped
// phone, at most one missing diphone per 1000 phones, and (almost) no clipping.
// SINT_VOICE_FOLDER=DIR checks the voice of another program folder instead.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
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
#include "tests/support/temp_dir.h"
#include "tools/voicebuild/voice_check.h"

namespace sint::test {
namespace {

namespace fs = std::filesystem;

const fs::path kTextFile = fs::path(SINT_SOURCE_DIR) / "tests/data/news_sl_200.txt";

// What PSOLA writes when it leaves out a phone, and when a pair of phones has
// no recording.
constexpr const char* kSkippedPhone = "TPsola::Init";
constexpr const char* kMissingDiphone = "Diphone not found";

// The figures of one run of the text.
struct Figures {
    std::string failure;  // why the run could not be made ("" when it was)
    int sentences = 0;
    int spoken = 0;           // sentences that produced samples
    std::int64_t phones = 0;  // phones handed to PSOLA
    std::int64_t samples = 0;
    std::int64_t saturated = 0;
    std::int64_t skipped_phone_messages = 0;
    std::int64_t missing_diphone_messages = 0;
    std::int64_t psola_runs = 0;  // timings in the log: it was written
    std::string first_missing;    // the first missing-diphone line, for diagnosis
};

std::int64_t count_lines_with(const std::string& log, const char* what, std::string* first) {
    std::int64_t n = 0;
    std::size_t at = 0;
    while ((at = log.find(what, at)) != std::string::npos) {
        if (first && first->empty()) {
            const std::size_t end = log.find('\n', at);
            *first = log.substr(at, end == std::string::npos ? end : end - at);
        }
        ++n;
        at += std::char_traits<char>::length(what);
    }
    return n;
}

// Runs `program` with `args` in its own folder and waits for it: its exit code,
// or -1 when it did not end normally.
int run_program(const std::string& program, std::vector<std::string> args) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// The program folder copied without its packed database and logs, the
// database made there by the server, and the text spoken through the facade.
Figures speak_text(const TempDir& dir) {
    Figures f;
    // Another voice's program folder may be checked the same way.
    const char* other = std::getenv("SINT_VOICE_FOLDER");
    const fs::path built(other && *other ? other : SINT_PROGRAM_DIR);
    if (!fs::exists(built / "sintsrv") || !fs::exists(built / "filenames.ini")) {
        f.failure = built.string() + " holds no sintsrv or no filenames.ini";
        return f;
    }
    for (const auto& entry : fs::directory_iterator(built)) {
        const std::string name = entry.path().filename().string();
        if (name == "data" || name == "sint.log" || name.ends_with(".out")) continue;
        fs::copy(entry.path(), dir.path() / name, fs::copy_options::recursive);
    }
    fs::create_directories(dir.path() / "data");
    const int code = run_program(dir.file("sintsrv"), {"-konzola", "-ustvaripodatke"});
    if (code != 0 || !fs::exists(dir.path() / "data/MorvenaIdra.dat")) {
        f.failure = "sintsrv -ustvaripodatke ended with " + std::to_string(code) +
                    " and made no data/MorvenaIdra.dat";
        return f;
    }

    const fs::path old_dir = fs::current_path();
    fs::current_path(dir.path());
    ServerSettings settings;
    const std::unique_ptr<ProfileFile> ini = read_sint_ini(settings);
    set_log_path(dir.file("sint.log"));
    set_log_disabled(false);
    {
        Synthesiser sint(synthesiser_options(settings));
        if (sint.init() != 0 || !sint.wave_init_fast()) {
            f.failure = "the facade or the packed database did not load";
        } else {
            std::ifstream text(kTextFile);
            std::string line;
            while (std::getline(text, line)) {
                if (line.empty()) continue;
                ++f.sentences;
                if (sint.convert(utf8_to_cp1250(line)) != 0 || sint.prosody(std::nullopt) != 0)
                    continue;
                const AlophoneRecord* r = sint.converter().output();
                // Pauses are no phones, and a stop's closure ("-", "=") is
                // counted with its release.
                for (int i = 0; r && i < sint.converter().count(); ++i) {
                    const std::string_view name(r[i].name);
                    if (name != "_" && name != "-" && name != "=") ++f.phones;
                }
                const auto samples = sint.synthesise_to_memory(100);
                if (!samples.empty()) ++f.spoken;
                f.samples += static_cast<std::int64_t>(samples.size());
                f.saturated += voicebuild::count_saturated(
                    samples.data(), static_cast<std::int64_t>(samples.size()));
            }
        }
    }
    set_log_disabled(true);
    set_log_path("sint.log");
    fs::current_path(old_dir);

    const std::string log = TempDir::read(dir.file("sint.log"));
    f.psola_runs = count_lines_with(log, "Psola: ", nullptr);
    f.skipped_phone_messages = count_lines_with(log, kSkippedPhone, nullptr);
    f.missing_diphone_messages = count_lines_with(log, kMissingDiphone, &f.first_missing);
    return f;
}

class VoiceTextTest : public ::testing::Test {
protected:
    // The text is spoken once for all the checks (it takes a few seconds).
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        figures_ = new Figures(speak_text(*dir_));
        const Figures& f = *figures_;
        std::printf(
            "[ figures  ] %d sentences, %d spoken, %lld phones, %lld samples (%.1f s), "
            "%lld saturated, %lld skipped-phone and %lld missing-diphone messages\n",
            f.sentences, f.spoken, static_cast<long long>(f.phones),
            static_cast<long long>(f.samples), f.samples / 16000.0,
            static_cast<long long>(f.saturated), static_cast<long long>(f.skipped_phone_messages),
            static_cast<long long>(f.missing_diphone_messages));
        if (!f.first_missing.empty())
            std::printf("[ figures  ] first: %s\n", f.first_missing.c_str());
    }
    static void TearDownTestSuite() {
        delete figures_;
        delete dir_;
    }
    void SetUp() override { ASSERT_EQ(figures_->failure, "") << figures_->failure; }

    static TempDir* dir_;
    static Figures* figures_;
};

TempDir* VoiceTextTest::dir_ = nullptr;
Figures* VoiceTextTest::figures_ = nullptr;

TEST_F(VoiceTextTest, EverySentenceIsSpoken) {
    EXPECT_GE(figures_->sentences, 195);
    EXPECT_EQ(figures_->spoken, figures_->sentences);
    EXPECT_EQ(figures_->psola_runs, figures_->sentences);
    // Ordinary speech: at least 6 phones a second.
    EXPECT_GT(figures_->phones, 6 * figures_->samples / 16000);
}

TEST_F(VoiceTextTest, NoPhoneIsSkipped) {
    EXPECT_EQ(figures_->skipped_phone_messages, 0);
}

TEST_F(VoiceTextTest, AtMostOneMissingDiphonePerThousandPhones) {
    EXPECT_LE(figures_->missing_diphone_messages * 1000, figures_->phones)
        << figures_->missing_diphone_messages << " messages for " << figures_->phones
        << " phones; first: " << figures_->first_missing;
}

TEST_F(VoiceTextTest, FewerThanOneSampleIn100000Saturates) {
    EXPECT_LT(figures_->saturated * 100000, figures_->samples)
        << figures_->saturated << " of " << figures_->samples;
}

}  // namespace
}  // namespace sint::test

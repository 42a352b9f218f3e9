#include "tools/sd_sint/module.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <memory>

#include "core/log.h"
#include "tools/sd_sint/key_names.h"
#include "tools/ssml/ssml_reader.h"

namespace sint {
namespace {

constexpr std::size_t kReadChunk = 65536;
constexpr const char* kLanguage = "sl";

std::optional<PunctuationMode> punctuation_mode(const std::string& value) {
    if (value == "none") return PunctuationMode::None;
    if (value == "some") return PunctuationMode::Some;
    if (value == "most") return PunctuationMode::Most;
    if (value == "all") return PunctuationMode::All;
    return std::nullopt;
}

}  // namespace

std::optional<std::string> LineReader::next() {
    while (true) {
        const std::size_t newline = buffer_.find('\n', start_);
        if (skipping_) {
            // The rest of an overlong line is dropped as it arrives.
            if (newline == std::string::npos) {
                buffer_.clear();
                start_ = 0;
            } else {
                start_ = newline + 1;
                skipping_ = false;
                continue;
            }
        } else if (newline != std::string::npos) {
            std::string line = buffer_.substr(start_, newline - start_);
            start_ = newline + 1;
            if (start_ > kReadChunk) {
                buffer_.erase(0, start_);
                start_ = 0;
            }
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        } else if (buffer_.size() - start_ >= kMessageMax) {
            std::string line = buffer_.substr(start_, kMessageMax);
            buffer_.clear();
            start_ = 0;
            skipping_ = true;
            return line;
        }
        if (end_) {
            if (skipping_ || start_ >= buffer_.size()) return std::nullopt;
            std::string line = buffer_.substr(start_);
            start_ = buffer_.size();
            return line;
        }
        char chunk[kReadChunk];
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            end_ = true;
        else
            buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

Module::Module(ModuleConfig config, int input_fd, int output_fd)
    : config_(std::move(config)),
      input_(input_fd),
      output_(output_fd),
      link_(config_.server_path, config_.port, config_.lifespan),
      worker_(output_, link_),
      voice_(config_.voice) {
    // The names of keys and marks: the voice's symbol table beside the server.
    voice_.symbol_names =
        std::make_shared<const SymbolNames>(SymbolNames::beside(link_.server_path()));
    for (const ModuleVoice& voice : config_.voices)
        voice_links_.push_back(std::make_unique<ServerLink>(
            (std::filesystem::path(voice.folder) / "sintsrv").string(), 0, config_.lifespan));
}

bool Module::read_block(std::string& text, bool& too_long) {
    text.clear();
    too_long = false;
    bool first = true;
    while (auto line = input_.next()) {
        if (*line == ".") return true;
        // A data line that starts with a dot came with one more.
        if (line->starts_with("..")) line->erase(0, 1);
        if (text.size() + line->size() + 1 > kMessageMax) {
            too_long = true;
            continue;
        }
        if (!first) text.push_back('\n');
        text += *line;
        first = false;
    }
    return false;
}

void Module::audio_settings(const char* first_reply, const char* last_reply) {
    output_.line(first_reply);
    std::string block;
    bool too_long = false;
    if (!read_block(block, too_long)) return;
    output_.line(last_reply);
}

void Module::set() {
    output_.line("203 OK RECEIVING SETTINGS");
    std::string block;
    bool too_long = false;
    if (!read_block(block, too_long)) return;
    bool valid = !too_long;
    // All or nothing: the settings change only when every line is good.
    VoiceParams next = voice_;
    ServerLink* next_link = voice_link_;
    std::size_t start = 0;
    while (start <= block.size() && !block.empty()) {
        std::size_t end = block.find('\n', start);
        if (end == std::string::npos) end = block.size();
        const std::string line = block.substr(start, end - start);
        start = end + 1;
        const auto equals = line.find('=');
        if (equals == std::string::npos) {
            valid = false;
            continue;
        }
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "rate" || key == "pitch" || key == "volume") {
            long n = 0;
            const auto [tail, error] =
                std::from_chars(value.data(), value.data() + value.size(), n);
            if (error != std::errc() || tail != value.data() + value.size()) {
                valid = false;
                continue;
            }
            // Pitch and volume out of range: the nearest end of the scale. A rate
            // beyond it asks for a speed there is not, and the SET is refused.
            const int clamped = static_cast<int>(std::clamp(n, -100L, 100L));
            if (key == "rate" && clamped != n) {
                output_.line("303-sd_sint: rate " + value + " is outside -100..100");
                valid = false;
                continue;
            }
            (key == "rate" ? next.rate : key == "pitch" ? next.pitch : next.volume) = clamped;
        } else if (key == "punctuation_mode") {
            if (const auto mode = punctuation_mode(value))
                next.punctuation = *mode;
            else if (value != "NULL")
                valid = false;
        } else if (key == "spelling_mode") {
            if (value == "on" || value == "off")
                next.spelling = value == "on";
            else if (value != "NULL")
                valid = false;
        } else if (key == "synthesis_voice" && value != "NULL") {
            // A name of no voice of this module (another module's, say) leaves the voice.
            if (value == kModuleDefaultVoice) {
                next_link = nullptr;
            } else {
                const auto& voices = config_.voices;
                const auto found =
                    std::find_if(voices.begin(), voices.end(),
                                 [&](const ModuleVoice& v) { return v.name == value; });
                if (found != voices.end())
                    next_link =
                        voice_links_[static_cast<std::size_t>(found - voices.begin())].get();
                else
                    log_write("sd_sint: no voice " + value + "; the voice stays");
            }
        } else if (key == "language" && value != "NULL" && !value.starts_with(kLanguage)) {
            log_write("sd_sint: language " + value + " asked; the voice speaks " + kLanguage);
        }
        // voice, pitch_range, cap_let_recogn and others: nothing to set.
    }
    if (valid) {
        voice_ = next;
        voice_link_ = next_link;
    }
    output_.line(valid ? "203 OK SETTINGS RECEIVED" : "303 ERROR INVALID PARAMETER");
}

void Module::speak(const std::string& command) {
    // Speech Dispatcher sends the text only after 202, so nothing is left to read.
    if (worker_.speaking()) {
        output_.line("301 ERROR ALREADY SPEAKING");
        return;
    }
    output_.line("202 OK SEND DATA");
    std::string text;
    bool too_long = false;
    if (!read_block(text, too_long)) return;
    if (too_long) {
        output_.line("305 ERROR MESSAGE TOO LONG");
        return;
    }
    if (text.empty()) {
        output_.line("304 ERROR NO TEXT");
        return;
    }
    auto job = std::make_shared<SpeechJob>();
    if (command == "SPEAK") {
        // A rate that is no speaking rate refuses the message. The check is one
        // pass over the prosody tags, so the command loop never waits for a parse.
        if (const auto problems = ssml_rate_problems(text); !problems.empty()) {
            for (const std::string& problem : problems) output_.line("303-sd_sint: " + problem);
            output_.line("303 ERROR INVALID PARAMETER");
            return;
        }
        job->ssml = std::move(text);
        job->voice = voice_;
    } else if (command == "CHAR") {
        job->plan = character_plan(text, voice_);
    } else if (command == "KEY") {
        job->plan = key_plan(text, voice_);
    } else {
        job->tone = icon_beep(voice_);
    }
    job->link = voice_link_;
    worker_.begin(std::move(job), "200 OK SPEAKING\n");
}

int Module::run() {
    while (auto line = input_.next()) {
        const std::string& command = *line;
        if (command == "INIT") {
            if (!config_.problems.empty())
                for (const std::string& problem : config_.problems)
                    log_write("sd_sint: configuration " + problem);
            for (const auto& voice : voice_links_)
                if (access(voice->server_path().c_str(), X_OK) != 0)
                    log_write("sd_sint: a voice's server cannot run: " + voice->server_path());
            if (access(link_.server_path().c_str(), X_OK) != 0) {
                output_.line("399-sd_sint: cannot run " + link_.server_path());
                output_.line("399 ERROR CANT INIT MODULE");
                continue;
            }
            initialised_ = true;
            output_.line("299-sd_sint: speaking with " + link_.server_path() + " on port " +
                         std::to_string(link_.port()));
            output_.line("299 OK LOADED SUCCESSFULLY");
            worker_.warm_up();
        } else if (command == "AUDIO") {
            audio_settings("207 OK RECEIVING AUDIO SETTINGS", "203 OK AUDIO INITIALIZED");
        } else if (command == "LOGLEVEL") {
            audio_settings("207 OK RECEIVING LOGLEVEL SETTINGS", "203 OK LOGLEVEL SET");
        } else if (command == "SET") {
            set();
        } else if (command == "LIST VOICES") {
            output_.line(std::string("200-") + kModuleDefaultVoice + "\t" + kLanguage + "\tnone");
            for (const ModuleVoice& voice : config_.voices)
                output_.line("200-" + voice.name + "\t" + kLanguage + "\tnone");
            output_.line("200 OK VOICE LIST SENT");
        } else if (command == "SPEAK" || command == "CHAR" || command == "KEY" ||
                   command == "SOUND_ICON") {
            // Nothing is spoken before INIT has found the server.
            if (initialised_)
                speak(command);
            else
                output_.line("301 ERROR CANT SPEAK");
        } else if (command == "STOP") {
            worker_.stop();
        } else if (command == "PAUSE") {
            worker_.pause();
        } else if (command == "QUIT") {
            worker_.stop();
            output_.line("210 OK QUIT");
            return 0;
        } else {
            output_.line("300 ERROR UNKNOWN COMMAND");
        }
    }
    return 0;
}

}  // namespace sint

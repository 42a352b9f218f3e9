// The command loop of sd_sint: reads Speech Dispatcher's commands from
// standard input (INIT, AUDIO, LOGLEVEL, SET, LIST VOICES, SPEAK, CHAR, KEY,
// SOUND_ICON, STOP, PAUSE, QUIT), answers each, and hands speech to the worker.
// Bad input gets a 3xx reply and changes nothing; the loop never ends on it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "tools/sd_sint/module_config.h"
#include "tools/sd_sint/module_output.h"
#include "tools/sd_sint/server_link.h"
#include "tools/sd_sint/speech_worker.h"

namespace sint {

// Longest message text kept; the rest of a longer one is read and dropped.
inline constexpr std::size_t kMessageMax = 8 * 1024 * 1024;

// Lines from a file descriptor, without their line feeds (and a CR before them).
class LineReader {
public:
    explicit LineReader(int fd) : fd_(fd) {}
    // The next line; nothing at the end of the input. A line longer than
    // kMessageMax is cut there.
    std::optional<std::string> next();

private:
    int fd_;
    std::string buffer_;
    std::size_t start_ = 0;
    bool end_ = false;
    bool skipping_ = false;
};

class Module {
public:
    Module(ModuleConfig config, int input_fd, int output_fd);

    // Runs until QUIT or the end of the input; the exit code.
    int run();

private:
    // Reads data lines up to the "." line; false at the end of the input.
    bool read_block(std::string& text, bool& too_long);
    void speak(const std::string& command);
    void set();
    void audio_settings(const char* first_reply, const char* last_reply);

    ModuleConfig config_;
    LineReader input_;
    ModuleOutput output_;
    ServerLink link_;
    // The servers of the further voices, as config_.voices lists them.
    std::vector<std::unique_ptr<ServerLink>> voice_links_;
    SpeechWorker worker_;
    VoiceParams voice_;
    ServerLink* voice_link_ = nullptr;  // the chosen voice's server; nullptr: link_
    bool initialised_ = false;
};

}  // namespace sint

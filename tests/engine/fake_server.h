// A stand-in for sintsrv inside the test process: a TCP listener on a free
// 127.0.0.1 port that speaks the frame protocol with canned replies. TEST gets
// "SINT_OK", GFP the offset just past the first ".", "!" or "?" (else the
// whole length), STREAM a fixed number of samples per character, STOP
// "SINT_E_". Switches make it answer garbage, nothing, close mid-frame, or die.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sint::test {

class FakeServer {
public:
    enum class Mode {
        Normal,
        Garbage,        // GFP and STREAM get bytes without any frame magic
        Silent,         // GFP and STREAM get no answer
        CloseMidFrame,  // STREAM gets half a frame, then the connection closes
        Mute,           // not even TEST is answered
        Oversized,      // GFP and STREAM get a header announcing set_oversized() bytes
    };

    // Listens on `port`, or on a free port when 0.
    explicit FakeServer(int port = 0);
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    int port() const { return port_; }
    void set_mode(Mode mode);
    // TEST answers "SINT_NO" this many times before "SINT_OK".
    void set_not_ready_answers(int count);
    void set_samples_per_character(int samples);
    // STREAM answers with exactly this many audio bytes (negative: per character).
    void set_audio_bytes(long bytes);
    void set_sample_value(std::int16_t value);
    // STREAM is answered with a stray "SINT_NO" and "SINT_OK" before the audio.
    void set_status_before_audio(bool on);
    // In Mode::Oversized: the announced payload length and the reply code that
    // follows the header (the rest of the payload never comes).
    void set_oversized(std::uint32_t length, const std::string& code);
    // GFP answers taken from this list first, then by the sentence rule.
    void queue_sentence_ends(std::vector<long> answers);
    // Closes the listener and every connection.
    void stop();

    // Every request received, as text without its NUL.
    std::vector<std::string> requests() const;
    // The requests that start with "<command>\t".
    std::vector<std::string> requests_of(const std::string& command) const;
    void clear_requests();

private:
    void run();
    void answer(int fd, const std::string& request);

    int port_ = 0;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    mutable std::mutex mutex_;
    Mode mode_ = Mode::Normal;
    int not_ready_answers_ = 0;
    int samples_per_character_ = 10;
    long audio_bytes_ = -1;
    std::int16_t sample_value_ = 1000;
    bool status_before_audio_ = false;
    std::uint32_t oversized_length_ = 0;
    std::string oversized_code_;
    std::deque<long> sentence_ends_;
    std::vector<std::string> requests_;
    std::atomic<bool> running_{false};
};

}  // namespace sint::test

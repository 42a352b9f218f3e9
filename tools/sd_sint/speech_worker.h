// The thread of sd_sint that speaks: it takes one job at a time (a speech
// plan, or a tone), talks to sintsrv through the server link and writes the
// job's events. The command loop stays free to read STOP and PAUSE meanwhile.
//
// Each job is closed by exactly one of 702 END, 703 STOP or 704 PAUSE; the
// `closed` flag, read and written under the output lock, decides who writes
// it, so nothing of a job is written after its closing event.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/sd_sint/module_output.h"
#include "tools/sd_sint/server_link.h"
#include "tools/ssml/speech_plan.h"

namespace sint {

// The longest one server reply may take (a long sentence on a slow machine).
inline constexpr int kWorkerReplyTimeoutMs = 60000;

struct SpeechJob {
    // SPEAK: the message, read and planned by the worker (a large document
    // must not hold up the command loop), with the voice it was sent with.
    std::string ssml;
    VoiceParams voice;
    std::vector<PlanItem> plan;
    std::vector<std::int16_t> tone;  // played before the plan (a sound icon)
    // The server of the job's voice; nullptr: the worker's own.
    ServerLink* link = nullptr;
    std::atomic<bool> stop{false};
    std::atomic<bool> pause{false};
    bool closed = false;  // under the output lock
};

class SpeechWorker {
public:
    SpeechWorker(ModuleOutput& output, ServerLink& link);
    ~SpeechWorker();
    SpeechWorker(const SpeechWorker&) = delete;
    SpeechWorker& operator=(const SpeechWorker&) = delete;

    // Writes the reply to the command and 701 BEGIN right after it (nothing
    // can come between them) and queues the job.
    void begin(std::shared_ptr<SpeechJob> job, std::string_view reply);
    // True while the last job has not been closed.
    bool speaking();
    // STOP: 703 at once when the job is still open; the worker drops the rest.
    void stop();
    // PAUSE: the job ends with 704 at its next index mark.
    void pause();
    // Connects to the server (starting it) in the background, before the first job.
    void warm_up();

private:
    void run();
    void speak(SpeechJob& job);
    // Reads and plans a SPEAK message, logging what was wrong with its markup.
    void plan_message(SpeechJob& job);
    // Writes the closing event unless the job is closed already.
    void close_job(SpeechJob& job, const char* event);

    ModuleOutput& output_;
    ServerLink& link_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<SpeechJob>> queue_;
    std::shared_ptr<SpeechJob> current_;  // the last job begun (under the output lock)
    bool warm_up_ = false;
    bool quit_ = false;
    std::thread thread_;
};

}  // namespace sint

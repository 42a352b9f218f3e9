#include "tools/sd_sint/speech_worker.h"

#include <algorithm>
#include <utility>

#include "core/log.h"
#include "tools/ssml/plan_speaker.h"
#include "tools/ssml/ssml_reader.h"

namespace sint {
namespace {

// The events that close a job.
constexpr const char* kEventEnd = "702 END\n";
constexpr const char* kEventStop = "703 STOP\n";
constexpr const char* kEventPause = "704 PAUSE\n";

// Hands audio and marks to Speech Dispatcher, unless the job has been closed;
// a pause requested before a mark ends the job there with 704.
class EventWriter : public PlanListener {
public:
    EventWriter(ModuleOutput& output, SpeechJob& job) : output_(output), job_(job) {}

    bool audio(std::span<const std::int16_t> samples) override {
        // Events of about a second each; the next waits until the last has room.
        while (!samples.empty()) {
            const std::size_t count = std::min(samples.size(), kAudioEventSamples);
            output_.wait_for_room();
            std::string event = audio_event(samples.first(count));
            samples = samples.subspan(count);
            const std::lock_guard lock(output_.mutex());
            if (job_.closed) return false;
            output_.write_audio_locked(std::move(event), &job_);
            delivered_ = true;
        }
        return true;
    }

    bool mark(const std::string& name) override {
        const std::lock_guard lock(output_.mutex());
        if (job_.closed) return false;
        output_.write_locked("700-" + name + "\n700 INDEX MARK\n");
        delivered_ = true;
        if (!job_.pause) return true;
        output_.write_locked(kEventPause);
        job_.closed = true;
        return false;
    }

    void sentence(std::string_view text) override {
        log_write("sd_sint: speaking \"" + std::string(text) + "\"");
    }

    // Whether anything of the job has been handed on.
    bool delivered() const { return delivered_; }

private:
    ModuleOutput& output_;
    SpeechJob& job_;
    bool delivered_ = false;
};

}  // namespace

SpeechWorker::SpeechWorker(ModuleOutput& output, ServerLink& link)
    : output_(output), link_(link), thread_([this] { run(); }) {}

SpeechWorker::~SpeechWorker() {
    stop();
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void SpeechWorker::begin(std::shared_ptr<SpeechJob> job, std::string_view reply) {
    {
        const std::lock_guard lock(output_.mutex());
        current_ = job;
        output_.write_locked(std::string(reply) + "701 BEGIN\n");
    }
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(job));
    }
    wake_.notify_all();
}

bool SpeechWorker::speaking() {
    const std::lock_guard lock(output_.mutex());
    return current_ && !current_->closed;
}

void SpeechWorker::stop() {
    const std::lock_guard lock(output_.mutex());
    if (!current_ || current_->closed) return;
    current_->stop = true;
    current_->closed = true;
    // Audio not yet on its way is not heard: 703 follows at most the event being written.
    output_.drop_audio_locked(current_.get());
    output_.write_locked(kEventStop);
}

void SpeechWorker::pause() {
    const std::lock_guard lock(output_.mutex());
    if (current_ && !current_->closed) current_->pause = true;
}

void SpeechWorker::warm_up() {
    {
        const std::lock_guard lock(mutex_);
        warm_up_ = true;
    }
    wake_.notify_all();
}

void SpeechWorker::close_job(SpeechJob& job, const char* event) {
    const std::lock_guard lock(output_.mutex());
    if (job.closed) return;
    job.closed = true;
    output_.write_locked(event);
}

void SpeechWorker::run() {
    while (true) {
        std::shared_ptr<SpeechJob> job;
        bool warm_up = false;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || warm_up_ || !queue_.empty(); });
            if (quit_) return;
            if (!queue_.empty()) {
                job = std::move(queue_.front());
                queue_.pop_front();
            } else {
                warm_up = std::exchange(warm_up_, false);
            }
        }
        if (job) {
            speak(*job);
        } else if (warm_up) {
            std::string error;
            const auto quitting = [this] {
                const std::lock_guard lock(mutex_);
                return quit_ || !queue_.empty();
            };
            if (!link_.ready(quitting, error) && !error.empty()) log_write("sd_sint: " + error);
        }
    }
}

void SpeechWorker::plan_message(SpeechJob& job) {
    const SsmlDocument document = read_ssml(job.ssml);
    if (document.plain_fallback)
        log_write("sd_sint: warning: the markup is not well-formed (line " +
                  std::to_string(document.error_line) + ", column " +
                  std::to_string(document.error_column) + ": " + document.error +
                  "); its text is spoken without it");
    if (document.depth_limited)
        log_write("sd_sint: warning: elements nested deeper than " + std::to_string(kSsmlDepthMax) +
                  " are read for their text only");
    if (document.pauses_limited)
        log_write("sd_sint: warning: pauses cut to " + std::to_string(kSsmlBreakMaxMs) +
                  " ms each and " + std::to_string(kSsmlPausesMaxMs) + " ms in all");
    job.plan = plan_speech(document, job.voice);
    job.ssml.clear();
    job.ssml.shrink_to_fit();
}

void SpeechWorker::speak(SpeechJob& job) {
    EventWriter writer(output_, job);
    if (!job.tone.empty() && !writer.audio(job.tone)) return;
    if (!job.ssml.empty()) plan_message(job);
    const auto stop = [&job] { return job.stop.load(); };
    ServerLink& link = job.link ? *job.link : link_;
    SpeakOutcome outcome = SpeakOutcome::Done;
    // A connection that broke before anything was heard (a server restarted
    // at that moment) is tried once more, on a new connection.
    for (int attempt = 0; attempt < 2 && !job.plan.empty() && !job.stop; ++attempt) {
        std::string error;
        ProtocolConnection* connection = link.ready(stop, error);
        if (!connection) {
            if (!job.stop) log_write("sd_sint: " + error);
            close_job(job, kEventStop);
            return;
        }
        PlanSpeaker speaker(*connection, stop, kWorkerReplyTimeoutMs);
        outcome = speaker.speak(job.plan, writer);
        if (outcome != SpeakOutcome::LostServer || writer.delivered()) break;
        log_write("sd_sint: the server broke off before the message was heard; trying again");
        link.drop();
    }
    if (job.stop) outcome = SpeakOutcome::Ended;
    switch (outcome) {
        case SpeakOutcome::Done:
            close_job(job, kEventEnd);
            break;
        case SpeakOutcome::Ended:
            // Stopped: what the server still sends for this job is not wanted.
            if (job.stop) link.drop();
            break;
        case SpeakOutcome::LostServer:
            log_write("sd_sint: the server broke off; the next message starts it again");
            link.drop();
            close_job(job, kEventStop);
            break;
    }
}

}  // namespace sint

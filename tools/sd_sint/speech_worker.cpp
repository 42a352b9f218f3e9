#include "tools/sd_sint/speech_worker.h"

#include <utility>

#include "core/log.h"
#include "tools/ssml/plan_speaker.h"

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
        const std::string event = audio_event(samples);
        const std::lock_guard lock(output_.mutex());
        if (job_.closed) return false;
        output_.write_locked(event);
        return true;
    }

    bool mark(const std::string& name) override {
        const std::lock_guard lock(output_.mutex());
        if (job_.closed) return false;
        output_.write_locked("700-" + name + "\n700 INDEX MARK\n");
        if (!job_.pause) return true;
        output_.write_locked(kEventPause);
        job_.closed = true;
        return false;
    }

    void sentence(std::string_view text) override {
        log_write("sd_sint: speaking \"" + std::string(text) + "\"");
    }

private:
    ModuleOutput& output_;
    SpeechJob& job_;
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

void SpeechWorker::speak(SpeechJob& job) {
    EventWriter writer(output_, job);
    if (!job.tone.empty() && !writer.audio(job.tone)) return;
    const auto stop = [&job] { return job.stop.load(); };
    SpeakOutcome outcome = SpeakOutcome::Done;
    if (!job.plan.empty()) {
        std::string error;
        ProtocolConnection* connection = link_.ready(stop, error);
        if (!connection) {
            if (!job.stop) log_write("sd_sint: " + error);
            close_job(job, kEventStop);
            return;
        }
        PlanSpeaker speaker(*connection, stop, kWorkerReplyTimeoutMs);
        outcome = speaker.speak(job.plan, writer);
    }
    switch (outcome) {
        case SpeakOutcome::Done:
            close_job(job, kEventEnd);
            break;
        case SpeakOutcome::Ended:
            // Stopped: what the server still sends for this job is not wanted.
            if (job.stop) link_.drop();
            break;
        case SpeakOutcome::LostServer:
            log_write("sd_sint: the server broke off; the next message starts it again");
            link_.drop();
            close_job(job, kEventStop);
            break;
    }
}

}  // namespace sint

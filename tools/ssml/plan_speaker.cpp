#include "tools/ssml/plan_speaker.h"

#include <algorithm>
#include <chrono>

namespace sint {
namespace {

// The pause for a blank between spelled letters.
constexpr int kSpelledSpaceMs = 250;

bool blank(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

// Hands the audio of one stretch to the listener, with the marks whose offsets
// (relative to the stretch, 0..length) fall into it placed proportionally.
bool deliver(std::span<const std::int16_t> samples, std::size_t length,
             const std::vector<std::pair<std::size_t, const std::string*>>& marks,
             PlanListener& listener) {
    std::size_t from = 0;
    for (const auto& [offset, name] : marks) {
        const std::size_t at =
            length == 0 ? 0 : std::min(samples.size(), samples.size() * offset / length);
        if (at > from && !listener.audio(samples.subspan(from, at - from))) return false;
        from = std::max(from, at);
        if (!listener.mark(*name)) return false;
    }
    return from >= samples.size() || listener.audio(samples.subspan(from));
}

}  // namespace

SpeakOutcome PlanSpeaker::send(const std::string& request) {
    return connection_.send_request(request) ? SpeakOutcome::Done : SpeakOutcome::LostServer;
}

SpeakOutcome PlanSpeaker::ask(const std::string& request, ReplyType type, Reply& reply) {
    if (const auto sent = send(request); sent != SpeakOutcome::Done) return sent;
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(reply_timeout_ms_);
    while (true) {
        if (stop_requested_ && stop_requested_()) return SpeakOutcome::Ended;
        if (const auto frame = connection_.receive(kReplySliceMs)) {
            reply = recognise_reply(frame->payload);
            if (reply.type == type) return SpeakOutcome::Done;
            continue;
        }
        if (!connection_.connected() || std::chrono::steady_clock::now() >= end)
            return SpeakOutcome::LostServer;
    }
}

SpeakOutcome PlanSpeaker::speak(const std::vector<PlanItem>& plan, PlanListener& listener) {
    for (const PlanItem& item : plan) {
        if (stop_requested_ && stop_requested_()) return SpeakOutcome::Ended;
        SpeakOutcome outcome = SpeakOutcome::Done;
        switch (item.kind) {
            case PlanItem::Kind::Mark:
                if (!listener.mark(item.text)) outcome = SpeakOutcome::Ended;
                break;
            case PlanItem::Kind::Silence: {
                const std::vector<std::int16_t> silence(
                    static_cast<std::size_t>(item.silence_ms) * kSamplesPerMs, 0);
                if (!silence.empty() && !listener.audio(silence)) outcome = SpeakOutcome::Ended;
                break;
            }
            case PlanItem::Kind::Speech:
                for (const auto& [command, value] : {std::pair{"TEMPO", item.settings.tempo},
                                                     std::pair{"SPEED", item.settings.speed},
                                                     std::pair{"PITCH", item.settings.pitch},
                                                     std::pair{"VOLUME", item.settings.volume}})
                    if (outcome == SpeakOutcome::Done)
                        outcome = send(command_request(command, value));
                if (outcome == SpeakOutcome::Done)
                    outcome = item.spell ? spell_text(item, listener) : speak_text(item, listener);
                break;
        }
        if (outcome != SpeakOutcome::Done) return outcome;
    }
    return SpeakOutcome::Done;
}

SpeakOutcome PlanSpeaker::speak_text(const PlanItem& item, PlanListener& listener) {
    const std::string_view text = item.text;
    std::size_t next_mark = 0;
    std::size_t done = 0;
    while (done < text.size()) {
        const std::string_view rest = text.substr(done);
        Reply reply;
        // Blank text (the layout between elements) needs no sentence query.
        if (blank(rest)) {
            reply.value = static_cast<long>(rest.size());
        } else {
            // The same small windows as plain text (find_sentence_end).
            SpeakOutcome asked = SpeakOutcome::Done;
            const auto answer = find_sentence_end(rest, [&](std::string_view window) {
                asked = ask(gfp_request(window), ReplyType::SentenceEnd, reply);
                return asked == SpeakOutcome::Done ? std::optional<long>(reply.value)
                                                   : std::nullopt;
            });
            if (!answer) return asked;
            reply.value = *answer;
        }
        // No sentence found, or an answer that makes no sense: the rest, in pieces.
        const std::size_t limit = std::min(rest.size(), kStreamTextMax);
        const std::size_t take = reply.value > 0 && static_cast<std::size_t>(reply.value) <= limit
                                     ? static_cast<std::size_t>(reply.value)
                                     : sentence_piece_end(rest.substr(0, limit));
        const std::string_view sentence = rest.substr(0, take);
        std::vector<std::pair<std::size_t, const std::string*>> marks;
        while (next_mark < item.marks.size() && item.marks[next_mark].offset < done + take) {
            const std::size_t offset = item.marks[next_mark].offset;
            marks.emplace_back(offset > done ? offset - done : 0, &item.marks[next_mark].name);
            ++next_mark;
        }
        done += take;
        std::vector<std::int16_t> samples;
        if (!blank(sentence)) {
            listener.sentence(sentence);
            if (const auto asked = ask(stream_request(sentence), ReplyType::Audio, reply);
                asked != SpeakOutcome::Done)
                return asked;
            samples = std::move(reply.samples);
        }
        if (!deliver(samples, take, marks, listener)) return SpeakOutcome::Ended;
    }
    for (; next_mark < item.marks.size(); ++next_mark)
        if (!listener.mark(item.marks[next_mark].name)) return SpeakOutcome::Ended;
    return SpeakOutcome::Done;
}

SpeakOutcome PlanSpeaker::spell_text(const PlanItem& item, PlanListener& listener) {
    std::size_t next_mark = 0;
    for (std::size_t i = 0; i <= item.text.size(); ++i) {
        for (; next_mark < item.marks.size() && item.marks[next_mark].offset <= i; ++next_mark)
            if (!listener.mark(item.marks[next_mark].name)) return SpeakOutcome::Ended;
        if (i == item.text.size()) break;
        const std::string letter(1, item.text[i]);
        if (blank(letter)) {
            const std::vector<std::int16_t> pause(kSpelledSpaceMs * kSamplesPerMs, 0);
            if (!listener.audio(pause)) return SpeakOutcome::Ended;
            continue;
        }
        // A request of one character is spoken by the server with the letter's name.
        listener.sentence(letter);
        Reply reply;
        if (const auto asked = ask(stream_request(letter), ReplyType::Audio, reply);
            asked != SpeakOutcome::Done)
            return asked;
        if (!reply.samples.empty() && !listener.audio(reply.samples)) return SpeakOutcome::Ended;
    }
    return SpeakOutcome::Done;
}

}  // namespace sint

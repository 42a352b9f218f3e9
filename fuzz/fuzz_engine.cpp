// Builds a fragment list from the input (actions, texts with any code units,
// NULs included) and a list of server answers (any sign and size), walks the
// words as the engine does and asks the finder where each sentence ends, then
// spreads random audio lengths over the words. Checks that the sentence end
// never passes the end of the text and that no word's audio leaves the buffer.
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "engine/sentence_finder.h"
#include "engine/tts_engine.h"
#include "engine/word_walk.h"

namespace {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint16_t word() { return static_cast<std::uint16_t>(byte() | (byte() << 8)); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    std::deque<long> answers;
    for (int n = in.byte() % 8; n > 0; --n) answers.push_back(static_cast<std::int16_t>(in.word()));

    std::deque<std::u16string> texts;
    std::deque<SPVTEXTFRAG> fragments;
    while (!in.empty() && fragments.size() < 64) {
        const std::uint8_t kind = in.byte();
        std::u16string text;
        for (int n = in.byte() % 40; n > 0; --n) text += static_cast<char16_t>(in.word());
        texts.push_back(text);
        SPVTEXTFRAG f{};
        f.State.eAction = static_cast<SPVACTIONS>(kind % 7);
        f.pTextStart = texts.back().data();
        f.ulTextLen = static_cast<ULONG>(text.size());
        fragments.push_back(f);
    }
    for (std::size_t i = 0; i + 1 < fragments.size(); ++i) fragments[i].pNext = &fragments[i + 1];
    const SPVTEXTFRAG* list = fragments.empty() ? nullptr : &fragments.front();

    sint::SentenceFinder finder([&answers](const std::string&) {
        if (answers.empty()) return 0L;
        const long answer = answers.front();
        answers.pop_front();
        return answer;
    });
    finder.build(list);
    std::vector<sint::SpeechItem> items;
    SPVSTATE speak{};
    speak.eAction = SPVA_Speak;
    for (const SPVTEXTFRAG* f = list; f; f = f->pNext) {
        if (f->State.eAction != SPVA_Speak) continue;
        const WCHAR* next = f->pTextStart;
        sint::WordSpan word;
        while (sint::take_word(next, f->pTextStart + f->ulTextLen, word)) {
            finder.ends_sentence(f, word.start, word.end);
            if (finder.sentence_end() > finder.text().size() + 1) std::abort();
            sint::SpeechItem item;
            item.state = &speak;
            item.length = static_cast<ULONG>(word.end - word.start);
            items.push_back(item);
        }
    }

    std::size_t total = 0;
    for (const sint::SpeechItem& item : items) total += item.length + 1;
    std::vector<std::uint8_t> audio(size % 5000);
    // A total cut short (as by an abort) must not lead outside the audio.
    for (std::size_t cut : {total, total / 2, std::size_t{1}}) {
        sint::spread_audio(items, audio.data(), audio.size(), cut);
        for (const sint::SpeechItem& item : items) {
            if (item.audio == nullptr) continue;
            if (item.audio < audio.data() ||
                item.audio + item.audio_length > audio.data() + audio.size() ||
                item.audio_length % 2 != 0)
                std::abort();
        }
    }
    return 0;
}

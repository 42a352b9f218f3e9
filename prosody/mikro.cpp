// TMikro: the run over a transcription: sentence extraction, tokens,
// punctuation pauses and the output records.
#include "prosody/mikro.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/log.h"
#include "core/status.h"

namespace sint {

namespace {

void set_name(ProsodyRecord& record, std::string_view name) {
    std::memset(record.name, 0, sizeof record.name);
    std::memcpy(record.name, name.data(), std::min<std::size_t>(name.size(), 3));
}

std::int16_t to_int16(int value) {
    return static_cast<std::int16_t>(std::clamp(value, -32768, 32767));
}

}  // namespace

bool TMikro::is_mark(char c, const std::vector<std::int32_t>& list) const {
    for (std::int32_t p : list) {
        if (profile_.marks[static_cast<std::size_t>(p)] == c) return true;
    }
    return false;
}

bool TMikro::next_sentence(std::string_view text, std::size_t& pos, std::string& sentence) const {
    const MikroProfile& p = profile_;
    const char space = p.marks[static_cast<std::size_t>(p.space)];
    auto is_white = [&](char c) {
        return c == space || p.white_space.find(c) != std::string::npos;
    };
    auto in_inventory = [&](char c) { return p.marks.find(c) != std::string::npos; };
    auto is_token_mark = [&](char c) { return is_mark(c, p.token_marks); };
    auto is_final = [&](char c) { return is_mark(c, p.final_marks); };

    sentence.clear();
    while (pos < text.size() && (is_white(text[pos]) || in_inventory(text[pos]))) ++pos;
    if (pos >= text.size()) return false;

    // Appends one character; white space becomes a single space, and marks are
    // kept apart from letters by one space.
    // A tag list in parentheses belongs to its word, commas included; it ends
    // at ")" or at white space.
    bool in_tags = false;
    auto put = [&](char c) {
        const char last = sentence.empty() ? '\0' : sentence.back();
        if (in_tags || (c == '(' && !sentence.empty() && last != space)) {
            in_tags = c != ')' && !is_white(c);
            if (in_tags || c == ')') {
                sentence.push_back(c);
                return;
            }
        }
        if (is_white(c)) {
            if (!sentence.empty() && last != space) sentence.push_back(space);
            return;
        }
        if (is_token_mark(c)) {
            if (!sentence.empty() && last != space && !is_token_mark(last)) {
                sentence.push_back(space);
            }
        } else if (!sentence.empty() && is_token_mark(last)) {
            sentence.push_back(space);
        }
        sentence.push_back(c);
    };
    while (pos < text.size() && (in_tags || !is_final(text[pos]))) put(text[pos++]);
    if (pos < text.size()) {
        // The final mark and the run of marks and spaces after it form one token
        // (with the marks right before it).
        if (!sentence.empty() && sentence.back() != space && !is_token_mark(sentence.back())) {
            sentence.push_back(space);
        }
        while (pos < text.size() && (is_token_mark(text[pos]) || is_white(text[pos]))) {
            if (is_token_mark(text[pos])) sentence.push_back(text[pos]);
            ++pos;
        }
    } else {
        while (!sentence.empty() && sentence.back() == space) sentence.pop_back();
        if (sentence.empty()) return false;
        if (!is_token_mark(sentence.back())) sentence.push_back(space);
        sentence.push_back(p.marks[static_cast<std::size_t>(p.final_marks[0])]);
    }
    return true;
}

void TMikro::punctuation(MikroWord& token) const {
    const MikroProfile& p = profile_;
    char mark = '\0';
    for (char c : token.text) {
        if (mark == '\0') {
            if (is_mark(c, p.token_marks)) mark = c;
        } else if (c != mark && is_mark(c, p.special_marks)) {
            mark = c;
        }
    }
    token.text.assign(1, mark == '\0' ? '.' : mark);
    // The pause sits at the mark's 1-based position in `Locila`; a token without
    // a listed mark takes the first entry.
    std::size_t index = 0;
    for (std::size_t i = 0; i < p.token_marks.size(); ++i) {
        if (p.marks[static_cast<std::size_t>(p.token_marks[i])] == token.text[0]) {
            index = i + 1;
            break;
        }
    }
    int pause = p.pauses[index];
    const int mode = rate_mode_used();
    if (mode == 1) pause = pause * p.k(34) / 100;
    if (mode == 2) pause = pause * p.k(35) / 100;
    token.durations.assign(1, pause);
    token.pitches.assign(1, 0);
}

bool TMikro::process_sentence(const std::string& sentence, bool ignore_tags, std::size_t capacity) {
    const MikroProfile& p = profile_;
    const char space = p.marks[static_cast<std::size_t>(p.space)];
    std::vector<MikroWord> tokens;
    try {
        std::size_t start = 0;
        while (start < sentence.size()) {
            std::size_t end = sentence.find(space, start);
            if (end == std::string::npos) end = sentence.size();
            if (end > start) {
                MikroWord token;
                token.text = sentence.substr(start, end - start);
                token.kind = is_mark(token.text[0], p.token_marks) ? 'l' : 'b';
                tokens.push_back(std::move(token));
            }
            start = end + 1;
        }
    } catch (const std::bad_alloc&) {
        report_error("Mikro: can not allocate sufficient memory space! \nStavek predolg!");
        return false;
    }

    // Phones and syllables first: a word without any phone drops out before the
    // positions are decided.
    for (MikroWord& token : tokens) {
        if (token.kind != 'b') continue;
        analyse_word(token, ignore_tags);
        if (token.phones.size() > kMikroWordPhonesMax) {
            report_error("Mikro: beseda ima vec kot 65 fonemov (" + token.text + ")");
            return false;
        }
    }
    std::erase_if(tokens, [](const MikroWord& t) { return t.kind == 'b' && t.phones.empty(); });

    for (std::size_t i = 0; i < tokens.size(); ++i) {
        MikroWord& token = tokens[i];
        if (token.kind != 'b') continue;
        if (i == 0) {
            token.position = 'Z';
        } else if (i + 1 >= tokens.size()) {
            token.position = 'K';
        } else if (tokens[i + 1].kind == 'b') {
            token.position = tokens[i - 1].kind == 'l' ? 'z' : 's';
        } else {
            const auto next = static_cast<unsigned char>(tokens[i + 1].text[0]);
            if (std::strchr("!$./?", next) != nullptr) {
                token.position = 'K';
            } else if (std::strchr(",-;|", next) != nullptr || next == 0x80) {
                token.position = 'k';
            } else {
                log_write("Napaka pri polozaju besede!\nLocil se ne da enostavno dodajat!");
                token.position = 'k';
            }
        }
    }

    for (std::size_t i = 0; i < tokens.size(); ++i) {
        MikroWord& token = tokens[i];
        if (token.kind == 'l') {
            punctuation(token);
        } else {
            word_durations(token);
            word_pitches(token);
        }
    }

    const char boundary_mark = p.marks[static_cast<std::size_t>(p.word_boundary)];
    const int boundary_pause = p.pauses[static_cast<std::size_t>(p.word_boundary)];
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const MikroWord& token = tokens[i];
        const bool boundary =
            token.kind == 'b' && i + 1 < tokens.size() && tokens[i + 1].kind == 'b';
        const std::size_t needed = (token.kind == 'b' ? token.phones.size() : 1) + boundary;
        if (static_cast<std::size_t>(count_) + needed > capacity) {
            report_error("Func. mikro(): Premajhen izhodni medpomnilnik!\n");
            return false;
        }
        if (token.kind == 'l') {
            ProsodyRecord& r = output_[static_cast<std::size_t>(count_++)];
            set_name(r, token.text);
            r.duration = to_int16(token.durations[0]);
            r.pitch = 0;
            continue;
        }
        for (std::size_t k = 0; k < token.phones.size(); ++k) {
            ProsodyRecord& r = output_[static_cast<std::size_t>(count_++)];
            set_name(r, p.phones[static_cast<std::size_t>(token.phones[k])]);
            r.duration = to_int16(token.durations[k]);
            r.pitch = to_int16(token.pitches[k]);
        }
        if (boundary) {
            ProsodyRecord& r = output_[static_cast<std::size_t>(count_++)];
            set_name(r, std::string_view(&boundary_mark, 1));
            r.duration = to_int16(boundary_pause);
            r.pitch = 0;
        }
    }
    last_sentence_ = std::move(tokens);
    return true;
}

int TMikro::run(std::string_view text, bool ignore_tags) {
    output_.clear();
    count_ = 0;
    if (!file_) {
        report_error("Napaka pri izvajanju mikroprozodike!");
        return kStageFailed;
    }
    // The text cannot yield more records than it has characters, plus the
    // final mark that may be added and the closing record.
    const std::size_t capacity = text.size() + 5;
    try {
        output_.assign(capacity + 1, ProsodyRecord{});
    } catch (const std::bad_alloc&) {
        report_error(
            "\nMikro: : can not allocate sufficient memory space! \nIzhodni buffer prevelik!\n\n");
        report_error("Napaka pri inicializaciji mikroprozodike!");
        return kNotPossible;
    }
    std::size_t pos = 0;
    std::string sentence;
    while (next_sentence(text, pos, sentence)) {
        if (!process_sentence(sentence, ignore_tags, capacity)) {
            report_error("Napaka pri izvajanju mikroprozodike!");
            output_.clear();
            count_ = 0;
            return kStageFailed;
        }
    }
    output_[static_cast<std::size_t>(count_)] = ProsodyRecord{};
    return 0;
}

}  // namespace sint

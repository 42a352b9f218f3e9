// The readings table of the default voice (tests/data/readings_sl.tsv): every
// row is a text with the reading, transcription or accent a Slovenian listener
// expects, so that a voice author adds a case without writing C++.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/cp1250.h"
#include "text/char_conversion.h"
#include "text_test_support.h"

namespace sint::test {
namespace {

struct Row {
    int line;
    std::string kind, input, expected;
};

std::vector<Row> read_table() {
    std::ifstream file(std::string(SINT_SOURCE_DIR) + "/tests/data/readings_sl.tsv");
    std::vector<Row> rows;
    int number = 0;
    for (std::string line; std::getline(file, line);) {
        ++number;
        if (line.empty() || line[0] == '#') continue;
        Row row{number, {}, {}, {}};
        std::istringstream fields(line);
        std::getline(fields, row.kind, '\t');
        std::getline(fields, row.input, '\t');
        std::getline(fields, row.expected, '\t');
        rows.push_back(row);
    }
    return rows;
}

// UTF-8 text in the engine's internal letter codes.
std::string internal(const std::string& utf8) {
    std::string text = utf8_to_cp1250(utf8);
    for (char& c : text) c = static_cast<char>(convert_letter(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> tokens(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream words(text);
    for (std::string word; words >> word;) out.push_back(word);
    return out;
}

std::string join(const std::vector<std::string>& words) {
    std::string out;
    for (const auto& w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

// The normalised text as a listener hears it: words, sentence ends and pauses;
// the marks the number stages leave (ellipsis, paragraph, signs) are no words.
std::string reading_of(const std::string& normalised) {
    std::vector<std::string> kept;
    for (std::string word : tokens(normalised)) {
        if (word == "-" || word == ";" || word == ":") word = ",";
        // The marks the voice speaks, as it speaks them.
        if (word == "\"") word = "pika";
        if (word == "'") word = "vejica";
        if (word == "\\") word = "minus";
        if (word == "+") word = "plus";
        const bool spoken =
            word.find_first_of(
                "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789~{`^[@") !=
            std::string::npos;
        if (spoken || word == "." || word == "?" || word == "!" || word == ",")
            kept.push_back(word);
    }
    return join(kept);
}

std::string without_final_dot(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// Accent letters of the table and the stressed phone each stands for.
struct Accent {
    std::string_view letter;  // UTF-8
    char vowel;               // plain letter
    std::string_view phones[2];
};
constexpr Accent kAccents[] = {
    {"á", 'a', {"a:", ""}},    {"à", 'a', {"a\"", ""}},    {"é", 'e', {"e:", ""}},
    {"ê", 'e', {"E:", ""}},    {"è", 'e', {"E\"", "@\""}}, {"í", 'i', {"i:", ""}},
    {"ì", 'i', {"i\"", ""}},   {"ó", 'o', {"o:", ""}},     {"ô", 'o', {"O:", ""}},
    {"ò", 'o', {"O\"", ""}},   {"ú", 'u', {"u:", ""}},     {"ù", 'u', {"u\"", ""}},
    {"ŕ", 'r', {"@:", "@\""}},
};

bool is_vowel_letter(char c) {
    return std::string_view("aeiouAEIOU").find(c) != std::string_view::npos;
}

// The 0-based syllable of the accent in a written word, the plain word and the
// accepted stressed phones; false when the word carries no accent.
bool parse_accent(const std::string& word, std::string& plain, int& syllable,
                  const Accent*& accent) {
    syllable = -1;
    accent = nullptr;
    plain.clear();
    std::vector<bool> marked;
    for (std::size_t i = 0; i < word.size();) {
        bool found = false;
        for (const Accent& a : kAccents) {
            if (word.compare(i, a.letter.size(), a.letter) == 0) {
                plain += a.vowel;
                marked.push_back(true);
                accent = &a;
                i += a.letter.size();
                found = true;
                break;
            }
        }
        if (!found) {
            plain += word[i++];
            marked.push_back(false);
        }
    }
    int nucleus = 0;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(plain[i])));
        bool is_nucleus = is_vowel_letter(c);
        if (c == 'r') {
            const bool vowel_before = i > 0 && is_vowel_letter(plain[i - 1]);
            const bool vowel_after = i + 1 < plain.size() && is_vowel_letter(plain[i + 1]);
            is_nucleus = !vowel_before && !vowel_after;
        }
        if (!is_nucleus) continue;
        if (marked[i]) syllable = nucleus;
        ++nucleus;
    }
    return accent != nullptr && syllable >= 0;
}

// The stressed phones of a transcription ("x:" or "x\"") with the 0-based
// syllable of each; a syllabic r is written "@r".
std::vector<std::pair<int, std::string>> stressed_phones(const std::string& phones) {
    std::vector<std::pair<int, std::string>> out;
    int nucleus = 0;
    for (std::size_t i = 0; i < phones.size(); ++i) {
        if (std::string_view("aeEioOu@").find(phones[i]) == std::string_view::npos) continue;
        if (i + 1 < phones.size() && (phones[i + 1] == ':' || phones[i + 1] == '"'))
            out.emplace_back(nucleus, phones.substr(i, 2));
        ++nucleus;
    }
    return out;
}

std::string check(TGFP& engine, const Row& row) {
    if (row.kind == "reading") {
        std::string letters;
        engine.set_stage_observer([&](std::string_view stage, const std::string& text) {
            if (stage == "letters") letters = text;
        });
        engine.convert_text(utf8_to_cp1250(row.input).c_str(), true);
        engine.set_stage_observer(nullptr);
        const std::string got = reading_of(letters);
        return got == reading_of(internal(row.expected)) ? "" : got;
    }
    if (row.kind == "phones") {
        engine.convert_text(utf8_to_cp1250(row.input).c_str(), true);
        const std::string got = without_final_dot(engine.result_text());
        return got == row.expected ? "" : got;
    }
    if (row.kind == "accent") {
        std::string plain;
        int syllable = 0;
        const Accent* accent = nullptr;
        if (!parse_accent(row.expected, plain, syllable, accent)) return "(no accent in the row)";
        const std::string input = row.input.empty() ? plain : row.input;
        engine.convert_text(utf8_to_cp1250(input).c_str(), true);
        const std::string got = without_final_dot(engine.result_text());
        const auto stressed = stressed_phones(got);
        if (stressed.size() != 1 || stressed[0].first != syllable) return got;
        for (std::string_view phone : accent->phones)
            if (!phone.empty() && stressed[0].second == phone) return "";
        return got;
    }
    return "(unknown kind " + row.kind + ")";
}

TEST(Readings, TableOfEverydayTextReadsAsAListenerExpects) {
    const std::vector<Row> rows = read_table();
    ASSERT_GE(rows.size(), 200u);
    TGFP& engine = default_engine();
    int passed = 0;
    for (const Row& row : rows) {
        const std::string got = check(engine, row);
        if (got.empty()) {
            ++passed;
            continue;
        }
        ADD_FAILURE() << "readings_sl.tsv:" << row.line << " " << row.kind << " \"" << row.input
                      << "\": expected \"" << row.expected << "\", got \"" << got << "\"";
    }
    std::cout << "readings: " << passed << " of " << rows.size() << " pass\n";
}

}  // namespace
}  // namespace sint::test

#include "text/word_tags.h"

#include <string_view>

namespace sint {
namespace {

bool is_tag_letter(char c) {
    return c == 'A' || c == 'C' || c == 'L' || c == 'T' || c == 'X';
}

}  // namespace

void strip_tags(WordTagRecord& record) {
    std::string word;
    std::string tags;
    const std::string& in = record.word;
    for (std::size_t i = 0; i < in.size(); ++i) {
        word.push_back(in[i]);
        if (in[i] != ':') continue;
        std::size_t end = i + 1;
        while (end < in.size() && is_tag_letter(in[end])) ++end;
        if (end > i + 1) {
            if (!tags.empty()) tags.push_back(',');
            tags.append(in, i + 1, end - i - 1);
            i = end - 1;
        }
    }
    for (char& c : tags) {
        if (c == 'T') c = 'S';
    }
    record.tags = tags.substr(0, kWordTagMax);
    record.word = (word + "(" + record.tags + ")").substr(0, kWordTagMax);
}

bool split_tags(WordTagRecord& record) {
    const std::string in = record.word;
    const std::size_t open = in.find('(');
    if (open == std::string::npos) {
        record.tags.clear();
        return false;
    }
    std::size_t close = in.find(')', open + 1);
    if (close == std::string::npos) close = in.size();
    record.word = in.substr(0, open);
    record.tags = in.substr(open + 1, close - open - 1).substr(0, kWordTagMax);
    return !record.tags.empty();
}

char classify_tags(const std::string& tags) {
    bool a = false;
    bool c = false;
    std::size_t start = 0;
    while (start <= tags.size()) {
        std::size_t end = tags.find_first_of("(,)", start);
        if (end == std::string::npos) end = tags.size();
        const std::string_view tag = std::string_view(tags).substr(start, end - start);
        if (tag.find('X') != std::string_view::npos) return 'x';
        a = a || tag.find('A') != std::string_view::npos;
        c = c || tag.find('C') != std::string_view::npos;
        start = end + 1;
    }
    return a ? 'a' : c ? 'c' : '-';
}

}  // namespace sint

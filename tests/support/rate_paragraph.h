// The paragraph of the speaking-rate measurements, which the rate test and
// bench_rate share: tests/data/rate_paragraph_sl.txt, a sentence a line in
// UTF-8, each spoken as one request as sint-say sends them.
#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace sint::test {

inline std::vector<std::string> rate_paragraph() {
    std::vector<std::string> sentences;
    std::ifstream in(std::string(SINT_SOURCE_DIR) + "/tests/data/rate_paragraph_sl.txt");
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) sentences.push_back(line);
    return sentences;
}

}  // namespace sint::test

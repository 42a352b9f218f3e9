#include "server/startup_status.h"

namespace sint {

std::string status_error_line(std::string_view message) {
    std::string line = "E ";
    for (char c : message) line.push_back(c == '\n' || c == '\r' ? ' ' : c);
    while (line.size() > 2 && line.back() == ' ') line.pop_back();
    line.push_back('\n');
    return line;
}

void read_status_lines(const std::string& received, StartupWatch::Outcome& outcome) {
    std::size_t at = 0;
    for (std::size_t end; (end = received.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = received.substr(at, end - at);
        if (line == "S") outcome.serving = true;
        if (line.rfind("E ", 0) == 0) outcome.messages.push_back(line.substr(2));
    }
}

}  // namespace sint

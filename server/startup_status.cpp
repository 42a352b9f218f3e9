#include "server/startup_status.h"

namespace sint {

std::string status_error_line(std::string_view message) {
    std::string line = "E ";
    for (char c : message) line.push_back(c == '\n' || c == '\r' ? ' ' : c);
    while (line.size() > 2 && line.back() == ' ') line.pop_back();
    line.push_back('\n');
    return line;
}

}  // namespace sint

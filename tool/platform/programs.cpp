#include "platform/programs.h"

#include <sstream>

namespace vandrel::tool {

std::string LastOutputLine(const std::string& output) {
    std::istringstream lines(output);
    std::string line;
    std::string last;
    while (std::getline(lines, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.pop_back();
        }
        if (!line.empty()) {
            last = line;
        }
    }
    return last.empty() ? "it said nothing" : last;
}

}  // namespace vandrel::tool

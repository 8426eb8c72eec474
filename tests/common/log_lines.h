// Searches of a log file's text for the lines of one level.
#pragma once
#include <sstream>
#include <string>

// True when the log holds a line of that level ending in message.
inline bool LogHasLineEndingIn(const std::string& log, int level, const std::string& message) {
    std::istringstream lines(log);
    const std::string tag = " " + std::to_string(level) + " LUMOR ";
    for (std::string line; std::getline(lines, line);)
        if (line.find(tag) != std::string::npos && line.size() >= message.size() &&
            line.compare(line.size() - message.size(), message.size(), message) == 0)
            return true;
    return false;
}

// True when the log holds a line of that level containing text.
inline bool LogHasLineContaining(const std::string& log, int level, const std::string& text) {
    std::istringstream lines(log);
    const std::string tag = " " + std::to_string(level) + " LUMOR ";
    for (std::string line; std::getline(lines, line);)
        if (line.find(tag) != std::string::npos && line.find(text) != std::string::npos) return true;
    return false;
}

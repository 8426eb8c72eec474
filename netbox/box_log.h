// The box's own log: one time-stamped line per event, to a file or to standard error.
#pragma once
#include <cstdio>
#include <mutex>
#include <string>

class BoxLog {
public:
    // "" or "-": standard error. False when the file cannot be opened.
    bool Open(const std::string& path);
    ~BoxLog();
    void Line(const std::string& text);

private:
    std::mutex mutex_;
    FILE* file_ = nullptr;
};

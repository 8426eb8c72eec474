// Log channel: one line per message to a UDP, file or stderr target.
#pragma once
#include <cstdarg>

// Default target of the channel built before the configuration is known.
#define LUMORA_DEFAULT_LOG_TARGET "udp://127.0.0.1:7447"
#define LUMORA_DEFAULT_LOG_LEVEL 8
#define LUMORA_LOG_CHANNEL "LUMOR"

class Log {
public:
    // target: "udp://HOST:PORT", "file:PATH" or "stderr"; level: lines above it are dropped.
    Log(const char* target, int level, const char* option, const char* channel);
    virtual ~Log();

    void printf(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void vprintf(int level, const char* format, va_list args);
    // Second form: a tag and a format.
    void log(int level, const char* tag, const char* format, ...) __attribute__((format(printf, 4, 5)));

    int level() const { return level_; }
    const char* target() const;

private:
    struct Impl;
    Impl* impl_;
    int level_;
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;
};

// The process log channel and its lock: writers share it, a replacement takes it exclusively.
#include "platform/log_channel.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <new>
#include <shared_mutex>

namespace {

Log* channel = nullptr;

// Built on first use in static storage and never destroyed, so that lines written while the
// process ends (from other libraries' destructors) still find a valid lock. No heap block: when
// the library is unloaded, nothing is left behind.
std::shared_mutex& ChannelMutex() {
    alignas(std::shared_mutex) static unsigned char storage[sizeof(std::shared_mutex)];
    static std::shared_mutex* mutex = new (storage) std::shared_mutex();
    return *mutex;
}

}  // namespace

Log* LogChannel() { return channel; }

void ReplaceLogChannel(Log* replacement) {
    Log* old;
    {
        std::unique_lock<std::shared_mutex> lock(ChannelMutex());
        old = channel;
        channel = replacement;
    }
    delete old;
}

Log* NewDefaultLogChannel() {
    return new (std::nothrow)
        Log(LUMORA_DEFAULT_LOG_TARGET, LUMORA_DEFAULT_LOG_LEVEL, "", LUMORA_LOG_CHANNEL);
}

void LogPrint(int level, const char* format, ...) {
    std::shared_lock<std::shared_mutex> lock(ChannelMutex());
    if (!channel) return;
    va_list args;
    va_start(args, format);
    channel->vprintf(level, format, args);
    va_end(args);
}

void LogTagged(int level, const char* tag, const char* format, ...) {
    std::shared_lock<std::shared_mutex> lock(ChannelMutex());
    if (!channel || level > channel->level()) return;
    char message[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    channel->log(level, tag, "%s", message);
}

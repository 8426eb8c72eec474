// The process log channel: every line of the system goes through LogPrint.
#pragma once
#include "platform/log.h"

enum LogLevel {
    LOG_ERROR = 3,
    LOG_WARNING = 4,
    LOG_INFO = 5,
    LOG_CALL = 6,
    LOG_DETAIL = 7,
    LOG_TRACE = 8,
};

// The current channel (null before the first one is built or after the last is dropped:
// then nothing is written).
Log* LogChannel();
// Puts channel in place of the current one (null drops it) and deletes the old one; writers
// never see a deleted channel.
void ReplaceLogChannel(Log* channel);
// The initial channel: loopback UDP at level 8, used until the configuration names another.
Log* NewDefaultLogChannel();

// Writes one line at the given level through the current channel.
void LogPrint(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// The second form (tag and format) through the current channel.
void LogTagged(int level, const char* tag, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The process log channel: every line of the system goes through LogPrint.
#pragma once
#include "platform/log.h"

// The current channel (may be null: then nothing is written).
Log* LogChannel();
// Replaces the channel by one configured by the configuration service (falls back to the
// initial loopback UDP channel at level 8 when the service does not answer).
void RebuildLogChannel();
// Writes one line at the given level through the current channel.
void LogPrint(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// The second form (tag and format) through the current channel.
void LogTagged(int level, const char* tag, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

enum LogLevel {
    LOG_ERROR = 3,
    LOG_WARNING = 4,
    LOG_INFO = 5,
    LOG_CALL = 6,
    LOG_DETAIL = 7,
    LOG_TRACE = 8,
};

#include "config/log_configuration.h"

#include <cstdio>
#include <new>

#include "config/zrconfigwr.h"
#include "platform/log_channel.h"

void RebuildLogChannel() {
    char target[1024] = "";
    char option[1024] = "";
    int level = LUMORA_DEFAULT_LOG_LEVEL;
    if (ConfigService().ZRCGetLogConfiguration(ZRC_LOG_CHANNEL, target, &level, option) != 0) {
        std::snprintf(target, sizeof target, "%s", LUMORA_DEFAULT_LOG_TARGET);
        level = LUMORA_DEFAULT_LOG_LEVEL;
        option[0] = '\0';
    }
    target[sizeof target - 1] = '\0';
    option[sizeof option - 1] = '\0';
    ReplaceLogChannel(new (std::nothrow) Log(target, level, option, LUMORA_LOG_CHANNEL));
}

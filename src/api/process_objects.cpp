// The objects that exist from library load to unload, built in this order and destroyed in
// the reverse order: the configuration document, the first configuration-service wrapper, the
// image-processing library wrapper, the second configuration-service wrapper, the log channel.
#include <cstdarg>
#include <cstdio>
#include <new>

#include "api/log_channel.h"
#include "config/config_file.h"
#include "config/zrconfigwr.h"
#include "imagefile/zrip_wrapper.h"

ini2 ConfigIni;

namespace {

struct ProcessObjects {
    zrconfigwr firmwareService;
    ZRIP_Wrapper zrip;
    zrconfigwr configService;
    Log* channel = nullptr;

    ProcessObjects()
        : channel(new Log(LUMORA_DEFAULT_LOG_TARGET, LUMORA_DEFAULT_LOG_LEVEL, "",
                          LUMORA_LOG_CHANNEL)) {}
    ~ProcessObjects() {
        delete channel;
        channel = nullptr;
    }
};

ProcessObjects& Objects() {
    // Built on first use, which the load-time constructor below forces; never destroyed
    // before code that runs at unload (ApiExit) has finished with it.
    static ProcessObjects* objects = new ProcessObjects();
    return *objects;
}

}  // namespace

zrconfigwr& FirmwareConfigService() { return Objects().firmwareService; }
zrconfigwr& ConfigService() { return Objects().configService; }
ZRIP_Wrapper& Zrip() { return Objects().zrip; }
Log* LogChannel() { return Objects().channel; }

void RebuildLogChannel() {
    ProcessObjects& objects = Objects();
    delete objects.channel;
    objects.channel = nullptr;
    char target[1024] = "";
    char option[1024] = "";
    int level = LUMORA_DEFAULT_LOG_LEVEL;
    if (objects.configService.ZRCGetLogConfiguration(1, target, &level, option) != 0) {
        std::snprintf(target, sizeof target, "%s", LUMORA_DEFAULT_LOG_TARGET);
        level = LUMORA_DEFAULT_LOG_LEVEL;
        option[0] = '\0';
    }
    target[sizeof target - 1] = '\0';
    option[sizeof option - 1] = '\0';
    objects.channel = new (std::nothrow) Log(target, level, option, LUMORA_LOG_CHANNEL);
}

void LogPrint(int level, const char* format, ...) {
    Log* channel = LogChannel();
    if (!channel) return;
    va_list args;
    va_start(args, format);
    channel->vprintf(level, format, args);
    va_end(args);
}

void LogTagged(int level, const char* tag, const char* format, ...) {
    Log* channel = LogChannel();
    if (!channel || level > channel->level()) return;
    char message[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    channel->log(level, tag, "%s", message);
}

// Library load: build the process objects and rebuild the log channel from the service.
__attribute__((constructor)) static void LumoraProcessAttach() {
    Objects();
    RebuildLogChannel();
}

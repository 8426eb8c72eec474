// The objects that exist from library load to unload, built in this order and destroyed in
// the reverse order: the configuration document, the first configuration-service wrapper, the
// image-processing library wrapper, the second configuration-service wrapper, the log channel.
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <new>
#include <shared_mutex>

#include "api/log_channel.h"
#include "api/process_state.h"
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

ProcessObjects* objects = nullptr;
// Writers of log lines share the channel; a rebuild replaces it exclusively.
std::shared_mutex channelMutex;

ProcessObjects& Objects() {
    if (!objects) objects = new ProcessObjects();
    return *objects;
}

}  // namespace

zrconfigwr& FirmwareConfigService() { return Objects().firmwareService; }
zrconfigwr& ConfigService() { return Objects().configService; }
ZRIP_Wrapper& Zrip() { return Objects().zrip; }
Log* LogChannel() { return objects ? objects->channel : nullptr; }

void RebuildLogChannel() {
    ProcessObjects& current = Objects();
    char target[1024] = "";
    char option[1024] = "";
    int level = LUMORA_DEFAULT_LOG_LEVEL;
    if (current.configService.ZRCGetLogConfiguration(ZRC_LOG_CHANNEL, target, &level, option) !=
        0) {
        std::snprintf(target, sizeof target, "%s", LUMORA_DEFAULT_LOG_TARGET);
        level = LUMORA_DEFAULT_LOG_LEVEL;
        option[0] = '\0';
    }
    target[sizeof target - 1] = '\0';
    option[sizeof option - 1] = '\0';
    Log* replacement = new (std::nothrow) Log(target, level, option, LUMORA_LOG_CHANNEL);
    Log* old;
    {
        std::unique_lock<std::shared_mutex> lock(channelMutex);
        old = current.channel;
        current.channel = replacement;
    }
    delete old;
}

void LogPrint(int level, const char* format, ...) {
    std::shared_lock<std::shared_mutex> lock(channelMutex);
    Log* channel = LogChannel();
    if (!channel) return;
    va_list args;
    va_start(args, format);
    channel->vprintf(level, format, args);
    va_end(args);
}

void LogTagged(int level, const char* tag, const char* format, ...) {
    std::shared_lock<std::shared_mutex> lock(channelMutex);
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

// Library unload (dlclose or process end): ApiExit after a local initialisation, then the
// process objects in the reverse order of their construction.
__attribute__((destructor)) static void LumoraProcessDetach() {
    if (ApiExitAtUnload) {
        ApiExitAtUnload = false;
        ApiExit();
    }
    ProcessObjects* finished = objects;
    {
        std::unique_lock<std::shared_mutex> lock(channelMutex);
        objects = nullptr;
    }
    delete finished;
}

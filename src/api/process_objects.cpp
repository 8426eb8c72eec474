// The objects that exist from library load to unload, built in this order and destroyed in
// the reverse order: the configuration document, the first configuration-service wrapper, the
// image-processing library wrapper, the second configuration-service wrapper, the log channel.
// The configuration document is a static object of its own; the others are built here.
#include "api/process_state.h"
#include "config/log_configuration.h"
#include "config/zrconfigwr.h"
#include "imagefile/zrip_wrapper.h"
#include "platform/api_lock.h"
#include "platform/log_channel.h"

// Library load: build the process objects and rebuild the log channel from the service.
__attribute__((constructor)) static void LumoraProcessAttach() {
    CreateConfigService(ConfigServiceRole::Firmware);
    CreateZrip();
    CreateConfigService(ConfigServiceRole::General);
    if (!LogChannel()) ReplaceLogChannel(NewDefaultLogChannel());
    RebuildLogChannel();
}

// Library unload (dlclose or process end): ApiExit after a local initialisation (the API
// object alone after a network one), then the process objects in the reverse order of their
// construction. At process end without dlclose this runs after the library's static objects
// were destroyed: what it uses lives on the heap (the process objects, the log channel's lock,
// the API semaphore's handle).
__attribute__((destructor)) static void LumoraProcessDetach() {
    if (ApiExitAtUnload) {
        ApiExitAtUnload = false;
        ApiExit();
    }
    // A network initialisation does not register ApiExit; its API object goes with the library.
    delete TheScannerApi;
    TheScannerApi = nullptr;
    ReplaceLogChannel(nullptr);
    DestroyConfigService(ConfigServiceRole::General);
    DestroyZrip();
    DestroyConfigService(ConfigServiceRole::Firmware);
    DestroyApiSemaphoreHandle();
}

// Open_Scanner: the local open sequence, or the open on the network box with a private copy
// of the configuration that names the application's image directory.
#include "api/exports/gates.h"
#include "imagefile/image_utilities.h"
#include "imagefind/output_mode.h"
#include "scanner/local_scanner.h"
#include "config/config_file.h"
#include "config/image_numbering.h"
#include "config/paths.h"
#include "netclient/client.h"
#include "platform/ini2.h"

namespace {

int OpenRemote(int paramSet) {
    char iniPath[CONFIG_PATH_MAX + 1] = "";
    if (IniFileName(iniPath) != 0) {
        LogPrint(LOG_ERROR, "Inifile %s not found!", iniPath);
        return LUMORA_E_INIT;
    }
    LogPrint(LOG_INFO, "Inifile found at %s", iniPath);

    // The full name of the file just loaded: the path handed out above is bounded to 260.
    ini2 copy;
    copy.load(ConfigIni.getFilename());

    char imagePath[1024] = "";
    GetImagePath(imagePath, sizeof imagePath);
    imagePath[sizeof imagePath - 1] = '\0';
    // The box numbers after this, so that no name comes twice into the folder.
    int highest = imagePath[0] ? HighestNumberUsed(imagePath) : 0;

    copy.set("Scanner", "ImagePath", imagePath);
    LogPrint(LOG_CALL,
             "%s corred imagepath (%s) in lumora.ini befor client_open_scanner() in netbox...",
             "Open_Scanner", imagePath);
    int result = client_open_scanner(paramSet, copy.getBuffer(), int(copy.getSize()) + 1, highest);
    // The box learns the imaging-application mode whatever the open gave.
    ATRIUM_Mode(AtriumMode ? 1 : 0, 0);
    return result;
}

}  // namespace

LUMORA_EXPORT int Open_Scanner(int paramSet) {
    LogPrint(LOG_DETAIL, "Open_Scanner");
    int result = InitGate();
    if (result == 0) result = remote ? OpenRemote(paramSet) : OpenSequence(paramSet);
    // Any failure or warning returns the library to its loaded state.
    if (result != 0) ApiExit();
    LogPrint(LOG_CALL, "%s ret=%d", "Open_Scanner", result);
    return result;
}

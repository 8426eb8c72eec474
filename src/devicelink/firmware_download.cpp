#include "devicelink/firmware_download.h"

#include <cstdlib>

#include "devicelink/driver_codes.h"
#include "devicelink/firmware_image.h"
#include "lumora/lumora.h"

namespace devicelink {

int InitFirmware(ScannerLink& link, const char* hexFile, int onlyIfNotRunning) {
    if (onlyIfNotRunning && link.FirmwareRunning()) return 0;
    uint32_t status = 0;
    if (!link.Request(IOCTL_CONFIG_STATUS, nullptr, 0, &status, sizeof status, nullptr))
        return link.RequestError();
    if (status & STATUS_BIT_RUNNING) return LUMORA_E_FW_CONFIG_STATUS;

    uint8_t* image = nullptr;
    uint32_t length = 0;
    int rc = ReadFirmwareImage(hexFile, &image, &length);
    if (rc != 0) return rc;

    status = 0;
    bool sent = link.Request(IOCTL_DOWNLOAD, image, length, &status, sizeof status, nullptr);
    std::free(image);
    if (!sent) return link.RequestError();
    return (status & STATUS_BIT_RUNNING) ? 0 : LUMORA_E_FW_NOT_RUNNING;
}

}  // namespace devicelink

// Explanations of the library's result codes, one line each.
#include "commands.h"

const char* Explain(int code) {
    switch (code) {
    case LUMORA_OK: return "success";
    case LUMORA_E_NO_FILENAME: return "no free image file name, or a file cannot be created";
    case LUMORA_E_NOT_FOUND: return "not found, or bad arguments";
    case LUMORA_E_FIRMWARE: return "the firmware cannot be loaded";
    case LUMORA_E_NOT_OPEN: return "the library is not initialised or the scanner is not open";
    case LUMORA_E_UNKNOWN_CTRL: return "unknown control code";
    case LUMORA_E_ARMED: return "the scanner is armed";
    case LUMORA_E_SCANNER_OPEN: return "the scanner is open";
    case LUMORA_E_DISK_SPACE: return "not enough free disk space or memory";
    case LUMORA_E_NO_PLATE_TYPE: return "the device accepts no plate type";
    case LUMORA_E_MODEL_CHANGED: return "the configuration was changed; open again";
    case LUMORA_E_NO_CONFIG_FILE: return "the configuration file cannot be obtained";
    case LUMORA_E_NO_CONFIG_SERVICE: return "the configuration service is missing";
    case LUMORA_E_NO_MEMORY: return "no memory";
    case LUMORA_E_BUFFER_RAM: return "unsupported buffer RAM";
    case LUMORA_E_RANGE: return "an argument is out of range";
    case LUMORA_E_BLOCK_READ: return "a block read failed";
    case LUMORA_E_INIT:
        return "initialisation failed: configuration file missing or empty, bad interface, "
               "device or firmware not available";
    case LUMORA_E_FW_FILE: return "firmware file missing";
    case LUMORA_E_FW_CHECKSUM: return "firmware record checksum wrong";
    case LUMORA_E_FW_NOT_RUNNING: return "firmware not running after the download";
    case LUMORA_E_FW_CONFIG_STATUS: return "configuration status set before the download";
    case LUMORA_E_NO_STREAM: return "no scan data";
    case LUMORA_E_I2C_NACK: return "a device on the I2C bus did not answer";
    case LUMORA_E_CONFIG_MISSING: return "configuration file not found or empty";
    case LUMORA_E_INLET_BUSY: return "the inlet is not free";
    case LUMORA_E_LASER_TEMP: return "laser over-temperature";
    case LUMORA_E_PLATE_TIMEOUT: return "time-out waiting for a plate";
    case LUMORA_E_OLD_DATA: return "images left in the scanner were saved; open again";
    case LUMORA_E_SERIAL: return "the scanner's serial number differs from the configured one";
    case LUMORA_E_ERASE_UNIT: return "power supply or erase unit fault";
    case LUMORA_E_REMOTE: return "the network box did not answer";
    case LUMORA_E_BOX_ANSWER: return "unexpected answer from the network box";
    case LUMORA_W_AMBIENT_LIGHT: return "ambient light too bright";
    case LUMORA_W_OLD_IMAGES: return "image files were left over";
    case LUMORA_W_BAD_SCRIPT: return "an image-operation script is not usable";
    case LUMORA_W_LAMP_LIFETIME: return "a lamp's lifetime is exceeded";
    case LUMORA_E_STATUS_BUSY: return "another status call is running";
    case LUMORA_E_API_LOCK: return "the API lock was not obtained";
    }
    if (code > 0) return "system error from the device driver";
    if (code <= -1100 && code >= -1150) return "lamp or erase-unit fault";
    if (code <= -1014 && code >= -1018) return "unsuitable reference image";
    return "error";
}

// SANE entry points of libsane-lumora.so (named sane_lumora_* for SANE's dll backend).
// One device, "lumora": the plate scanner that liblumora.so drives with its configuration.
// Options: parameter set, mode Gray, depth 16 or 8, negative, and the read-only resolution
// and plate kind of the set. sane_start arms and waits for the next plate; sane_read streams
// the finished image in host byte order; sane_cancel disarms and keeps the scanner open.
#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "backend_config.h"
#include "driver_api.h"
#include "plate_device.h"

#define SANE_ENTRY extern "C" __attribute__((visibility("default")))

namespace {

constexpr SANE_Int BUILD = 1;
const char* const DEVICE_NAME = "lumora";

enum Option {
    OPT_COUNT,
    OPT_MODE_GROUP,
    OPT_SET,
    OPT_MODE,
    OPT_DEPTH,
    OPT_NEGATIVE,
    OPT_RESOLUTION,
    OPT_KIND,
    OPT_TOTAL
};

const SANE_String_Const MODES[] = {SANE_VALUE_SCAN_MODE_GRAY, nullptr};
const SANE_Word DEPTHS[] = {2, 8, 16};

struct Handle {
    std::unique_ptr<PlateDevice> device;
    SANE_Option_Descriptor options[OPT_TOTAL]{};
    std::vector<SANE_String_Const> setList;  // the set names, null-terminated
    SANE_Int depth = 16;
    SANE_Bool negative = SANE_FALSE;
    char kind[16] = "";
    // the image being read
    std::atomic<bool> scanning{false};
    std::vector<SANE_Byte> bytes;
    size_t position = 0;
    SANE_Parameters parameters{SANE_FRAME_GRAY, SANE_TRUE, 0, 0, 0, 16};
};

BackendConfig config;
const DriverApi* driver = nullptr;
Handle* openHandle = nullptr;
// Set by sane_cancel while sane_start waits; read by the wait loop. sane_cancel may run in a
// signal handler or another thread: it only writes these flags then (lock-free atomics).
std::atomic<int> cancelRequested{0};
std::atomic<int> busy{0};
static_assert(std::atomic<int>::is_always_lock_free, "async-signal-safe flags");

const SANE_Device device{DEVICE_NAME, "Lumora", "storage-phosphor plate scanner",
                         "X-ray plate scanner"};
const SANE_Device* deviceList[] = {&device, nullptr};
const SANE_Device* emptyList[] = {nullptr};

SANE_Status StatusOf(int code) {
    switch (code) {
        case LUMORA_OK: return SANE_STATUS_GOOD;
        case LUMORA_E_SCANNER_OPEN:
        case LUMORA_E_INLET_BUSY:
        case LUMORA_E_API_LOCK: return SANE_STATUS_DEVICE_BUSY;
        case LUMORA_E_DISK_SPACE:
        case LUMORA_E_NO_MEMORY: return SANE_STATUS_NO_MEM;
        case LUMORA_E_NOT_FOUND: return SANE_STATUS_INVAL;
        default: return SANE_STATUS_IO_ERROR;
    }
}

void Warn(const std::string& what, int code) {
    std::fprintf(stderr, "[lumora] %s (code %d)\n", what.c_str(), code);
}

void FillKind(Handle* h) {
    std::snprintf(h->kind, sizeof h->kind, "%s", PlateKindName(h->device->Facts().kind));
}

void DescribeOptions(Handle* h) {
    SANE_Option_Descriptor* o = h->options;
    o[OPT_COUNT] = {SANE_NAME_NUM_OPTIONS, SANE_TITLE_NUM_OPTIONS, SANE_DESC_NUM_OPTIONS,
                    SANE_TYPE_INT, SANE_UNIT_NONE, sizeof(SANE_Word), SANE_CAP_SOFT_DETECT,
                    SANE_CONSTRAINT_NONE, {nullptr}};
    o[OPT_MODE_GROUP] = {"", "Scan mode", "", SANE_TYPE_GROUP, SANE_UNIT_NONE, 0, 0,
                         SANE_CONSTRAINT_NONE, {nullptr}};
    // pointers into the device's names, which live as long as the handle
    h->setList.clear();
    size_t longest = 1;
    for (const std::string& n : h->device->SetNames()) {
        h->setList.push_back(n.c_str());
        longest = std::max(longest, n.size() + 1);
    }
    h->setList.push_back(nullptr);
    o[OPT_SET] = {"parameter-set", "Parameter set",
                  "Parameter set of the scanner's configuration: resolution, plate kind, "
                  "image processing",
                  SANE_TYPE_STRING, SANE_UNIT_NONE, SANE_Int(longest),
                  SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT, SANE_CONSTRAINT_STRING_LIST,
                  {nullptr}};
    o[OPT_SET].constraint.string_list = h->setList.data();
    SANE_Int modeSize = SANE_Int(std::strlen(MODES[0]) + 1);
    o[OPT_MODE] = {SANE_NAME_SCAN_MODE, SANE_TITLE_SCAN_MODE, SANE_DESC_SCAN_MODE,
                   SANE_TYPE_STRING, SANE_UNIT_NONE, modeSize,
                   SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT, SANE_CONSTRAINT_STRING_LIST,
                   {nullptr}};
    o[OPT_MODE].constraint.string_list = MODES;
    o[OPT_DEPTH] = {SANE_NAME_BIT_DEPTH, SANE_TITLE_BIT_DEPTH,
                    "16: the plate values as the driver's image file holds them; 8: square-root "
                    "coded to the image's white level",
                    SANE_TYPE_INT, SANE_UNIT_BIT, sizeof(SANE_Word),
                    SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT, SANE_CONSTRAINT_WORD_LIST,
                    {nullptr}};
    o[OPT_DEPTH].constraint.word_list = DEPTHS;
    o[OPT_NEGATIVE] = {SANE_NAME_NEGATIVE, SANE_TITLE_NEGATIVE,
                       "Plate values grow with the dose: bone is dark. Negative makes it bright.",
                       SANE_TYPE_BOOL, SANE_UNIT_NONE, sizeof(SANE_Word),
                       SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT, SANE_CONSTRAINT_NONE, {nullptr}};
    o[OPT_RESOLUTION] = {SANE_NAME_SCAN_RESOLUTION, SANE_TITLE_SCAN_RESOLUTION,
                         "Resolution of the parameter set (read only)", SANE_TYPE_INT,
                         SANE_UNIT_DPI, sizeof(SANE_Word), SANE_CAP_SOFT_DETECT,
                         SANE_CONSTRAINT_NONE, {nullptr}};
    FillKind(h);
    o[OPT_KIND] = {"plate-kind", "Plate kind",
                   "Kind of plate the parameter set scans: intra, extra, pano, ceph (read only)",
                   SANE_TYPE_STRING, SANE_UNIT_NONE, SANE_Int(sizeof h->kind), SANE_CAP_SOFT_DETECT,
                   SANE_CONSTRAINT_NONE, {nullptr}};
}

SANE_Int ResolutionDpi(const Handle* h) {
    const double um = h->device->Facts().resolutionX;
    return um > 0 ? SANE_Int(std::lround(25400.0 / um)) : 0;
}

// The finished image as SANE bytes: 16-bit samples in host byte order, or 8-bit ones
// square-root coded by the driver's own conversion.
void PrepareBytes(Handle* h) {
    const PlateImage& image = h->device->image();
    const size_t n = image.pixels.size();
    if (h->depth == 8) {
        h->bytes.assign(n, 0);
        unsigned short white = 0;
        driver->convert16To8(image.pixels.data(), h->bytes.data(), image.width, image.height, 0,
                             &white);
        if (h->negative)
            for (SANE_Byte& b : h->bytes) b = SANE_Byte(255 - b);
    } else {
        h->bytes.resize(n * 2);
        for (size_t i = 0; i < n; ++i) {
            const uint16_t v = h->negative ? uint16_t(65535 - image.pixels[i]) : image.pixels[i];
            std::memcpy(&h->bytes[2 * i], &v, 2);
        }
    }
    h->position = 0;
    h->parameters = {SANE_FRAME_GRAY, SANE_TRUE, SANE_Int(image.width * (h->depth / 8)),
                     SANE_Int(image.width), SANE_Int(image.height), h->depth};
}

}  // namespace

SANE_ENTRY SANE_Status sane_lumora_init(SANE_Int* version, SANE_Auth_Callback) {
    if (version) *version = SANE_VERSION_CODE(SANE_CURRENT_MAJOR, 0, BUILD);
    config = LoadBackendConfig();
    std::string error;
    driver = LoadDriver(config.library, &error);
    if (!driver) Warn(error, LUMORA_E_INIT);
    return SANE_STATUS_GOOD;  // without the driver the backend simply lists no device
}

SANE_ENTRY void sane_lumora_exit(void) {
    if (openHandle) {
        delete openHandle;
        openHandle = nullptr;
    }
    if (driver) driver->apiExit();
}

SANE_ENTRY SANE_Status sane_lumora_get_devices(const SANE_Device*** list, SANE_Bool) {
    if (!list) return SANE_STATUS_INVAL;
    // Listed when the driver loads and its configuration names parameter sets.
    const bool present = driver && (openHandle || (driver->apiInit(), driver->paramCount() > 0));
    *list = present ? deviceList : emptyList;
    return SANE_STATUS_GOOD;
}

SANE_ENTRY SANE_Status sane_lumora_open(SANE_String_Const name, SANE_Handle* handle) {
    if (!driver || !handle) return SANE_STATUS_INVAL;
    if (name && *name && std::strcmp(name, DEVICE_NAME) != 0) return SANE_STATUS_INVAL;
    if (openHandle) return SANE_STATUS_DEVICE_BUSY;  // the driver drives one scanner
    auto h = std::make_unique<Handle>();
    h->device = std::make_unique<PlateDevice>(*driver, config);
    int r = h->device->Open(1);
    if (r != 0) {
        Warn("cannot open the scanner", r);
        return StatusOf(r);
    }
    DescribeOptions(h.get());
    openHandle = h.release();
    *handle = openHandle;
    return SANE_STATUS_GOOD;
}

SANE_ENTRY void sane_lumora_close(SANE_Handle handle) {
    if (handle && handle == openHandle) {
        delete openHandle;
        openHandle = nullptr;
    }
}

SANE_ENTRY const SANE_Option_Descriptor* sane_lumora_get_option_descriptor(SANE_Handle handle,
                                                                         SANE_Int n) {
    auto* h = static_cast<Handle*>(handle);
    if (!h || n < 0 || n >= OPT_TOTAL) return nullptr;
    return &h->options[n];
}

namespace {

SANE_Status SetOption(Handle* h, SANE_Int n, void* value, SANE_Int* info) {
    switch (n) {
        case OPT_SET: {
            const auto& names = h->device->SetNames();
            auto it = std::find(names.begin(), names.end(), static_cast<const char*>(value));
            if (it == names.end()) return SANE_STATUS_INVAL;
            const int number = int(it - names.begin()) + 1;
            if (number == h->device->Set()) return SANE_STATUS_GOOD;
            int r = h->device->ChangeSet(number);
            if (r != 0) {
                Warn("cannot open the scanner with the parameter set", r);
                return StatusOf(r);
            }
            FillKind(h);
            if (info) *info |= SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS;
            return SANE_STATUS_GOOD;
        }
        case OPT_MODE:
            return std::strcmp(static_cast<const char*>(value), MODES[0]) == 0 ? SANE_STATUS_GOOD
                                                                              : SANE_STATUS_INVAL;
        case OPT_DEPTH: {
            const SANE_Word d = *static_cast<SANE_Word*>(value);
            if (d != 8 && d != 16) return SANE_STATUS_INVAL;
            h->depth = d;
            if (info) *info |= SANE_INFO_RELOAD_PARAMS;
            return SANE_STATUS_GOOD;
        }
        case OPT_NEGATIVE: {
            const SANE_Word b = *static_cast<SANE_Word*>(value);
            if (b != SANE_TRUE && b != SANE_FALSE) return SANE_STATUS_INVAL;
            h->negative = b;
            return SANE_STATUS_GOOD;
        }
        default:
            return SANE_STATUS_INVAL;  // read-only or unknown
    }
}

SANE_Status GetOption(Handle* h, SANE_Int n, void* value) {
    switch (n) {
        case OPT_COUNT: *static_cast<SANE_Word*>(value) = OPT_TOTAL; break;
        case OPT_SET:
            std::snprintf(static_cast<char*>(value), size_t(h->options[OPT_SET].size), "%s",
                          h->device->SetNames()[size_t(h->device->Set() - 1)].c_str());
            break;
        case OPT_MODE: std::strcpy(static_cast<char*>(value), MODES[0]); break;
        case OPT_DEPTH: *static_cast<SANE_Word*>(value) = h->depth; break;
        case OPT_NEGATIVE: *static_cast<SANE_Word*>(value) = h->negative; break;
        case OPT_RESOLUTION: *static_cast<SANE_Word*>(value) = ResolutionDpi(h); break;
        case OPT_KIND: std::strcpy(static_cast<char*>(value), h->kind); break;
        default: return SANE_STATUS_INVAL;
    }
    return SANE_STATUS_GOOD;
}

}  // namespace

namespace {

// Ends an acquisition: the image is dropped and the scanner disarmed; it stays open.
void EndAcquisition(Handle* h) {
    h->scanning = false;
    h->bytes.clear();
    h->position = 0;
    h->device->Disarm();
}

}  // namespace

SANE_ENTRY SANE_Status sane_lumora_control_option(SANE_Handle handle, SANE_Int n,
                                                  SANE_Action action, void* value,
                                                  SANE_Int* info) {
    auto* h = static_cast<Handle*>(handle);
    if (info) *info = 0;
    if (!h || n < 0 || n >= OPT_TOTAL || n == OPT_MODE_GROUP || !value) return SANE_STATUS_INVAL;
    if (action == SANE_ACTION_GET_VALUE) return GetOption(h, n, value);
    if (action != SANE_ACTION_SET_VALUE) return SANE_STATUS_INVAL;
    if (h->scanning) return SANE_STATUS_DEVICE_BUSY;
    if (!(h->options[n].cap & SANE_CAP_SOFT_SELECT)) return SANE_STATUS_INVAL;
    return SetOption(h, n, value, info);
}

SANE_ENTRY SANE_Status sane_lumora_get_parameters(SANE_Handle handle, SANE_Parameters* p) {
    auto* h = static_cast<Handle*>(handle);
    if (!h || !p) return SANE_STATUS_INVAL;
    if (!h->scanning) {
        // Before the plate is read its size is not known.
        h->parameters = {SANE_FRAME_GRAY, SANE_TRUE, 0, 0, -1, h->depth};
    }
    *p = h->parameters;
    return SANE_STATUS_GOOD;
}

SANE_ENTRY SANE_Status sane_lumora_start(SANE_Handle handle) {
    auto* h = static_cast<Handle*>(handle);
    if (!h) return SANE_STATUS_INVAL;
    if (cancelRequested) EndAcquisition(h);  // a cancel that came while an image was read
    if (h->scanning) return SANE_STATUS_DEVICE_BUSY;
    cancelRequested = 0;
    busy = 1;
    const Acquire result = h->device->NextImage(&cancelRequested);
    busy = 0;
    switch (result) {
        case Acquire::Image:
            PrepareBytes(h);
            h->scanning = true;
            return SANE_STATUS_GOOD;
        case Acquire::Cancelled: return SANE_STATUS_CANCELLED;
        case Acquire::Timeout: return SANE_STATUS_NO_DOCS;
        case Acquire::Failed: break;
    }
    Warn(h->device->error(), h->device->code());
    return StatusOf(h->device->code());
}

SANE_ENTRY SANE_Status sane_lumora_read(SANE_Handle handle, SANE_Byte* data, SANE_Int max,
                                        SANE_Int* length) {
    auto* h = static_cast<Handle*>(handle);
    if (length) *length = 0;
    if (!h || !data || !length || max < 0) return SANE_STATUS_INVAL;
    if (cancelRequested) {
        EndAcquisition(h);
        return SANE_STATUS_CANCELLED;
    }
    if (!h->scanning) return SANE_STATUS_INVAL;
    const size_t left = h->bytes.size() - h->position;
    if (left == 0) {
        h->scanning = false;
        return SANE_STATUS_EOF;
    }
    const size_t n = std::min(left, size_t(max));
    std::memcpy(data, h->bytes.data() + h->position, n);
    h->position += n;
    *length = SANE_Int(n);
    return SANE_STATUS_GOOD;
}

SANE_ENTRY void sane_lumora_cancel(SANE_Handle handle) {
    auto* h = static_cast<Handle*>(handle);
    if (!h) return;
    cancelRequested = 1;
    // While sane_start waits or an image is read, this may run in a signal handler: the
    // waiting loop or the next sane_read (or sane_start) ends the acquisition.
    if (busy || h->scanning) return;
    EndAcquisition(h);
}

SANE_ENTRY SANE_Status sane_lumora_set_io_mode(SANE_Handle handle, SANE_Bool nonBlocking) {
    if (!handle) return SANE_STATUS_INVAL;
    return nonBlocking ? SANE_STATUS_UNSUPPORTED : SANE_STATUS_GOOD;
}

SANE_ENTRY SANE_Status sane_lumora_get_select_fd(SANE_Handle, SANE_Int*) {
    return SANE_STATUS_UNSUPPORTED;
}

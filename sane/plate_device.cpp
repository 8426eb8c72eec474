#include "plate_device.h"

#include <time.h>

#include <chrono>

namespace {

void SleepMs(long ms) {
    timespec t{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, nullptr);  // a signal ends it early: the caller looks at its flag
}

}  // namespace

int PlateDevice::Open(int number) {
    if (open_) Close();
    setNames_.clear();
    int init = api_.apiInit();
    const int count = api_.paramCount();
    if (count < 1) return init != 0 ? init : LUMORA_E_NOT_FOUND;
    for (int n = 1; n <= count; ++n) {
        char name[260] = "";
        api_.paramName(name, n);
        name[sizeof name - 1] = '\0';
        setNames_.push_back(name);
    }
    if (number < 1 || number > count) return LUMORA_E_NOT_FOUND;
    int r = api_.open(number);
    if (r == LUMORA_W_OLD_IMAGES || r == LUMORA_W_LAMP_LIFETIME) {
        // The scanner is open; the warning returned the library to its loaded state.
        r = api_.apiInit();
        if (r != 0) api_.close();
    }
    if (r != 0) return r;
    open_ = true;
    set_ = number;
    char path[260] = "";
    facts_ = ParamSetFacts{};
    if (api_.iniFileName(path) != 0 || !ReadParamSetFacts(path, number, &facts_))
        facts_.name = setNames_[size_t(number - 1)];
    return 0;
}

void PlateDevice::Close() {
    if (!open_) return;
    Disarm();
    api_.close();
    open_ = false;
}

int PlateDevice::ChangeSet(int number) {
    if (number == set_ && open_) return 0;
    const int previous = set_;
    Close();
    int r = Open(number);
    if (r != 0 && Open(previous) != 0) open_ = false;
    return r;
}

void PlateDevice::Disarm() {
    if (armed_) api_.disarm();
    armed_ = false;
}

Acquire PlateDevice::Fail(const std::string& what, int code) {
    error_ = what;
    code_ = code;
    Disarm();
    return Acquire::Failed;
}

// Loads the next image the driver hands out; false when none waits.
bool PlateDevice::TakeWaitingImage() {
    char name[1024] = "";
    if (api_.imageName(name) <= 0 || !name[0]) return false;
    name[sizeof name - 1] = '\0';
    std::string why;
    code_ = LoadPlateImage(name, &image_, &why);
    if (code_ != 0) {
        error_ = std::string(name) + ": " + why;
        return true;
    }
    if (!config_.keepImages) api_.deleteImage(name);
    return true;
}

Acquire PlateDevice::NextImage(const std::atomic<int>* cancel) {
    error_.clear();
    code_ = 0;
    image_ = PlateImage{};
    if (!open_) return Fail("the scanner is not open", LUMORA_E_NOT_OPEN);
    if (!armed_) {
        int r = api_.arm();
        if (r != 0 && r != LUMORA_W_AMBIENT_LIGHT) return Fail("Aktivate_Scanner failed", r);
        armed_ = true;
    }
    const auto start = std::chrono::steady_clock::now();
    while (!cancel->load()) {
        const int word = api_.status();
        if (word < 0 && word != LUMORA_E_STATUS_BUSY) return Fail("Get_Status failed", word);
        if (word > 0 && (word & LUMORA_STATUS_IMAGES_MASK) && TakeWaitingImage())
            return code_ == 0 ? Acquire::Image : Fail(error_, code_);
        if (config_.plateTimeoutS > 0 &&
            std::chrono::steady_clock::now() - start >= std::chrono::seconds(config_.plateTimeoutS)) {
            Disarm();
            return Acquire::Timeout;
        }
        SleepMs(config_.pollIntervalMs);
    }
    Disarm();
    return Acquire::Cancelled;
}

// The scanner behind one SANE handle: opened with a parameter set, armed by each acquisition,
// one finished image at a time.
#pragma once
#include <atomic>
#include <string>
#include <vector>

#include "backend_config.h"
#include "driver_api.h"
#include "export/plate_image.h"
#include "export/plate_kind.h"

enum class Acquire { Image, Cancelled, Timeout, Failed };

class PlateDevice {
public:
    PlateDevice(const DriverApi& api, const BackendConfig& config) : api_(api), config_(config) {}
    ~PlateDevice() { Close(); }

    // Reads the parameter sets and opens the scanner with set `number` (1 ...). The driver's
    // result code (a warning that leaves the scanner open counts as success).
    int Open(int number);
    void Close();
    bool IsOpen() const { return open_; }

    // Closes and opens again with another set; the driver's result code.
    int ChangeSet(int number);
    int Set() const { return set_; }
    const std::vector<std::string>& SetNames() const { return setNames_; }
    const ParamSetFacts& Facts() const { return facts_; }

    // Arms (when not armed) and polls until an image waits, then reads it into image().
    // Stops early when *cancel becomes non-zero (set from a signal handler or another thread).
    Acquire NextImage(const std::atomic<int>* cancel);
    // Disarms when armed.
    void Disarm();

    const PlateImage& image() const { return image_; }
    const std::string& error() const { return error_; }
    int code() const { return code_; }

private:
    bool TakeWaitingImage();
    Acquire Fail(const std::string& what, int code);

    const DriverApi& api_;
    BackendConfig config_;
    bool open_ = false;
    bool armed_ = false;
    int set_ = 1;
    std::vector<std::string> setNames_;
    ParamSetFacts facts_;
    PlateImage image_;
    std::string error_;
    int code_ = 0;
};

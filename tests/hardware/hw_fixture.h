// Fixture of the hardware tests: a HW_access on the EPP port opened on the emulator, with
// every driver request recorded on its way to the device.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "config/scanner_settings.h"
#include "devicelink/driver_codes.h"
#include "hardware/hw_access.h"
#include "lumora_emu/emulator.h"

// Passes requests to the opened port and keeps, for each, the code and the register address
// (selected or read) with the value written.
class RecordingPort : public platform::DriverPort {
public:
    struct Entry {
        uint32_t code;
        uint32_t address;
        uint32_t value;
    };

    explicit RecordingPort(platform::DriverPort* inner) : inner_(inner) {}
    ~RecordingPort() override { delete inner_; }

    bool Request(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                 uint32_t* returned) override {
        Entry e{code, 0, 0};
        if (in && inSize == 4 &&
            (code == IOCTL_SELECT || code == IOCTL_READ8 || code == IOCTL_READ16 ||
             code == IOCTL_READ32))
            std::memcpy(&e.address, in, 4);
        if (code == IOCTL_SELECT) selected_ = e.address;
        if (code == IOCTL_WRITE8 || code == IOCTL_WRITE16 || code == IOCTL_WRITE32) {
            e.address = selected_;
            if (in && inSize <= 4) std::memcpy(&e.value, in, inSize);
        }
        entries.push_back(e);
        return inner_->Request(code, in, inSize, out, outSize, returned);
    }
    const char* Name() const override { return inner_->Name(); }

    // Values written to a register, in order (8-, 16- or 32-bit writes).
    std::vector<uint32_t> Writes(uint32_t reg) const {
        std::vector<uint32_t> values;
        for (const Entry& e : entries)
            if ((e.code == IOCTL_WRITE8 || e.code == IOCTL_WRITE16 || e.code == IOCTL_WRITE32) &&
                e.address == reg)
                values.push_back(e.value);
        return values;
    }
    size_t Count(uint32_t code) const {
        size_t n = 0;
        for (const Entry& e : entries) n += e.code == code;
        return n;
    }
    void Clear() { entries.clear(); }

    std::vector<Entry> entries;

private:
    platform::DriverPort* inner_;
    uint32_t selected_ = 0;
};

class HwTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("LUMORA_EPP_DEVICE", "emulator", 1);
        unsetenv("LUMORA_EMULATOR");
        emu().Reset();
        emu().SetFirmwareRunning(true);
        Device = DeviceRecord{};
        ASSERT_EQ(hw.OpenDevice(), 0);
        ASSERT_NE(hw.hDevice, nullptr);
        port = new RecordingPort(hw.hDevice);
        hw.hDevice = port;
        ASSERT_EQ(hw.Init_Interface(), 0);
        port->Clear();
        emu().ClearI2cTraffic();
    }

    static lumora_emu::Device& emu() { return lumora_emu::TheDevice(); }

    // Applies a device description to the emulator.
    static void Describe(const std::string& text) {
        std::vector<std::string> warnings;
        emu().LoadDescriptionText(text, &warnings);
        ASSERT_TRUE(warnings.empty()) << warnings.front();
        emu().SetFirmwareRunning(true);  // a new description restarts the device
    }

    HW_access hw;
    RecordingPort* port = nullptr;
};

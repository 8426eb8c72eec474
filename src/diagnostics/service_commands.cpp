#include "diagnostics/service_commands.h"

#include <cerrno>
#include <cstring>

#include "config/scanner_settings.h"
#include "devicelink/registers.h"
#include "diagnostics/calibration_maker.h"
#include "diagnostics/diagnostic_channels.h"
#include "diagnostics/hardware_tests.h"
#include "diagnostics/hv_procedures.h"
#include "diagnostics/report.h"
#include "diagnostics/service_context.h"
#include "hardware/hw_access.h"
#include "lumora/lumora.h"
#include "platform/clock.h"
#include "platform/driver_port.h"
#include "platform/log_channel.h"

namespace {

constexpr int MAX_HV_VOLTS = 1200;
constexpr double VOLTS_PER_DAC_COUNT = 4.883;
constexpr uint16_t POLYGON_MIN = 2000, POLYGON_MAX = 7000;
constexpr uint32_t PROM_WRITE_PAUSE_MS = 20;
constexpr int PROM_BYTES = 256;
constexpr int PATH_MAX_BYTES = 4096;
constexpr uint16_t PRESENT = 0xFFFF;
constexpr uint8_t LAMP_BUTTON_ERASE = 5, LAMP_BUTTON_OFF = 255;

// The command's arguments, checked for length before anything reads them.
class Args {
public:
    Args(const void* in, int inSize, void* out, int outSize, int* outLen)
        : in_(static_cast<const uint8_t*>(in)), inSize_(in ? inSize : 0),
          out_(static_cast<uint8_t*>(out)), outSize_(out ? outSize : 0), outLen_(outLen) {}

    bool HasIn(int bytes) const { return inSize_ >= bytes; }
    bool HasOut(int bytes) const { return outSize_ >= bytes; }
    int InSize() const { return inSize_; }
    int OutSize() const { return outSize_; }
    const uint8_t* In() const { return in_; }
    uint8_t* Out() const { return out_; }
    uint8_t U8(int at) const { return in_[at]; }
    uint16_t U16(int at) const {
        uint16_t v;
        std::memcpy(&v, in_ + at, sizeof v);
        return v;
    }
    uint32_t U32(int at) const {
        uint32_t v;
        std::memcpy(&v, in_ + at, sizeof v);
        return v;
    }
    // A NUL-terminated text within the input, or null.
    const char* Text() const {
        if (inSize_ < 1) return nullptr;
        const int n = inSize_ < PATH_MAX_BYTES ? inSize_ : PATH_MAX_BYTES;
        return std::memchr(in_, 0, size_t(n)) ? reinterpret_cast<const char*>(in_) : nullptr;
    }
    template <typename T>
    void Put(T value) const {
        std::memcpy(out_, &value, sizeof value);
        Used(sizeof value);
    }
    void Used(size_t bytes) const {
        if (outLen_) *outLen_ = int(bytes);
    }

private:
    const uint8_t* in_;
    int inSize_;
    uint8_t* out_;
    int outSize_;
    int* outLen_;
};

// A register write's result: 0, or the error number of the failed driver request.
int WriteResult(int ok) {
    if (ok) return 0;
    const int error = platform::LastError();
    return error ? error : EIO;
}

// Runs a high-voltage procedure twice: a result below 1 ends it at once; the second result
// goes to out when it is a voltage.
template <typename Procedure>
int RunTwice(const Args& a, Procedure procedure) {
    int r = procedure();
    if (r < 1) return r;
    r = procedure();
    if (r < 1) return r;
    a.Put(uint32_t(r));
    return 0;
}

int LampSwitch(HW_access& dev, uint16_t on) {
    if (on) {
        dev.RegWrite(reg::LAMP1_CMD, 1);
        dev.RegWrite(reg::LAMP2_CMD, 1);
        dev.RegWrite(reg::LAMP_ERASE, 1);
    } else {
        dev.RegWrite(reg::LAMP_ERASE, 0);
    }
    dev.RegWrite(reg::ERASE_MODE, 0);
    return 0;
}

int LampControl(HW_access& dev, uint8_t a, uint8_t b) {
    if (Device.ScannerKind == SCANNER_KIND_CALYXA) {
        if (a != 1 && a != 2) return LUMORA_E_RANGE;
        return WriteResult(dev.RegWrite(a == 1 ? reg::LAMP1_CTRL42 : reg::LAMP2_CTRL4A, b));
    }
    if (b == LAMP_BUTTON_ERASE) return WriteResult(dev.RegWrite(reg::ERASE_MODE, 1));
    if (b == LAMP_BUTTON_OFF) return WriteResult(dev.RegWrite(reg::ERASE_MODE, 0));
    return 0;
}

}  // namespace

bool IsServiceCommand(unsigned code) {
    return (code >= SVC_HV_CALIBRATION && code <= SVC_HV_WIZARD) || code == SVC_LAMP_SWITCH ||
           code == SVC_LAMP_CONTROL;
}

int RunServiceCommand(const ServiceContext& c, unsigned code, const void* in, int inSize,
                      void* out, int outSize, int* outLen) {
    if (outLen) *outLen = 0;
    const Args a(in, inSize, out, outSize, outLen);
    HW_access& dev = *c.device;
    switch (code) {
        case SVC_HV_CALIBRATION: {
            if (!a.HasIn(4) || !a.HasOut(4)) return LUMORA_E_RANGE;
            const uint32_t pixelNm = a.U32(0);
            return RunTwice(a, [&] { return HighVoltageCalibration(c, pixelNm); });
        }
        case SVC_PROM_READ: {
            if (!a.HasIn(1) || !a.HasOut(1)) return LUMORA_E_RANGE;
            const int n = a.OutSize() < PROM_BYTES ? a.OutSize() : PROM_BYTES;
            const int r = dev.I2C_PROM_read(a.Out(), a.U8(0), 0, uint8_t(n - 1));
            if (r == 0) a.Used(size_t(n));
            return r;
        }
        case SVC_REG_READ8:
            if (!a.HasIn(1) || !a.HasOut(1)) return LUMORA_E_RANGE;
            a.Put(dev.RegRead(a.U8(0)));
            return 0;
        case SVC_REG_READ16:
            if (!a.HasIn(1) || !a.HasOut(2)) return LUMORA_E_RANGE;
            a.Put(dev.RegReadShort(a.U8(0)));
            return 0;
        case SVC_REG_READ32:
            if (!a.HasIn(1) || !a.HasOut(4)) return LUMORA_E_RANGE;
            a.Put(dev.RegReadLong(a.U8(0)));
            return 0;
        case SVC_REG_WRITE8:
            if (!a.HasIn(2)) return LUMORA_E_RANGE;
            return WriteResult(dev.RegWrite(a.U8(0), a.U8(1)));
        case SVC_REG_WRITE16:
            if (!a.HasIn(4)) return LUMORA_E_RANGE;
            return WriteResult(dev.RegWriteShort(a.U8(0), a.U16(2)));
        case SVC_REG_WRITE32:
            if (!a.HasIn(8)) return LUMORA_E_RANGE;
            return WriteResult(dev.RegWriteLong(a.U8(0), a.U32(4)));
        case SVC_SET_HV: {
            if (!a.HasIn(2)) return LUMORA_E_RANGE;
            const uint16_t volts = a.U16(0);
            if (volts > MAX_HV_VOLTS) return LUMORA_E_RANGE;
            int dac = int(volts / VOLTS_PER_DAC_COUNT);
            if (dac > 255) dac = 255;
            return dev.I2C_DACout(i2c::ADC_DAC, uint8_t(dac));
        }
        case SVC_DIAGNOSTIC: {
            if (!a.HasIn(1) || !a.HasOut(4)) return LUMORA_E_RANGE;
            int32_t value = 0;
            const int r = ReadDiagnosticChannel(&dev, a.U8(0), &value);
            if (r == 0) a.Put(value);
            return r;
        }
        case SVC_LINE_TEST: {
            if (!a.HasIn(2) || !a.HasOut(LINE_TEST_VALUES * 2)) return LUMORA_E_RANGE;
            uint16_t values[LINE_TEST_VALUES] = {};
            const int r = LineTest(c, a.U16(0), values);
            std::memcpy(a.Out(), values, sizeof values);
            a.Used(sizeof values);
            return r;
        }
        case SVC_TRANSFER_TEST: {
            if (!a.HasIn(6) || !a.HasOut(8)) return LUMORA_E_RANGE;
            TransferTestResult result;
            const int r = TransferTest(c, a.U16(0), a.U16(2), a.U16(4), &result);
            const uint32_t words[2] = {result.bytes, result.transferErrors};
            std::memcpy(a.Out(), words, sizeof words);
            a.Used(sizeof words);
            return r;
        }
        case SVC_PROM_WRITE: {
            if (!a.HasIn(3)) return LUMORA_E_RANGE;
            const uint8_t device = a.U8(0), first = a.U8(1), last = a.U8(2);
            if (last < first || a.InSize() < last - first + 4) return LUMORA_E_RANGE;
            const int r = dev.I2C_PROM_write(a.In() + 3, device, first, last);
            platform::WaitMs(PROM_WRITE_PAUSE_MS);
            return r;
        }
        case SVC_POLYGON: {
            if (!a.HasIn(2)) return LUMORA_E_RANGE;
            const uint16_t speed = a.U16(0);
            if (speed != 0 && (speed < POLYGON_MIN || speed > POLYGON_MAX)) return LUMORA_E_RANGE;
            return dev.Pentamotor_init(speed);
        }
        case SVC_PRESENT:
            if (!a.HasOut(2)) return LUMORA_E_RANGE;
            a.Put(PRESENT);
            return 0;
        case SVC_REPORT: {
            const char* path = a.Text();
            if (!path) return LUMORA_E_RANGE;
            return WriteReport(path, &dev, c.interfaceKind);
        }
        case SVC_MAKE_CALIBRATION: {
            const char* path = a.Text();
            if (!path) return LUMORA_E_RANGE;
            return MakeCalibrationFile(path);
        }
        case SVC_HV_WIZARD:
            if (!a.HasOut(4)) return LUMORA_E_RANGE;
            return RunTwice(a, [&] { return HighVoltageWizard(c, HV_WIZARD_TIMEOUT_MS); });
        case SVC_LAMP_SWITCH:
            if (!a.HasIn(2)) return LUMORA_E_RANGE;
            return LampSwitch(dev, a.U16(0));
        case SVC_LAMP_CONTROL:
            if (!a.HasIn(2)) return LUMORA_E_RANGE;
            return LampControl(dev, a.U8(0), a.U8(1));
        default:
            return LUMORA_E_UNKNOWN_CTRL;
    }
}

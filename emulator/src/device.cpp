// The one emulated device: set-up from its description, time, and the C++ API.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include <sys/stat.h>

#include "device_state.h"
#include "phantoms.h"

namespace lumora_emu {

State::State() {
    bus.Attach(i2c_address::kIdentificationProm, &idprom);
    bus.Attach(i2c_address::kDataProm, &datprom);
    bus.Attach(i2c_address::kAdcDac, &adc);
    idprom.writable = [this] { return regs[registers::kEepromWriteEnable] == bits::kIdpromWritable; };
    idprom.onCommit = [this] { Persist(); };
    datprom.onCommit = [this] { Persist(); };
    spd.writable = [] { return false; };
    adc.convert = [this](int channel) { return AdcConvert(channel); };
    tempLaser.celsius = [this] { return cfg.laserTemp; };
    tempSecond.celsius = [this] { return cfg.secondTemp; };
}

void State::FirmwareRestart() {
    regs.fill(0);
    regs[registers::kI2cPins] = bits::kSda | bits::kScl;  // bus idle
    pins.Reset();
    fifo.Clear();
    lineCounter = 0;
    statusEvents = 0;
    checksum = 0;
    selected = 0;
}

constexpr off_t kMaxDescriptionBytes = 4 << 20;

static void Warn(const std::string& text) { std::fprintf(stderr, "lumora-emu: %s\n", text.c_str()); }

static bool ReadFile(const std::string& path, std::string* text, std::string* error) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        *error = "cannot read " + path + ": not a regular file";
        return false;
    }
    if (stat(path.c_str(), &st) == 0 && st.st_size > kMaxDescriptionBytes) {
        *error = "cannot read " + path + ": larger than a device description can be";
        return false;
    }
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        *error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream ss;
    ss << f.rdbuf();
    if (f.bad()) {
        *error = "cannot read " + path;
        return false;
    }
    *text = ss.str();
    return true;
}

void State::Persist() {
    if (cfg.persistFile.empty()) return;
    std::string tmp = cfg.persistFile + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) {
        Warn("cannot write EEPROM file " + tmp + ": " + std::strerror(errno));
        return;
    }
    bool ok = std::fwrite(idprom.data.data(), 1, 256, f) == 256 &&
              std::fwrite(datprom.data.data(), 1, 256, f) == 256;
    ok = (std::fclose(f) == 0) && ok;
    if (!ok || std::rename(tmp.c_str(), cfg.persistFile.c_str()) != 0) {
        Warn("cannot write EEPROM file " + cfg.persistFile);
        std::remove(tmp.c_str());
    }
}

// Stream of earlier scans for the buffer RAM: step-wedge plates at slot 1 with their
// run-out lines, as many words as asked for (cut at a unit).
static std::vector<uint32_t> OldScanData(size_t words, uint16_t anzPix) {
    PlateImage plate;
    MakePhantom("stepwedge", 0, 0, &plate);
    std::vector<uint32_t> out;
    out.reserve(words);
    auto unit = [](uint16_t a, uint16_t b) { return uint32_t(a) | uint32_t(b) << 16; };
    while (out.size() < words) {
        for (int y = 0; y < plate.height && out.size() < words; ++y) {
            out.push_back(unit(stream::kLineMarker, 16));
            for (int x = 0; x + 1 < plate.width && out.size() < words; x += 2)
                out.push_back(unit(plate.At(x, y), plate.At(x + 1, y)));
        }
        for (uint32_t i = 0; i < PlateTransport::kRunOutLines && out.size() < words; ++i)
            out.push_back(unit(stream::kLineMarker, anzPix));
    }
    return out;
}

void State::ApplyConfig() {
    clock.Reset();
    clock.SetMode(cfg.clockMode, cfg.clockFactor);
    wallStart = std::chrono::steady_clock::now();
    emuAtWallStart = 0;
    FirmwareRestart();
    bus.ClearFaults();
    bus.traffic = {};

    idprom.data = cfg.BuildIdprom();
    datprom.data = cfg.BuildDatprom();
    spd.data = cfg.BuildSpd();
    idprom.ResetState();
    datprom.ResetState();
    spd.ResetState();
    if (!cfg.persistFile.empty()) {
        std::string text, error;
        struct stat st;
        if (stat(cfg.persistFile.c_str(), &st) != 0) {
            Persist();  // a new EEPROM file with the described contents
        } else if (ReadFile(cfg.persistFile, &text, &error) && text.size() == 512) {
            idprom.data.assign(text.begin(), text.begin() + 256);
            datprom.data.assign(text.begin() + 256, text.end());
        } else {
            // Someone else's file: leave it alone and keep the contents in memory only.
            Warn("EEPROM file " + cfg.persistFile + " is not 512 bytes of EEPROM contents; not used");
            cfg.persistFile.clear();
        }
    }
    if (cfg.model == Model::Main && cfg.spdPresent)
        bus.Attach(i2c_address::kMemoryModule, &spd);
    else
        bus.Detach(i2c_address::kMemoryModule);
    if (cfg.laserSensor)
        bus.Attach(i2c_address::kLaserSensor, &tempLaser);
    else
        bus.Detach(i2c_address::kLaserSensor);
    if (cfg.secondSensor)
        bus.Attach(i2c_address::kSecondSensor, &tempSecond);
    else
        bus.Detach(i2c_address::kSecondSensor);
    adc.ResetState();
    optics = Optics();
    testPattern = 0;
    tempLaser.ResetState();
    tempSecond.ResetState();
    motor.Reset();

    uint64_t bytes = std::min<uint64_t>(cfg.ModuleBytes(), 256ull << 20);
    fifo.SetCapacity(size_t(bytes / 4));
    firmwareRunning = cfg.firmwareRunning;
    configBit4 = cfg.configStatusBit4;
    downloadFails = cfg.downloadFails;
    corruptTransfers = 0;
    hvStays = hvWasOn = false;
    eraseReport = false;
    forcedReads.clear();
    lampBusyUntilUs[0] = lampBusyUntilUs[1] = 0;
    lampStatus[0] = lampStatus[1] = 0;
    requests = blockTransfers = 0;
    portReleaseWrites = 0;
    claimed = false;
    lastFirmware.clear();
    if (cfg.oldDataWords) {
        auto old = OldScanData(cfg.oldDataWords, stream::kMaxValue);
        fifo.Push(old.data(), old.size());
    }

    transport.Reset();
    for (const PlateEntry& entry : cfg.plates) {
        PlateImage image;
        std::string error;
        if (Device::LoadPlateImage(entry, &image, &error))
            transport.Feed(entry, std::move(image), clock.NowUs());
        else
            Warn(error + " (plate skipped)");
    }
}

void State::Sync() {
    if (clock.Mode() != ClockMode::Stepped) {
        double elapsedUs = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - wallStart).count();
        uint64_t target = emuAtWallStart + uint64_t(elapsedUs * clock.Factor());
        if (target > clock.NowUs()) clock.AdvanceUs(target - clock.NowUs());
    }
    transport.AdvanceTo(clock.NowUs(), *this);
}

void State::Advance(uint64_t us) {
    clock.AdvanceUs(us);
    transport.AdvanceTo(clock.NowUs(), *this);
}

// ------------------------------------------------------------------------------------------

Device::Device() : s_(std::make_unique<State>()) { s_->ApplyConfig(); }
Device::~Device() = default;

std::recursive_mutex& Device::Mutex() const { return s_->mu; }

#define LOCK std::lock_guard<std::recursive_mutex> lock(s_->mu)

void Device::Reset(bool fromEnvironment) {
    LOCK;
    s_->cfg = DeviceConfig();
    const char* path = fromEnvironment ? std::getenv("LUMORA_EMULATOR") : nullptr;
    if (path && *path) {
        std::string error;
        std::vector<std::string> warnings;
        if (!LoadDescription(path, &error, &warnings)) Warn(error + "; using the built-in device");
        for (auto& w : warnings) Warn(std::string(path) + ": " + w);
        return;
    }
    s_->ApplyConfig();
}

bool Device::LoadDescription(const std::string& path, std::string* error, std::vector<std::string>* warnings) {
    LOCK;
    std::string text, err;
    if (!ReadFile(path, &text, &err)) {
        if (error) *error = "device description: " + err;
        s_->cfg = DeviceConfig();
        s_->ApplyConfig();
        return false;
    }
    LoadDescriptionText(text, warnings);
    return true;
}

void Device::LoadDescriptionText(const std::string& text, std::vector<std::string>* warnings) {
    LOCK;
    std::vector<std::string> w;
    s_->cfg = DeviceConfig();
    ApplyDescription(text, s_->cfg, w);
    s_->ApplyConfig();
    if (warnings) *warnings = w;
}

Model Device::GetModel() const { LOCK; return s_->cfg.model; }

uint8_t Device::ReadRegister8(uint32_t reg) { LOCK; s_->Sync(); return s_->Read8(reg); }
uint16_t Device::ReadRegister16(uint32_t reg) { LOCK; s_->Sync(); return s_->Read16(reg); }
uint32_t Device::ReadRegister32(uint32_t reg) { LOCK; s_->Sync(); return s_->Read32(reg); }
void Device::WriteRegister8(uint32_t reg, uint8_t v) { LOCK; s_->Sync(); s_->Write8(reg, v); }
void Device::WriteRegister16(uint32_t reg, uint16_t v) { LOCK; s_->Sync(); s_->Write16(reg, v); }
void Device::WriteRegister32(uint32_t reg, uint32_t v) { LOCK; s_->Sync(); s_->Write32(reg, v); }
uint8_t Device::PeekRegister(uint32_t reg) const { LOCK; return s_->regs[reg & 0xFF]; }
uint64_t Device::RequestCount() const { LOCK; return s_->requests; }
uint64_t Device::BlockTransfers() const { LOCK; return s_->blockTransfers; }
uint32_t Device::PortReleaseWrites() const { LOCK; return s_->portReleaseWrites; }
bool Device::PortClaimed() const { LOCK; return s_->claimed; }
bool Device::FirmwareRunning() const { LOCK; return s_->firmwareRunning; }
std::vector<uint8_t> Device::LastFirmwareImage() const { LOCK; return s_->lastFirmware; }

I2cTraffic Device::GetI2cTraffic() const { LOCK; return s_->bus.traffic; }
void Device::ClearI2cTraffic() { LOCK; s_->bus.traffic = {}; }
int Device::I2cStart(uint8_t a) { LOCK; s_->Sync(); return s_->bus.Start(a) ? 0 : 1; }
int Device::I2cWrite(uint8_t v) { LOCK; return s_->bus.Write(v) ? 0 : 1; }
uint8_t Device::I2cRead(bool ack) {
    LOCK;
    uint8_t v = s_->bus.Read();
    s_->bus.MasterAck(ack);
    return v;
}
void Device::I2cStop() { LOCK; s_->bus.Stop(); }
std::vector<uint8_t> Device::Idprom() const { LOCK; return s_->idprom.data; }
std::vector<uint8_t> Device::Datprom() const { LOCK; return s_->datprom.data; }
void Device::SetIdprom(const std::vector<uint8_t>& b) {
    LOCK;
    for (size_t i = 0; i < 256; ++i) s_->idprom.data[i] = i < b.size() ? b[i] : 0xFF;
    s_->Persist();
}
void Device::SetDatprom(const std::vector<uint8_t>& b) {
    LOCK;
    for (size_t i = 0; i < 256; ++i) s_->datprom.data[i] = i < b.size() ? b[i] : 0xFF;
    s_->Persist();
}
uint8_t Device::DacValue() const { LOCK; return s_->adc.dac; }
double Device::HighVoltage() const { LOCK; return s_->HighVoltage(); }

std::vector<uint16_t> Device::MotorWords() const { LOCK; return s_->motor.Words(); }
void Device::ClearMotorWords() { LOCK; s_->motor.ClearWords(); }
uint32_t Device::PolygonSpeed() const { LOCK; return s_->motor.Speed(); }

void Device::PushFifo(const uint32_t* words, size_t count) { LOCK; s_->fifo.Push(words, count); }
size_t Device::FifoWords() const { LOCK; return s_->fifo.Waiting(); }
size_t Device::FifoCapacity() const { LOCK; return s_->fifo.Capacity(); }
uint32_t Device::LineCounter() const { LOCK; return s_->lineCounter; }

void Device::AdvanceMs(uint64_t ms) { LOCK; s_->Advance(ms * 1000); }
void Device::WaitMs(uint32_t ms) {
    uint64_t wallUs;
    {
        LOCK;
        wallUs = s_->clock.WallUsFor(ms);
        if (wallUs == 0) {
            s_->Advance(uint64_t(ms) * 1000);
            return;
        }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(wallUs));
    LOCK;
    s_->Sync();
}
uint64_t Device::WallUsFor(uint32_t ms) const { LOCK; return s_->clock.WallUsFor(ms); }
uint64_t Device::NowMs() const { LOCK; return s_->clock.NowMs(); }
uint64_t Device::NowUs() const { LOCK; return s_->clock.NowUs(); }
void Device::SetClockMode(ClockMode mode, double factor) {
    LOCK;
    s_->Sync();
    s_->clock.SetMode(mode, factor);
    s_->wallStart = std::chrono::steady_clock::now();
    s_->emuAtWallStart = s_->clock.NowUs();
}
ClockMode Device::GetClockMode() const { LOCK; return s_->clock.Mode(); }

void Device::CorruptNextTransfers(int count) { LOCK; s_->corruptTransfers = count > 0 ? count : 0; }
void Device::SetI2cSilent(uint8_t address, bool silent) { LOCK; s_->bus.SetSilent(address, silent); }
void Device::RemoveTemperatureSensor(uint8_t address, bool removed) {
    LOCK;
    const uint8_t device = address & ~1;  // the read bit does not matter
    TempSensor* t = device == i2c_address::kLaserSensor    ? &s_->tempLaser
                    : device == i2c_address::kSecondSensor ? &s_->tempSecond
                                                           : nullptr;
    if (!t) return;
    if (removed)
        s_->bus.Detach(address);
    else
        s_->bus.Attach(address, t);
}
void Device::SetLaserTemperature(double c) { LOCK; s_->cfg.laserTemp = c; }
void Device::SetSecondTemperature(double c) { LOCK; s_->cfg.secondTemp = c; }
void Device::SetAmbientLight(uint16_t level) { LOCK; s_->cfg.ambientLight = level; }
void Device::SetDarkLevel(uint16_t level) { LOCK; s_->cfg.darkLevel = level; }
void Device::SetPmtGain(double exponent, double referenceVolts) {
    LOCK;
    s_->cfg.gainExponent = exponent;
    s_->cfg.gainReference = referenceVolts;
}
void Device::SetHighVoltageStays(bool stays) {
    LOCK;
    s_->hvStays = stays;
    if (stays && s_->HvOn()) s_->hvWasOn = true;
    if (!stays && !s_->HvOn()) s_->hvWasOn = false;
}
void Device::SetConfigStatusBit4(bool on) { LOCK; s_->configBit4 = on; }
void Device::SetDownloadFails(bool fails) { LOCK; s_->downloadFails = fails; }
void Device::SetFirmwareRunning(bool running) { LOCK; s_->firmwareRunning = running; }
void Device::FillOldData(size_t words) {
    LOCK;
    uint16_t anzPix = s_->Reg16(registers::kPixelCount);
    auto old = OldScanData(words, anzPix ? anzPix : stream::kMaxValue);
    s_->fifo.Push(old.data(), old.size());
}
void Device::SetEraseUnitAnswering(bool answering) { LOCK; s_->cfg.eraseUnitAnswering = answering; }
void Device::ForceRead(uint32_t reg, uint32_t value) { LOCK; s_->forcedReads[reg] = value; }
void Device::ClearForcedReads() { LOCK; s_->forcedReads.clear(); }
void Device::SetEraseUnitReport(bool report) { LOCK; s_->eraseReport = report; }
void Device::SetLampStatus(int lamp, uint8_t value) {
    LOCK;
    if (lamp == 1 || lamp == 2) s_->lampStatus[lamp - 1] = value;
}

void Device::FeedPlate(const PlateEntry& plate) {
    PlateImage image;
    std::string error;
    if (!LoadPlateImage(plate, &image, &error)) {
        Warn(error + " (plate skipped)");
        return;
    }
    LOCK;
    s_->Sync();
    s_->transport.Feed(plate, std::move(image), s_->clock.NowUs());
}
std::vector<PlateState> Device::Plates() const { LOCK; return s_->transport.States(); }
uint32_t Device::SlotOffset(int slot) const { LOCK; return PlateTransport::SlotOffset(*s_, slot); }

bool Device::LoadPlateImage(const PlateEntry& entry, PlateImage* out, std::string* error) try {
    std::string err;
    if (entry.image.rfind("phantom:", 0) == 0) {
        if (MakePhantom(entry.image.substr(8), entry.width, entry.height, out, entry.level))
            return true;
        err = "unknown phantom " + entry.image;
    } else if (!ReadPlateFile(entry.image, out, &err)) {
    } else {
        return true;
    }
    if (error) *error = err;
    return false;
} catch (const std::bad_alloc&) {
    if (error) *error = "no memory for plate image " + entry.image;
    return false;
}

Device& TheDevice() {
    // Never destroyed: the driver library may still talk to the device while the process ends.
    static Device* device = [] {
        auto* d = new Device();
        d->Reset(true);
        return d;
    }();
    return *device;
}

}  // namespace lumora_emu

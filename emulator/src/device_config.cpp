#include "device_config.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <strings.h>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "ini_text.h"

namespace lumora_emu {

uint32_t DeviceConfig::ModuleBytes() const {
    if (model == Model::Second) return 0x4000000;
    int bits = rows + columns;
    if (bits > 32) bits = 32;
    uint64_t size = (uint64_t(1) << bits) * (int8_t(width) > 0 ? int8_t(width) / 8 : 0) * sides * banks;
    return size > 0xFFFFFFFFull ? 0xFFFFFFFFu : uint32_t(size);
}

static void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

static void PutText(std::vector<uint8_t>& b, size_t at, size_t width, const std::string& text) {
    for (size_t i = 0; i < width; ++i) b[at + i] = i < text.size() ? uint8_t(text[i]) : 0;
}

std::vector<uint8_t> DeviceConfig::BuildIdprom() const {
    std::vector<uint8_t> b(256, 0xFF);
    PutText(b, 0, 16, serial);
    const char* parts[] = {"MB-4411", "LM-2207", "PM-0931", "DU-1180", "CA-0077",
                           "BD-3101", "BD-3102", "BD-3103", "BD-3104"};
    for (int i = 0; i < 9; ++i) PutText(b, 16 + 8 * i, 8, parts[i]);
    b[128] = mfgDay;
    b[129] = mfgMonth;
    Put16(b, 130, mfgYear);
    Put16(b, 132, finalCheck);
    Put16(b, 144, typeId);
    Put16(b, 146, features);
    Put16(b, 148, reflector);
    Put16(b, 150, smotStep);
    b[152] = distA;
    b[153] = distB;
    b[154] = solPos;
    b[155] = scanRange;
    b[156] = laserTempError;
    b[157] = laserTempWarn;
    b[158] = slotMask;
    b[159] = laserPower;
    std::memcpy(&b[240], &pmtCorrA, 4);
    std::memcpy(&b[244], &pmtCorrB, 4);
    Put16(b, 254, pmtHv);
    if (fixChecksum) {
        unsigned sum = 0;
        for (int i = 0; i < 253; ++i) sum += b[i];
        b[253] = uint8_t(0x42 - sum);
    }
    return b;
}

std::vector<uint8_t> DeviceConfig::BuildDatprom() const {
    std::vector<uint8_t> b(256, 0xFF);
    uint32_t sum = 0;
    for (int i = 0; i < 4; ++i) {
        std::memcpy(&b[4 * i], &counters[i], 4);
        sum += counters[i];
    }
    uint32_t t = totalGiven ? total : sum;
    std::memcpy(&b[16], &t, 4);
    b[20] = saveMinute;
    b[21] = saveHour;
    b[22] = saveDay;
    b[23] = saveMonth;
    Put16(b, 24, saveYear);
    for (int i = 26; i < 32; ++i) b[i] = 0;
    for (int slot = 0; slot < 2; ++slot) {
        size_t at = slot == 0 ? 0x81 : 0x9D;
        for (int k = 0; k < 6; ++k) {
            uint32_t v = events[slot][k];
            b[at + 4 * k] = uint8_t(v >> 24);
            b[at + 4 * k + 1] = uint8_t(v >> 16);
            b[at + 4 * k + 2] = uint8_t(v >> 8);
            b[at + 4 * k + 3] = uint8_t(v);
        }
    }
    return b;
}

std::vector<uint8_t> DeviceConfig::BuildSpd() const {
    std::vector<uint8_t> b(256, 0xFF);
    std::memset(b.data(), 0, 128);
    b[0] = 128;
    b[1] = 8;
    b[2] = memType;
    b[3] = rows;
    b[4] = columns;
    b[5] = sides;
    b[6] = width;
    b[8] = 1;      // LVTTL
    b[9] = 0x75;   // 7.5 ns cycle
    b[11] = width == 72 ? 2 : 0;
    b[12] = 0x80;  // refresh
    b[13] = 8;
    b[15] = 1;
    b[16] = 0x8F;  // burst lengths
    b[17] = banks;
    b[18] = 0x06;  // CAS latency 2, 3
    b[21] = 0x0E;
    b[31] = uint8_t(ModuleBytes() >> 22);
    unsigned sum = 0;
    for (int i = 0; i < 63; ++i) sum += b[i];
    b[63] = uint8_t(sum);
    return b;
}

namespace {

struct Reader {
    const IniText& ini;
    std::vector<std::string>& warnings;

    bool Number(const char* sec, const char* key, long long lo, long long hi, long long* out) {
        if (!ini.Has(sec, key)) return false;
        std::string v = ini.Get(sec, key);
        errno = 0;
        char* end = nullptr;
        long long n = std::strtoll(v.c_str(), &end, 0);
        if (v.empty() || errno != 0 || *end != 0 || n < lo || n > hi) {
            warnings.push_back(std::string("[") + sec + "] " + key + "=" + v +
                               ": not a number in " + std::to_string(lo) + " … " +
                               std::to_string(hi) + ", default kept");
            return false;
        }
        *out = n;
        return true;
    }
    template <typename T>
    void Int(const char* sec, const char* key, T& field, long long lo, long long hi) {
        long long n;
        if (Number(sec, key, lo, hi, &n)) field = T(n);
    }
    void Real(const char* sec, const char* key, double& field, double lo, double hi) {
        if (!ini.Has(sec, key)) return;
        std::string v = ini.Get(sec, key);
        char* end = nullptr;
        double d = std::strtod(v.c_str(), &end);
        if (v.empty() || *end != 0 || !std::isfinite(d) || d < lo || d > hi) {
            warnings.push_back(std::string("[") + sec + "] " + key + "=" + v +
                               ": not a number in range, default kept");
            return;
        }
        field = d;
    }
    void Flag(const char* sec, const char* key, bool& field) {
        long long n;
        if (Number(sec, key, 0, 1, &n)) field = n != 0;
    }
    template <typename T, size_t N>
    void List(const char* sec, const char* key, T (&field)[N], long long hi) {
        if (!ini.Has(sec, key)) return;
        std::string v = ini.Get(sec, key);
        T parsed[N];
        size_t count = 0;
        const char* p = v.c_str();
        while (*p && count < N) {
            char* end = nullptr;
            errno = 0;
            long long n = std::strtoll(p, &end, 0);
            if (end == p || errno != 0 || n < 0 || n > hi) break;
            parsed[count++] = T(n);
            p = end;
            while (*p == ' ' || *p == ',' || *p == '\t') ++p;
        }
        if (count != N || *p != 0) {
            warnings.push_back(std::string("[") + sec + "] " + key + ": expected " +
                               std::to_string(N) + " numbers, default kept");
            return;
        }
        for (size_t i = 0; i < N; ++i) field[i] = parsed[i];
    }
};

}  // namespace

void ApplyDescription(const std::string& text, DeviceConfig& cfg, std::vector<std::string>& warnings) {
    IniText ini;
    ini.Parse(text);
    Reader r{ini, warnings};

    if (ini.Has("Device", "Model")) {
        std::string m = ini.Get("Device", "Model");
        for (char& c : m) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (m == "main" || m == "lumora")
            cfg.model = Model::Main;
        else if (m == "second" || m == "calyxa") {
            cfg.model = Model::Second;
            cfg.typeId = 12;
        } else
            warnings.push_back("[Device] Model=" + m + ": expected main or second, default kept");
    }
    if (ini.Has("Device", "Serial")) {
        std::string s = ini.Get("Device", "Serial");
        if (s.size() > 16) {
            warnings.push_back("[Device] Serial longer than 16 characters, cut");
            s.resize(16);
        }
        cfg.serial = s;
    }
    r.Int("Device", "TypeID", cfg.typeId, 0, 0xFFFF);
    r.Int("Device", "Features", cfg.features, 0, 0xFFFF);
    r.Int("Device", "Reflector", cfg.reflector, 0, 0xFFFF);
    r.Int("Device", "SmotStep", cfg.smotStep, 0, 0xFFFF);
    r.Int("Device", "DistanceA", cfg.distA, 0, 255);
    r.Int("Device", "DistanceB", cfg.distB, 0, 255);
    r.Int("Device", "SolPosition", cfg.solPos, 0, 255);
    r.Int("Device", "ScanRange", cfg.scanRange, 0, 255);
    r.Int("Device", "LaserTempError", cfg.laserTempError, 0, 255);
    r.Int("Device", "LaserTempWarn", cfg.laserTempWarn, 0, 255);
    r.Int("Device", "SlotMask", cfg.slotMask, 0, 255);
    r.Int("Device", "LaserPower", cfg.laserPower, 0, 255);
    double a = cfg.pmtCorrA, b = cfg.pmtCorrB;
    r.Real("Device", "PmtCorrectionA", a, -1e30, 1e30);
    r.Real("Device", "PmtCorrectionB", b, -1e30, 1e30);
    cfg.pmtCorrA = float(a);
    cfg.pmtCorrB = float(b);
    r.Int("Device", "PmtHV", cfg.pmtHv, 0, 0xFFFF);
    r.Int("Device", "FinalCheck", cfg.finalCheck, 0, 0xFFFF);
    r.Flag("Device", "FixChecksum", cfg.fixChecksum);

    r.Int("Memory", "Type", cfg.memType, 0, 255);
    r.Int("Memory", "Rows", cfg.rows, 0, 255);
    r.Int("Memory", "Columns", cfg.columns, 0, 255);
    r.Int("Memory", "Sides", cfg.sides, 0, 255);
    r.Int("Memory", "Banks", cfg.banks, 0, 255);
    r.Int("Memory", "Width", cfg.width, 0, 255);
    r.Flag("Memory", "Present", cfg.spdPresent);

    r.Real("Sensors", "LaserTemp", cfg.laserTemp, -55, 125);
    r.Real("Sensors", "SecondTemp", cfg.secondTemp, -55, 125);
    r.Flag("Sensors", "LaserSensor", cfg.laserSensor);
    r.Flag("Sensors", "SecondSensor", cfg.secondSensor);
    r.Int("Sensors", "AmbientLight", cfg.ambientLight, 0, 65535);
    r.Int("Sensors", "DarkLevel", cfg.darkLevel, 0, 65535);
    r.Real("Sensors", "Supply5V", cfg.supply5V, 0, 7.4);
    r.Real("Sensors", "Supply3V3", cfg.supply3V3, 0, 4.9);
    r.Real("Sensors", "Supply24V", cfg.supply24V, 0, 32.0);

    r.Real("Optics", "GainExponent", cfg.gainExponent, 0, 20);
    r.Real("Optics", "GainReference", cfg.gainReference, 1, 1250);
    r.Real("Optics", "DarkSignal", cfg.darkSignal, 0, 65535);
    r.Real("Optics", "Noise", cfg.noise, 0, 65535);
    r.Real("Optics", "ProfileFalloff", cfg.profileFalloff, 0, 0.9);
    r.Real("Optics", "ProfileRipple", cfg.profileRipple, 0, 0.5);
    r.Real("Optics", "RipplePeriods", cfg.ripplePeriods, 0, 1000);

    r.Int("DataProm", "Intra", cfg.counters[0], 0, 0xFFFFFFFFll);
    r.Int("DataProm", "Extra", cfg.counters[1], 0, 0xFFFFFFFFll);
    r.Int("DataProm", "Ceph", cfg.counters[2], 0, 0xFFFFFFFFll);
    r.Int("DataProm", "Pano", cfg.counters[3], 0, 0xFFFFFFFFll);
    long long total;
    if (r.Number("DataProm", "Total", 0, 0xFFFFFFFFll, &total)) {
        cfg.totalGiven = true;
        cfg.total = uint32_t(total);
    }
    r.Int("DataProm", "SaveMinute", cfg.saveMinute, 0, 59);
    r.Int("DataProm", "SaveHour", cfg.saveHour, 0, 23);
    r.Int("DataProm", "SaveDay", cfg.saveDay, 1, 31);
    r.Int("DataProm", "SaveMonth", cfg.saveMonth, 1, 12);
    r.Int("DataProm", "SaveYear", cfg.saveYear, 0, 0xFFFF);
    r.List("DataProm", "Slot1Events", cfg.events[0], 0xFFFFFFFFll);
    r.List("DataProm", "Slot2Events", cfg.events[1], 0xFFFFFFFFll);

    r.Int("Firmware", "OldDataWords", cfg.oldDataWords, 0, 1 << 26);
    // Data can only be left over in a device whose firmware kept running.
    if (cfg.oldDataWords) cfg.firmwareRunning = true;
    r.Flag("Firmware", "Running", cfg.firmwareRunning);
    r.Flag("Firmware", "ConfigStatusBit4", cfg.configStatusBit4);
    r.Flag("Firmware", "DownloadFails", cfg.downloadFails);

    r.Flag("EraseUnit", "Answering", cfg.eraseUnitAnswering);
    r.Int("EraseUnit", "Version", cfg.eraseVersion, 0, 255);
    r.Int("EraseUnit", "LampStatus", cfg.eraseLampStatus, 0, 255);
    r.Real("EraseUnit", "LampTemp", cfg.eraseLampTemp, 0, 255 * 10 / 10.0);
    r.List("EraseUnit", "Sensors", cfg.eraseSensors, 255);

    if (ini.Has("Eeprom", "File")) cfg.persistFile = ini.Get("Eeprom", "File");

    if (ini.Has("Clock", "Mode")) {
        std::string m = ini.Get("Clock", "Mode");
        for (char& c : m) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (m == "stepped")
            cfg.clockMode = ClockMode::Stepped;
        else if (m == "realtime")
            cfg.clockMode = ClockMode::Realtime;
        else if (m == "fast")
            cfg.clockMode = ClockMode::Fast;
        else
            warnings.push_back("[Clock] Mode=" + m + ": expected stepped, realtime or fast");
    }
    r.Real("Clock", "Factor", cfg.clockFactor, 0.001, 1e6);
    double pollMs = cfg.pollStepUs / 1000.0;
    r.Real("Clock", "PollStepMs", pollMs, 0, 1000);
    cfg.pollStepUs = uint32_t(pollMs * 1000.0);

    // Plates, in the order of their numbers.
    std::vector<std::pair<long, PlateEntry>> plates;
    for (const std::string& sec : ini.Sections()) {
        if (sec.size() < 7 || strncasecmp(sec.c_str(), "Plate_", 6) != 0) continue;
        char* end = nullptr;
        long number = std::strtol(sec.c_str() + 6, &end, 10);
        if (*end != 0 || number < 0) {
            warnings.push_back("[" + sec + "]: plate sections are numbered, ignored");
            continue;
        }
        PlateEntry p;
        if (ini.Has(sec, "Image")) p.image = ini.Get(sec, "Image");
        Reader pr{ini, warnings};
        pr.Int(sec.c_str(), "Slot", p.slot, 1, 4);
        pr.Real(sec.c_str(), "At", p.atSeconds, 0, 1e6);
        pr.Int(sec.c_str(), "Width", p.width, 0, 16384);
        pr.Int(sec.c_str(), "Height", p.height, 0, 16384);
        pr.Int(sec.c_str(), "Level", p.level, 0, 65535);
        pr.Flag(sec.c_str(), "Stay", p.stay);
        if (ini.Has(sec, "Type")) {
            std::string t = ini.Get(sec, "Type");
            for (char& c : t) c = char(std::tolower(static_cast<unsigned char>(c)));
            if (t == "intra")
                p.type = 1;
            else if (t == "extra")
                p.type = 2;
            else if (t != "any")
                warnings.push_back("[" + sec + "] Type=" + t + ": expected intra, extra or any");
        }
        plates.emplace_back(number, p);
    }
    std::stable_sort(plates.begin(), plates.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    if (!plates.empty()) cfg.plates.clear();
    for (auto& p : plates) cfg.plates.push_back(p.second);
}

}  // namespace lumora_emu

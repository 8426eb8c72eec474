// lumora service: the service side of the scanner: diagnosis, report, high-voltage search,
// calibration file, registers and memories, line and transfer tests. Each subcommand opens
// the scanner with a parameter set, does its work and closes it again; long ones show the
// measurements as they are taken and stop at Ctrl-C, leaving the scanner at rest.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "command_service_runner.h"
#include "commands.h"
#include "export/png_export.h"

namespace {

int RunService(Library& library, const std::vector<std::string>& args);

const char* const USAGE =
    "usage: lumora service <subcommand> [arguments] [--set N]\n"
    "\n"
    "Opens the scanner with parameter set N (default 1), does the work and closes it.\n"
    "Long procedures print their measurements as they go; Ctrl-C stops them and leaves the\n"
    "scanner at rest (exit status 130).\n"
    "\n"
    "  diag                      supply voltages, high voltage and both temperatures\n"
    "  report FILE               write the device report to FILE\n"
    "  hv-wizard                 search the photomultiplier voltage on a plate (waits for it)\n"
    "  hv-calibrate PIXEL_NM     high-voltage calibration on a reference plate in slot 2 or 3\n"
    "  calibrate REFERENCE_IMAGE make the calibration file (.kor) from a reference image\n"
    "  reg read REG [8|16|32]    read a register (default 8 bits)\n"
    "  reg write REG VALUE [8|16|32]\n"
    "  prom read DEVICE [BYTES]  read an I2C memory from byte 0 (0xA8 identification, 0xAA data)\n"
    "  prom write DEVICE FIRST BYTE...\n"
    "  line-test VOLTS [--csv FILE] [--png FILE]\n"
    "                            record one line of 2344 values (default line-test.csv)\n"
    "  transfer-test [BLOCK_BYTES BLOCKS RETRIES]   (default 32768 64 10)\n"
    "\n"
    "Numbers take 0x for hexadecimal. LUMORA_MEASUREMENT_FILE keeps the measurements in a file.\n";

constexpr unsigned HV_CALIBRATION = 0x1000, PROM_READ = 0x1001, REG_READ8 = 0x1002,
                   REG_WRITE8 = 0x1005, DIAGNOSTIC = 0x1009, LINE_TEST = 0x100A,
                   TRANSFER_TEST = 0x100B, PROM_WRITE = 0x100C, REPORT = 0x100F,
                   MAKE_CALIBRATION = 0x1010, HV_WIZARD = 0x1011;
constexpr int LINE_VALUES = 2344;
constexpr int PLOT_HEIGHT = 256;

bool Number(const std::string& text, long min, long max, long* out) {
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end || errno || v < min || v > max) return false;
    *out = v;
    return true;
}

std::vector<uint8_t> Le(uint64_t v, int bytes) {
    std::vector<uint8_t> b;
    for (int i = 0; i < bytes; ++i) b.push_back(uint8_t(v >> (8 * i)));
    return b;
}

std::vector<uint8_t> Text(const std::string& s) {
    std::vector<uint8_t> b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

uint64_t FromLe(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes && at + size_t(i) < b.size(); ++i) v |= uint64_t(b[at + size_t(i)]) << (8 * i);
    return v;
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char* cwd = getcwd(nullptr, 0);
    std::string out = cwd ? std::string(cwd) + "/" + path : path;
    std::free(cwd);
    return out;
}

// Runs the requests; prints the failure and returns false unless all were carried out.
bool Session(Library& library, int set, const std::vector<ServiceRequest>& requests,
             const std::string& label, ServiceSession* s, int* status) {
    *s = RunServiceSession(library, set, requests, label);
    switch (s->end) {
        case SessionEnd::Done: return true;
        case SessionEnd::OpenFailed: *status = Failure("cannot open the scanner", s->openResult); return false;
        case SessionEnd::Interrupted:
            std::fprintf(stderr, "lumora service: interrupted; the scanner was stopped and closed\n");
            *status = 130;
            return false;
        case SessionEnd::Lost:
            std::fprintf(stderr, "lumora service: the scanner session ended unexpectedly\n");
            *status = 1;
            return false;
    }
    return false;
}

int Diag(Library& library, int set) {
    static const struct {
        uint8_t channel;
        const char* name;
        double scale;
        const char* unit;
    } channels[] = {{0, "high voltage", 1000, "V"},   {1, "+5 V supply", 1000, "V"},
                    {2, "+3.3 V supply", 1000, "V"},  {3, "+24 V supply", 1000, "V"},
                    {16, "laser temperature", 10, "C"}, {17, "second temperature", 10, "C"}};
    std::vector<ServiceRequest> requests;
    for (const auto& c : channels) requests.push_back({DIAGNOSTIC, {c.channel}, 4});
    ServiceSession s;
    int status = 0;
    if (!Session(library, set, requests, "", &s, &status)) return status;
    for (size_t i = 0; i < requests.size(); ++i) {
        if (s.replies[i].result != 0) return Failure(channels[i].name, s.replies[i].result);
        const int32_t v = int32_t(FromLe(s.replies[i].out, 0, 4));
        std::printf("%-19s %8.2f %s\n", channels[i].name, v / channels[i].scale, channels[i].unit);
    }
    return 0;
}

// One request, its result checked; the reply in *reply.
int Single(Library& library, int set, const ServiceRequest& request, const std::string& label,
           const char* what, ServiceReply* reply) {
    ServiceSession s;
    int status = 0;
    if (!Session(library, set, {request}, label, &s, &status)) return status;
    *reply = s.replies[0];
    if (reply->result != 0) return Failure(what, reply->result);
    return 0;
}

int HighVoltageResult(int status, const ServiceReply& reply) {
    if (status != 0) {
        if (reply.result == LUMORA_E_NO_HIGH_VOLTAGE)
            std::fprintf(stderr, "lumora service: no usable high voltage: the dark signal is too high\n");
        return status;
    }
    std::printf("high voltage: %u V\n", unsigned(FromLe(reply.out, 0, 4)));
    return 0;
}

int LineTest(Library& library, int set, long volts, const std::string& csv, const std::string& png) {
    ServiceReply reply;
    int status = Single(library, set, {LINE_TEST, Le(uint64_t(volts), 2), LINE_VALUES * 2},
                        "line test at " + std::to_string(volts) + " V", "line test", &reply);
    if (status != 0) return status;
    std::vector<uint16_t> values(LINE_VALUES);
    for (int i = 0; i < LINE_VALUES; ++i) values[size_t(i)] = uint16_t(FromLe(reply.out, size_t(2 * i), 2));
    FILE* f = std::fopen(csv.c_str(), "w");
    if (!f) {
        std::fprintf(stderr, "lumora service: cannot write %s: %s\n", csv.c_str(), std::strerror(errno));
        return 1;
    }
    std::fprintf(f, "pixel,value\n");
    for (int i = 0; i < LINE_VALUES; ++i) std::fprintf(f, "%d,%u\n", i, unsigned(values[size_t(i)]));
    if (std::fclose(f) != 0) {
        std::fprintf(stderr, "lumora service: cannot write %s\n", csv.c_str());
        return 1;
    }
    std::printf("%d values written to %s\n", LINE_VALUES, csv.c_str());
    if (!png.empty()) {
        // A plot: one column per pixel, the value as the height of a bright point.
        // It has no pixel size: its info record stays empty.
        PlateImage plot;
        plot.width = LINE_VALUES;
        plot.height = PLOT_HEIGHT;
        plot.pixels.assign(size_t(LINE_VALUES) * PLOT_HEIGHT, 0);
        uint16_t top = 1;
        for (uint16_t v : values) top = v > top ? v : top;
        for (int x = 0; x < LINE_VALUES; ++x) {
            const int y = PLOT_HEIGHT - 1 - int(uint64_t(values[size_t(x)]) * (PLOT_HEIGHT - 1) / top);
            plot.pixels[size_t(y) * LINE_VALUES + size_t(x)] = 65535;
        }
        plot.pixels[0] = 1;  // the stretch needs two levels even for an empty plot
        std::string error;
        if (WritePng(plot, true, png, &error) != LUMORA_OK) {
            std::fprintf(stderr, "lumora service: %s\n", error.c_str());
            return 1;
        }
        std::printf("plot written to %s (top = %u)\n", png.c_str(), unsigned(top));
    }
    return 0;
}

int RunService(Library& library, const std::vector<std::string>& all) {
    // --set N anywhere; the rest are the subcommand and its arguments.
    std::vector<std::string> args;
    long set = 1;
    std::string csv = "line-test.csv", png;
    for (size_t i = 0; i < all.size(); ++i) {
        const std::string& a = all[i];
        if (a == "--set" || a == "--csv" || a == "--png") {
            if (i + 1 >= all.size()) return UsageError("service", a + " needs a value");
            const std::string& v = all[++i];
            if (a == "--set" && !Number(v, 0, 255, &set)) return UsageError("service", "bad set " + v);
            if (a == "--csv") csv = v;
            if (a == "--png") png = v;
        } else {
            args.push_back(a);
        }
    }
    if (args.empty()) return UsageError("service", "a subcommand is needed");
    const std::string& sub = args[0];
    const size_t n = args.size();
    const int s = int(set);
    ServiceReply reply;
    long a = 0, b = 0, c = 0;

    if (sub == "diag" && n == 1) return Diag(library, s);
    if (sub == "report" && n == 2) {
        const std::string path = AbsolutePath(args[1]);
        int status = Single(library, s, {REPORT, Text(path), 0}, "", "report", &reply);
        if (status == 0) std::printf("report written to %s\n", path.c_str());
        return status;
    }
    if (sub == "hv-wizard" && n == 1) {
        int status = Single(library, s, {HV_WIZARD, {}, 4},
                            "high-voltage wizard: feed a plate when asked for one", "high-voltage wizard", &reply);
        return HighVoltageResult(status, reply);
    }
    if (sub == "hv-calibrate" && n == 2) {
        if (!Number(args[1], 1, UINT32_MAX, &a)) return UsageError("service", "bad pixel size " + args[1]);
        int status = Single(library, s, {HV_CALIBRATION, Le(uint64_t(a), 4), 4},
                            "high-voltage calibration: feed the reference plate into slot 2 or 3",
                            "high-voltage calibration", &reply);
        return HighVoltageResult(status, reply);
    }
    if (sub == "calibrate" && n == 2) {
        const std::string image = AbsolutePath(args[1]);
        int status = Single(library, s, {MAKE_CALIBRATION, Text(image), 0}, "", "calibration file", &reply);
        if (status != 0) return status;
        const std::string kor = image.substr(0, image.size() - 3) + "kor";
        std::printf("calibration file written: %s\n", kor.c_str());
        std::printf("to use it, set in section [Scanner] of the configuration file:\n"
                    "    Kalibrierdaten=%s\n", kor.c_str());
        return 0;
    }
    if (sub == "reg" && n >= 3 && (args[1] == "read" || args[1] == "write")) {
        const bool write = args[1] == "write";
        if (!Number(args[2], 0, 255, &a)) return UsageError("service", "bad register " + args[2]);
        const size_t widthAt = write ? 4 : 3;
        long bits = 8;
        if (n > widthAt + 1 || (n == widthAt + 1 && !Number(args[widthAt], 8, 32, &bits)) ||
            (bits != 8 && bits != 16 && bits != 32) || (write && n < 4))
            return UsageError("service", "usage: reg read REG [8|16|32] | reg write REG VALUE [8|16|32]");
        const int bytes = int(bits / 8);
        const unsigned step = bits == 8 ? 0 : bits == 16 ? 1 : 2;
        if (write) {
            if (!Number(args[3], 0, bits == 32 ? long(UINT32_MAX) : (1L << bits) - 1, &b))
                return UsageError("service", "bad value " + args[3]);
            std::vector<uint8_t> in{uint8_t(a)};
            in.resize(size_t(bytes == 1 ? 1 : bytes == 2 ? 2 : 4), 0);  // ignored bytes
            for (uint8_t v : Le(uint64_t(b), bytes)) in.push_back(v);
            return Single(library, s, {REG_WRITE8 + step, in, 0}, "", "register write", &reply);
        }
        int status = Single(library, s, {REG_READ8 + step, {uint8_t(a)}, bytes}, "", "register read", &reply);
        if (status == 0)
            std::printf("register 0x%02lX = 0x%0*llX (%llu)\n", a, bytes * 2,
                        (unsigned long long)FromLe(reply.out, 0, bytes),
                        (unsigned long long)FromLe(reply.out, 0, bytes));
        return status;
    }
    if (sub == "prom" && n >= 3 && args[1] == "read") {
        if (!Number(args[2], 0, 255, &a) || (n == 4 && !Number(args[3], 1, 256, &b)) || n > 4)
            return UsageError("service", "usage: prom read DEVICE [BYTES]");
        const int count = n == 4 ? int(b) : 256;
        int status = Single(library, s, {PROM_READ, {uint8_t(a)}, count}, "", "memory read", &reply);
        if (status != 0) return status;
        for (size_t i = 0; i < reply.out.size(); i += 16) {
            std::printf("%02zX:", i);
            std::string text;
            for (size_t k = i; k < i + 16 && k < reply.out.size(); ++k) {
                std::printf(" %02X", reply.out[k]);
                text += reply.out[k] >= 32 && reply.out[k] < 127 ? char(reply.out[k]) : '.';
            }
            std::printf("  %s\n", text.c_str());
        }
        return 0;
    }
    if (sub == "prom" && n >= 5 && args[1] == "write") {
        if (!Number(args[2], 0, 255, &a) || !Number(args[3], 0, 255, &b) || int(b) + int(n) - 5 > 255)
            return UsageError("service", "usage: prom write DEVICE FIRST BYTE...");
        std::vector<uint8_t> in{uint8_t(a), uint8_t(b), uint8_t(b + long(n) - 5)};
        for (size_t i = 4; i < n; ++i) {
            if (!Number(args[i], 0, 255, &c)) return UsageError("service", "bad byte " + args[i]);
            in.push_back(uint8_t(c));
        }
        int status = Single(library, s, {PROM_WRITE, in, 0}, "", "memory write", &reply);
        if (status == 0) std::printf("%zu bytes written\n", n - 4);
        return status;
    }
    if (sub == "line-test" && n == 2) {
        if (!Number(args[1], 0, 1200, &a)) return UsageError("service", "volts 0 ... 1200");
        return LineTest(library, s, a, csv, png);
    }
    if (sub == "transfer-test" && (n == 1 || n == 4)) {
        a = 32768, b = 64, c = 10;
        if (n == 4 && (!Number(args[1], 4, 65535, &a) || !Number(args[2], 1, 65535, &b) ||
                       !Number(args[3], 1, 65535, &c)))
            return UsageError("service", "usage: transfer-test [BLOCK_BYTES BLOCKS RETRIES]");
        std::vector<uint8_t> in = Le(uint64_t(a), 2);
        for (uint8_t v : Le(uint64_t(b), 2)) in.push_back(v);
        for (uint8_t v : Le(uint64_t(c), 2)) in.push_back(v);
        ServiceSession session;
        int status = 0;
        if (!Session(library, s, {{TRANSFER_TEST, in, 8}}, "transfer test", &session, &status)) return status;
        const ServiceReply& r = session.replies[0];
        std::printf("%llu of %lld bytes received, %llu transfers repeated\n",
                    (unsigned long long)FromLe(r.out, 0, 4), (long long)a * b,
                    (unsigned long long)FromLe(r.out, 4, 4));
        return r.result != 0 ? Failure("transfer test", r.result) : 0;
    }
    return UsageError("service", "unknown subcommand or wrong arguments: " + sub);
}

}  // namespace

LUMORA_COMMAND(service, "service functions: diagnosis, report, high voltage, calibration",
               USAGE, RunService);

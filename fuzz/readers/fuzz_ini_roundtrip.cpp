// The configuration reader on any text, then a write-back round trip: a key set from the
// input and written back reads back as it was set, and so do the keys set before.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "input_file.h"
#include "platform/ini2.h"

namespace {

// A name of letters, digits and '_' made from bytes (never empty).
std::string Name(const uint8_t* p, size_t n, const char* fallback) {
    static const char chars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
    std::string s;
    for (size_t i = 0; i < n; ++i) s += chars[p[i] % (sizeof chars - 1)];
    return s.empty() ? fallback : s;
}

// A value that reads back unchanged: printable, no comment characters, no outer blanks.
std::string Value(const uint8_t* p, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        char c = char(' ' + p[i] % 95);
        if (c == ';' || c == '#') c = '.';
        s += c;
    }
    while (!s.empty() && s.back() == ' ') s.pop_back();
    size_t b = 0;
    while (b < s.size() && s[b] == ' ') ++b;
    return s.substr(b);
}

std::string Get(const ini2& ini, const std::string& section, const std::string& key) {
    char value[1024];
    if (ini.get(section.c_str(), key.c_str(), value, nullptr, sizeof value) != 0) return "<missing>";
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The last 24 bytes (when there are that many) name what is set; all bytes are the file.
    const std::string path = InputFile(data, size, "fuzz.ini");
    ini2 ini;
    if (ini.load(path.c_str()) != 0) return 0;
    char buffer[64];
    long number = 0;
    double real = 0;
    ini.get("Scanner", "ScannerType", buffer, "Lumora", sizeof buffer);
    ini.get("Scanner", "Retry", &number, 10);
    ini.get("Param_1", "Res_X", &real, 50.0);

    const uint8_t* tail = size >= 24 ? data + size - 24 : data;
    const size_t tailSize = size >= 24 ? 24 : size;
    const size_t third = tailSize / 3;
    const std::string section = Name(tail, third, "S");
    const std::string key = Name(tail + third, third, "K");
    const std::string value = Value(tail + 2 * third, tailSize - 2 * third);
    ini.set(section.c_str(), key.c_str(), value.c_str());
    ini.set("Scanner", "FPGABootOnce", long(size));
    if (Get(ini, section, key) != value) std::abort();
    if (ini.write() != 0) return 0;

    ini2 again;
    if (again.load(path.c_str()) != 0) std::abort();
    if (Get(again, section, key) != value) std::abort();
    if (!(section == "Scanner" && key == "FPGABootOnce") &&
        Get(again, "Scanner", "FPGABootOnce") != std::to_string(size))
        std::abort();
    return 0;
}

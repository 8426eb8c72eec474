#include "diagnostics/calibration.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "config/scanner_settings.h"
#include "lumora/lumora.h"

namespace {

// The factor count a file may declare: far above any scan line (a few thousand pixels).
constexpr int MAX_FACTORS = 1 << 20;

struct CalibHeader {
    char serial[CALIB_SERIAL_SIZE] = "";
    int startPixel = 0;
    int count = 0;
    int spacing = 0;
    char date[CALIB_TOKEN_SIZE] = "";
    char time[CALIB_TOKEN_SIZE] = "";
    int mean = 0;
    char separator[CALIB_TOKEN_SIZE] = "";
};

// Lines 1 to 8. False when a line is missing or malformed.
bool ReadHeader(FILE* f, CalibHeader* h) {
    if (fscanf(f, "%64[^\n]", h->serial) != 1) return false;
    fscanf(f, "%*[^\n]");  // the rest of an overlong first line
    if (fscanf(f, "%16i", &h->startPixel) != 1) return false;
    if (fscanf(f, "%16i", &h->count) != 1) return false;
    if (fscanf(f, "%16i", &h->spacing) != 1) return false;
    if (fscanf(f, "%16s", h->date) != 1) return false;
    if (fscanf(f, "%16s", h->time) != 1) return false;
    if (fscanf(f, "%16i", &h->mean) != 1) return false;
    if (fscanf(f, "%16s", h->separator) != 1) return false;
    return true;
}

}  // namespace

int ReadCalibrationHeader(const char* path, char* serial, char* date) {
    strcpy(serial, "????????");
    strcpy(date, "??:??:????");
    if (!path || !path[0]) return LUMORA_E_FILE;
    FILE* f = fopen(path, "rt");
    if (!f) return LUMORA_E_FILE;
    char line[CALIB_TOKEN_SIZE];
    char first[CALIB_SERIAL_SIZE];
    if (fscanf(f, "%64[^\n]", first) == 1) {
        strcpy(serial, first);
        fscanf(f, "%*[^\n]");
        int a, b, c;
        if (fscanf(f, "%16i %16i %16i", &a, &b, &c) == 3 && fscanf(f, "%16s", line) == 1)
            strcpy(date, line);
    }
    fclose(f);
    return 0;
}

int LoadCalibrationFile(double* gains, int count, const char* path) {
    if (!path || !path[0]) return LUMORA_E_FILE;
    FILE* f = fopen(path, "rt");
    if (!f) return LUMORA_E_FILE;
    CalibHeader h;
    if (!ReadHeader(f, &h) || h.count < 1 || h.count > MAX_FACTORS || h.spacing <= 0) {
        fclose(f);
        return LUMORA_E_FILE;
    }
    if (strcmp(h.serial, Device.SerialId) != 0) {
        fclose(f);
        return LUMORA_E_SERIAL;
    }
    std::vector<double> factors(size_t(h.count));
    char token[CALIB_TOKEN_SIZE];
    for (int i = 0; i < h.count; i++) {
        if (fscanf(f, "%16s", token) != 1) {
            fclose(f);
            return LUMORA_E_FILE;
        }
        factors[size_t(i)] = strtod(token, nullptr);
    }
    fclose(f);

    double perPixel = Device.PixelSizeX * 1e9 / h.spacing;
    for (int i = 0; i < count; i++) {
        double pos = i * perPixel;
        int j = pos >= double(h.count - 1) ? h.count - 1 : pos > 0 ? int(pos) : 0;
        gains[i] *= factors[size_t(j)];
    }
    return 0;
}

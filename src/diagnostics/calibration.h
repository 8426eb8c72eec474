// The calibration (correction) file: per-pixel gain factors along the scan line.
#pragma once

constexpr int CALIB_SERIAL_SIZE = 65;  // line 1: at most 64 characters
constexpr int CALIB_TOKEN_SIZE = 17;   // other tokens: at most 16 characters

// Presets serial to "????????" and date to "??:??:????", then reads line 1 (serial) and the
// date of line 5. serial: CALIB_SERIAL_SIZE bytes, date: CALIB_TOKEN_SIZE bytes. 0 or -1.
int ReadCalibrationHeader(const char* path, char* serial, char* date);

// Multiplies gains[0 ... count-1] by the file's factors, each pixel taking the factor at its
// position along the scan line. 0; -1 for an empty path, a missing or malformed file; -1013
// when the file belongs to another device. Nothing is changed unless the result is 0.
int LoadCalibrationFile(double* gains, int count, const char* path);

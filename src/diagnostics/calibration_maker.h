// Making a calibration (correction) file from the image of a uniformly exposed reference
// plate scanned at about 100 um: one gain factor per 100 um along the scan line.
#pragma once

constexpr int CALIB_MAX_COLUMNS = 5000;    // correction values (scan-line positions) at most
constexpr int CALIB_PATH_SIZE = 260;       // reference image paths are shorter than this

// Writes "<image path without its last three characters>kor". 0; the error of reading the
// image information; -1013 when the image comes from another device; -1014 when it covers
// less than 70 % of the scan line or is shorter than 0.1 m; -1017 when its pixels are not
// 95 ... 105 um wide; -8 without memory for it; -1016 / -1015 when too bright / too dark;
// -1018 when not uniform; -102 for a path of CALIB_PATH_SIZE characters or more, or an
// image that needs more than CALIB_MAX_COLUMNS values; -1 when the file cannot be written.
int MakeCalibrationFile(const char* imagePath);

// The kind of plate a parameter set scans (its ImgTypes key) and the set's name, looked up
// in a configuration file read on its own.
#pragma once
#include <string>

enum class PlateKind { Unknown, Intra, Extra, Pano, Ceph };

// "intra", "extra", "pano", "ceph" without regard to case; Unknown for anything else.
PlateKind PlateKindFromName(const std::string& name);
// "intra", "extra", "pano", "ceph" or "unknown".
const char* PlateKindName(PlateKind kind);

struct ParamSetFacts {
    std::string name;  // ParamName
    PlateKind kind = PlateKind::Unknown;
    double resolutionX = 0;  // Res_X, Res_Y: pixel sizes in micrometres (0 when not set)
    double resolutionY = 0;
};

// Parameter set `number` of the configuration file at configPath, for the model the file
// names. False when the file cannot be read or holds no such set.
bool ReadParamSetFacts(const char* configPath, int number, ParamSetFacts* out);

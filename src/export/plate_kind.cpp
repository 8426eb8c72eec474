#include "export/plate_kind.h"

#include <strings.h>

#include "config/config_file.h"
#include "platform/ini2.h"

namespace {

struct KindName {
    PlateKind kind;
    const char* name;
};
constexpr KindName KINDS[] = {{PlateKind::Intra, "intra"},
                              {PlateKind::Extra, "extra"},
                              {PlateKind::Pano, "pano"},
                              {PlateKind::Ceph, "ceph"}};

}  // namespace

PlateKind PlateKindFromName(const std::string& name) {
    for (const KindName& k : KINDS)
        if (strcasecmp(name.c_str(), k.name) == 0) return k.kind;
    return PlateKind::Unknown;
}

const char* PlateKindName(PlateKind kind) {
    for (const KindName& k : KINDS)
        if (k.kind == kind) return k.name;
    return "unknown";
}

bool ReadParamSetFacts(const char* configPath, int number, ParamSetFacts* out) {
    *out = ParamSetFacts{};
    if (!configPath || number < 1) return false;
    ini2 config;
    if (config.load(configPath) != 0 || config.getSize() == 0) return false;
    char section[64];
    ParamSectionNameOf(config, section, number);
    char text[CONFIG_PATH_MAX];
    if (config.get(section, "ParamName", text, "", sizeof text) != 0) return false;
    out->name = text;
    config.get(section, "ImgTypes", text, "", sizeof text);
    out->kind = PlateKindFromName(text);
    config.get(section, "Res_X", &out->resolutionX, 0.0);
    config.get(section, "Res_Y", &out->resolutionY, 0.0);
    return true;
}

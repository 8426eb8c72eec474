#include "config/zrconfigwr.h"

#include "platform/plugin_loader.h"

namespace {
constexpr const char* kLibrary = "libzrconfig.so";

zrconfigwr* firmwareService = nullptr;
zrconfigwr* generalService = nullptr;

zrconfigwr*& Instance(ConfigServiceRole role) {
    return role == ConfigServiceRole::Firmware ? firmwareService : generalService;
}
}  // namespace

zrconfigwr::zrconfigwr() {
    handle_ = platform::LoadPlugin(kLibrary);
    if (!handle_) return;
    platform::ResolveSymbol(handle_, "ZRCInit", init_);
    platform::ResolveSymbol(handle_, "ZRCGetVersion", getVersion_);
    platform::ResolveSymbol(handle_, "ZRCGetCfgPath", getCfgPath_);
    platform::ResolveSymbol(handle_, "ZRCGetNamePart", getNamePart_);
    platform::ResolveSymbol(handle_, "ZRCGetDir", getDir_);
    platform::ResolveSymbol(handle_, "ZRCGetLogConfiguration", getLogConfiguration_);
    platform::ResolveSymbol(handle_, "ZRCIndex2DeviceType", index2DeviceType_);
    platform::ResolveSymbol(handle_, "ZRCGetDeviceTypeCount", getDeviceTypeCount_);
    platform::ResolveSymbol(handle_, "ZRCGetDeviceTypeDesc", getDeviceTypeDesc_);
    platform::ResolveSymbol(handle_, "ZRCReplaceTemplateWithCurrentChild",
                            replaceTemplateWithCurrentChild_);
    platform::ResolveSymbol(handle_, "ZRCDeleteChildren", deleteChildren_);
    platform::ResolveSymbol(handle_, "ZRCGetMethodIni", getMethodIni_);
    if (init_) init_();
}

zrconfigwr::~zrconfigwr() { platform::UnloadPlugin(handle_); }

const char* zrconfigwr::ZRCGetVersion() {
    return getVersion_ ? getVersion_() : "zrconfig.dll not available";
}
const char* zrconfigwr::ZRCGetNamePart() { return getNamePart_ ? getNamePart_() : ""; }
int zrconfigwr::ZRCGetCfgPath(int selector, char* out, int flags) {
    return getCfgPath_ ? getCfgPath_(selector, out, flags) : ZRC_MISSING;
}
int zrconfigwr::ZRCGetDir(int selector, char* out, int flags) {
    return getDir_ ? getDir_(selector, out, flags) : ZRC_MISSING;
}
int zrconfigwr::ZRCGetLogConfiguration(int selector, char* target, int* level, char* option) {
    return getLogConfiguration_ ? getLogConfiguration_(selector, target, level, option)
                                : ZRC_MISSING;
}
int zrconfigwr::ZRCIndex2DeviceType(int index) {
    return index2DeviceType_ ? index2DeviceType_(index) : ZRC_MISSING;
}
int zrconfigwr::ZRCGetDeviceTypeCount() {
    return getDeviceTypeCount_ ? getDeviceTypeCount_() : ZRC_MISSING;
}
int zrconfigwr::ZRCGetDeviceTypeDesc(int a, int b, int c, int d, int e, int f) {
    return getDeviceTypeDesc_ ? getDeviceTypeDesc_(a, b, c, d, e, f) : ZRC_MISSING;
}
int zrconfigwr::ZRCReplaceTemplateWithCurrentChild(int a) {
    return replaceTemplateWithCurrentChild_ ? replaceTemplateWithCurrentChild_(a) : ZRC_MISSING;
}
int zrconfigwr::ZRCDeleteChildren(int a) {
    return deleteChildren_ ? deleteChildren_(a) : ZRC_MISSING;
}
int zrconfigwr::ZRCGetMethodIni(int a, int b, int c) {
    return getMethodIni_ ? getMethodIni_(a, b, c) : ZRC_MISSING;
}

void CreateConfigService(ConfigServiceRole role) {
    zrconfigwr*& instance = Instance(role);
    if (!instance) instance = new zrconfigwr();
}

void DestroyConfigService(ConfigServiceRole role) {
    zrconfigwr*& instance = Instance(role);
    delete instance;
    instance = nullptr;
}

zrconfigwr& FirmwareConfigService() {
    CreateConfigService(ConfigServiceRole::Firmware);
    return *firmwareService;
}

zrconfigwr& ConfigService() {
    CreateConfigService(ConfigServiceRole::General);
    return *generalService;
}

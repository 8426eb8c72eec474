// Wrapper of the configuration service library (libzrconfig.so), loaded at run time.
#pragma once

#define ZRC_CFG_INIFILE 1
#define ZRC_DIR_DEVICES 2
#define ZRC_DIR_IMAGES 4
#define ZRC_DIR_SCRIPTS 7
#define ZRC_LOG_CHANNEL 1
#define ZRC_MISSING (-12)
#define ZRC_TOO_LONG (-6)  // the service's answer does not fit ZRC_BUFFER bytes
#define ZRC_BUFFER 1024

class zrconfigwr {
public:
    zrconfigwr();           // loads the library and calls ZRCInit
    virtual ~zrconfigwr();  // frees the library

    const char* ZRCGetVersion();
    const char* ZRCGetNamePart();
    int ZRCGetCfgPath(int selector, char* out, int flags);
    int ZRCGetDir(int selector, char* out, int flags);
    int ZRCGetLogConfiguration(int selector, char* target, int* level, char* option);
    int ZRCIndex2DeviceType(int index);
    int ZRCGetDeviceTypeCount();
    int ZRCGetDeviceTypeDesc(int a, int b, int c, int d, int e, int f);
    int ZRCReplaceTemplateWithCurrentChild(int a);
    int ZRCDeleteChildren(int a);
    int ZRCGetMethodIni(int a, int b, int c);

private:
    void* handle_ = nullptr;
    int (*init_)() = nullptr;
    const char* (*getVersion_)() = nullptr;
    const char* (*getNamePart_)() = nullptr;
    int (*getLogConfiguration_)(int, char*, int*, char*) = nullptr;
    int (*getCfgPath_)(int, char*, int) = nullptr;
    int (*getDir_)(int, char*, int) = nullptr;
    int (*index2DeviceType_)(int) = nullptr;
    int (*getDeviceTypeCount_)() = nullptr;
    int (*getDeviceTypeDesc_)(int, int, int, int, int, int) = nullptr;
    int (*replaceTemplateWithCurrentChild_)(int) = nullptr;
    int (*deleteChildren_)(int) = nullptr;
    int (*getMethodIni_)(int, int, int) = nullptr;
};

// The two process-wide instances: the first serves the firmware directory of ApiInit, the
// second every other query. Each is built by its Create call at library load, or on first use.
enum class ConfigServiceRole { Firmware, General };
void CreateConfigService(ConfigServiceRole role);
void DestroyConfigService(ConfigServiceRole role);
zrconfigwr& FirmwareConfigService();
zrconfigwr& ConfigService();

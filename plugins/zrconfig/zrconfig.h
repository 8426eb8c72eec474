/* Configuration service of the Lumora driver (libzrconfig.so).
 *
 * Names the configuration file, the device, image and script directories and the log channel
 * settings. The answers come from a small settings file, read again on every query:
 *   $LUMORA_ZRCONFIG when set; otherwise $XDG_CONFIG_HOME/lumora/zrconfig.ini (XDG_CONFIG_HOME
 *   defaults to ~/.config) when it exists; otherwise /etc/lumora/zrconfig.ini.
 *
 *   [Paths]
 *   Config=lumora.ini      ZRCGetCfgPath selector 1
 *   DeviceDir=devices      ZRCGetDir selector 2
 *   ImageDir=images        ZRCGetDir selector 4
 *   ScriptDir=scripts      ZRCGetDir selector 7
 *   [Log]
 *   Target=file:lumora.log ZRCGetLogConfiguration selector 1 ("udp://HOST:PORT", "file:PATH",
 *   Level=5                "stderr"); Level is required, Option may be empty
 *   Option=
 *
 * Relative paths (and the path of a "file:" target) are taken relative to the folder of the
 * settings file. Directories are answered without a trailing '/'. Every text output buffer
 * holds ZRC_BUFFER_SIZE bytes and is always terminated.
 *
 * Results: 0 success, or one of the negative codes below. The functions the driver does not
 * use (ZRCIndex2DeviceType, ZRCGetDeviceTypeCount, ZRCGetDeviceTypeDesc,
 * ZRCReplaceTemplateWithCurrentChild, ZRCDeleteChildren, ZRCGetMethodIni) answer
 * ZRC_NOT_SUPPORTED; ZRCGetNamePart answers an empty text.
 */
#ifndef LUMORA_ZRCONFIG_H
#define LUMORA_ZRCONFIG_H

#define ZRC_BUFFER_SIZE 1024

#define ZRC_OK 0
#define ZRC_NOT_SUPPORTED (-1)  /* function not offered by this service */
#define ZRC_BAD_ARGUMENT (-3)   /* null output buffer or unknown selector */
#define ZRC_NO_SETTINGS (-4)    /* the settings file is missing or empty */
#define ZRC_NO_ENTRY (-5)       /* the entry is missing, empty or not a number */
#define ZRC_TOO_LONG (-6)       /* the answer does not fit ZRC_BUFFER_SIZE bytes */

#ifdef __cplusplus
extern "C" {
#endif

#define ZRC_API __attribute__((visibility("default")))

ZRC_API int ZRCInit(void);
ZRC_API const char* ZRCGetVersion(void);
ZRC_API const char* ZRCGetNamePart(void);
ZRC_API int ZRCGetCfgPath(int selector, char* out, int flags);
ZRC_API int ZRCGetDir(int selector, char* out, int flags);
ZRC_API int ZRCGetLogConfiguration(int selector, char* target, int* level, char* option);
ZRC_API int ZRCIndex2DeviceType(int index);
ZRC_API int ZRCGetDeviceTypeCount(void);
ZRC_API int ZRCGetDeviceTypeDesc(int a, int b, int c, int d, int e, int f);
ZRC_API int ZRCReplaceTemplateWithCurrentChild(int a);
ZRC_API int ZRCDeleteChildren(int a);
ZRC_API int ZRCGetMethodIni(int a, int b, int c);

#ifdef __cplusplus
}
#endif

#endif

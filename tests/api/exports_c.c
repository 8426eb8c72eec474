/* An application's view of liblumora.so, in C99 against the public header only: load the
   library with dlopen, resolve every plain name, every second name and the variable remote,
   and call through a second name. Internal names must not be reachable. */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "lumora/lumora.h"

static const char* const plainNames[] = {
    "Open_Scanner", "Close_Scanner", "Aktivate_Scanner", "Deaktivate_Scanner", "Get_Status",
    "Get_LightStatus", "ClearScanner", "Get_ImageName", "Delete_Image", "Get_FirstOldImageName",
    "Get_NextOldImageName", "Set_ImageExtraHeader", "Get_ImageExtraHeader", "Get_ImageInfo",
    "Read_DiskImage", "Write_DiskImageEx", "Get_ImageValue", "Invert_Image",
    "Opt_ImageGreyscale", "Convert_Image16_8", "Convert_Image8_16", "Check_Imo",
    "Get_Prescanline", "Set_Prescanmode", "Get_ScannerDiag", "Get_ScannerFeatures",
    "Get_Serialnumber", "Run_Beltdrive", "Run_BeltdriveEx", "SetEraseMode", "Ext_ScannerCTRL",
    "Set_ImageFilterMode", "ATRIUM_Mode", "Get_Paramcount", "Get_Paramname", "Get_IniFileName",
    "Set_IniFileName", "Get_DriverVersion", "ApiInit", "ApiExit"};

static const char* const secondNames[] = {
    "_SC_Open_Scanner@4", "_SC_Close_Scanner@0", "_SC_Aktivate_Scanner@0",
    "_SC_Deaktivate_Scanner@0", "_SC_Get_Status@0", "_SC_Get_LightStatus@0",
    "_SC_ClearScanner@4", "_SC_Get_ImageName@4", "_SC_Delete_Image@4",
    "_SC_Set_ImageExtraHeader@8", "_SC_Get_ImageExtraHeader@8", "_SC_Get_ImageInfo@8",
    "_SC_Read_DiskImage@8", "_SC_Write_DiskImageEx@76", "_SC_Get_ImageValue@16",
    "_SC_Invert_Image@12", "_SC_Opt_ImageGreyscale@24", "_SC_Get_Prescanline@4",
    "_SC_Set_Prescanmode@4", "_SC_Get_ScannerDiag@4", "_SC_Get_ScannerFeatures@4",
    "_SC_Get_Serialnumber@4", "_SC_Run_Beltdrive@4", "_SC_Run_BeltdriveEx@4",
    "_SC_SetEraseMode@4", "_SC_Get_Paramcount@0", "_SC_Get_Paramname@8",
    "_SC_Get_IniFileName@4", "_SC_Set_IniFileName@4", "_SC_Get_DriverVersion@4"};

/* Names of the inside that an application must not see. */
static const char* const hiddenNames[] = {
    "LockMutex", "_Z9LockMutexPKc", "ConfigIni", "LogPrint", "_Z8LogPrintiPKcz",
    "OpenSequence", "_Z12OpenSequencei", "_SC_Open_Scanner$4"};

static int failures = 0;

static void check(int ok, const char* what, const char* name) {
    if (!ok) {
        fprintf(stderr, "FAILED: %s: %s\n", what, name);
        ++failures;
    }
}

int main(void) {
    char path[4096];
    const char* dir = getenv("LUMORA_LIBDIR");
    snprintf(path, sizeof path, "%s/liblumora.so", dir && *dir ? dir : ".");
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "FAILED: dlopen %s: %s\n", path, dlerror());
        return 1;
    }

    size_t i;
    for (i = 0; i < sizeof plainNames / sizeof plainNames[0]; ++i)
        check(dlsym(library, plainNames[i]) != NULL, "plain name not found", plainNames[i]);
    for (i = 0; i < sizeof secondNames / sizeof secondNames[0]; ++i)
        check(dlsym(library, secondNames[i]) != NULL, "second name not found", secondNames[i]);
    for (i = 0; i < sizeof hiddenNames / sizeof hiddenNames[0]; ++i)
        check(dlsym(library, hiddenNames[i]) == NULL, "internal name visible", hiddenNames[i]);

    _Bool* remoteFlag = (_Bool*)dlsym(library, "remote");
    check(remoteFlag != NULL, "variable not found", "remote");
    if (remoteFlag) {
        check(*remoteFlag == 1, "remote is not true at load", "remote");
        *remoteFlag = 0;
        check(*remoteFlag == 0, "remote cannot be written", "remote");
        *remoteFlag = 1;
    }

    /* Through the second name: appended behind the caller's text, result 0. */
    int (*version)(char*);
    *(void**)&version = dlsym(library, "_SC_Get_DriverVersion@4"); /* POSIX idiom */
    if (version) {
        char text[80] = "v=";
        check(version(text) == 0, "result of the call through the second name", "Get_DriverVersion");
        check(strcmp(text, "v=6.27.0.969 from '6.27'") == 0, "text of the call through the second name",
              text);
    }
    /* The open gate answers through its second name before any initialisation. */
    int (*status)(void);
    *(void**)&status = dlsym(library, "_SC_Get_Status@0");
    if (status) check(status() == LUMORA_E_NOT_OPEN, "open gate through the second name", "Get_Status");

    dlclose(library);
    if (failures) return 1;
    printf("all %zu plain names, %zu second names and remote resolved\n",
           sizeof plainNames / sizeof plainNames[0], sizeof secondNames / sizeof secondNames[0]);
    return 0;
}

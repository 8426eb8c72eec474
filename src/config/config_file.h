// The configuration file ("lumora.ini") and its parameter sets.
#pragma once
#include "platform/ini2.h"

extern ini2 ConfigIni;  // the loaded configuration (empty when none)

#define CONFIG_PATH_MAX 260

// Locates the file through the configuration service and loads it into ConfigIni.
// 0, or -11 when it cannot be obtained. path_out (260 bytes) may be null.
int Ini_file(char* path_out);
// Copies ConfigIni's file name into path (260 bytes); 1 when ConfigIni is empty, else 0.
int CurrentIniFileName(char* path);
// Number of consecutive parameter sets of the pattern in use.
int CountParamSets();
// Section name of parameter set n for the configured model / demo mode (out: 64 bytes).
char* ParamSectionName(char* out, int n);

extern "C" int Get_IniFileName(char* path);
extern "C" int Set_IniFileName(const char* path);
extern "C" int Get_Paramcount(void);
extern "C" int Get_Paramname(char* name, int number);

// The configuration file ("lumora.ini") and its parameter sets.
#pragma once
#include "platform/ini2.h"

extern ini2 ConfigIni;  // the loaded configuration (empty when none)

#define CONFIG_PATH_MAX 260

// Locates the file through the configuration service and loads it into ConfigIni.
// 0, or -11 when it cannot be obtained. path_out (260 bytes) may be null.
int Ini_file(char* path_out);
// The whole Get_IniFileName behaviour (entry and exit log lines included): reloads the file;
// 0 when ConfigIni holds at least one byte, 1 otherwise.
int IniFileName(char* path_out);
// Copies ConfigIni's file name into path (260 bytes); 1 when ConfigIni is empty, else 0.
int CurrentIniFileName(char* path);
// Number of consecutive parameter sets of the pattern in use (0 when no configuration).
int CountParamSets();
// Section name of parameter set n for the configured model and demo mode (out: 64 bytes).
char* ParamSectionName(char* out, int n);
// The same for a configuration loaded elsewhere (by a tool reading the file on its own).
char* ParamSectionNameOf(const ini2& config, char* out, int n);
// Reads ParamName of set `number` into name (260 bytes): the lookup's result (0 = found).
int ReadParamName(char* name, int number);

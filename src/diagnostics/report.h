// The device report: a text snapshot of the open scanner for service staff.
#pragma once
#include <cstdint>

class HW_access;

// Writes the report to path (missing folders are created). 0, or -1 when the file cannot be
// created or closing it fails. Failed device reads do not stop it. On a main-model scanner
// with an erase unit it waits 5 s (library clock) for the unit's readings.
int WriteReport(const char* path, HW_access* device, uint8_t interfaceKind);

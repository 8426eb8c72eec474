// The measurement output file of the service procedures: each step of the high-voltage
// procedures, the line test and the transfer test leaves one line there, so that a service
// technician (or a tool following the file) sees what was measured. The file is named by the
// environment variable LUMORA_MEASUREMENT_FILE (unset or empty: no file) and is appended to.
// It is opened at the first measurement and stays open until the scanner is closed or shut
// down, which flushes and closes it.
#pragma once

// One line, prefixed with the library clock's time in seconds; flushed at once. Also logged
// at the detail level.
void MeasurementPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Flushes and closes the file when it is open.
void CloseMeasurementFile();
// True while the file is open.
bool MeasurementFileOpen();

// The numbering record of an image folder: the highest image number handed out there, kept so
// that no later session (local, or fetching through the box) gives a name out twice, also when
// the application deleted the images it took over.
#pragma once

// Name of the file in an image folder that keeps the highest image number used there.
constexpr const char* NUMBERING_FILE = ".lumora-last-image";

// The number kept in the folder's record; 0 when there is none or it is unreadable (level 4).
int ReadNumberingFile(const char* directory);
// Replaces the record with number (written whole under a fresh name, then renamed); a failure
// is logged at level 4 and leaves the old record.
void WriteNumberingFile(const char* directory, int number);
// The number a new session continues after: the higher of the record and the highest
// "LM" file in the folder.
int HighestNumberUsed(const char* directory);

// Files left behind by scanner sessions that ended without a close (a killed application):
// temporary files "<name>-<pid>.tmp" of processes that are gone, and hidden partial image and
// info files ".LMnnnnnn.XYZ.part" / ".LMnnnnnn.txt.part" in an image folder that no live
// session uses. A session holds a shared lock on its image folder while the scanner is open,
// so a folder whose exclusive lock can be taken has no writer left.
#pragma once

// Removes the leftovers beside tempPath (this process's temporary file) and in imageDir, one
// level-5 line each, and takes the shared lock on imageDir until ReleaseImageFolder. Files of
// a live process, or of a folder another live session holds, are left alone.
void RemoveLeftovers(const char* imageDir, const char* tempPath);

// Gives up the image folder's lock (close and device shut-down).
void ReleaseImageFolder();

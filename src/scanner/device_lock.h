// One owner per scanner on the EPP path: the open sequence locks the device for the time the
// scanner is open; a second process is refused.
#pragma once

// Takes the lock of the configured EPP device: the device node (LUMORA_EPP_DEVICE or
// /dev/lumoradv), or for the built-in emulator its description file (LUMORA_EMULATOR), so that
// processes driving the same emulated device exclude each other. 0, or LUMORA_E_INIT with a
// level-3 line naming the holder's process.
int LockEppDevice();
// Gives the lock up; nothing when none is held.
void UnlockEppDevice();

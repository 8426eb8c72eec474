// How finished images are written.
#pragma once

// Images are written as rebuilt: no mirroring, rotation or scripts.
extern bool AtriumMode;

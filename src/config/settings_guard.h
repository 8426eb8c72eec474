// Checks of the working numbers derived from a parameter set before they reach the scanner.
#pragma once

struct KonfigOutput;

// 0, or LUMORA_E_RANGE when a derived value is NaN, infinite or outside the range of the
// register or file field it goes to; each such value gets a level-3 line naming the keys it
// comes from, their values and the derived number.
int CheckDerivedSettings(const KonfigOutput& out);

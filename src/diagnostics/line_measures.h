// Measures on scan data used by the high-voltage procedures: the windowed maximum of a line
// and the statistics of one block of the raw stream.
#pragma once
#include <cstdint>

class HW_access;

// For n values: windows of w = n / 100 + 1 values, the first starting at index 1, the next
// w further on while the start lies below n - w; the largest window mean (integer). 0 when
// n - w < 2.
int WindowedMaximum(const uint16_t* values, int n);

struct StreamStatistics {
    uint64_t sum = 0;         // of the pixel values seen
    uint32_t pixels = 0;      // values seen plus pixels skipped
    uint32_t lines = 0;       // line markers
    uint32_t lateLines = 0;   // line markers whose first position reached the threshold
};

// Reads one block of up to 40960 bytes and walks it as (a, b) word pairs: a <= 65520 is two
// pixel values, a = 65534 a line marker with the position b, any other a > 65520 a skip of
// b + 1 pixels. 0 or the block read's code.
int ReadStreamStatistics(HW_access* device, uint16_t threshold, StreamStatistics* out);

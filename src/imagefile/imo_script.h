// Image-operation scripts ("Imo" scripts):
//
//   [ImageOperations]
//   0=ZRIP  ST=0 FUNC="Filter" ZRIPPARAM="GAUSS SIGMA=1.0"
//
// A line is read up to 259 characters; the rest of a longer physical line is skipped. The
// section starts at the first line beginning with "[ImageOperations]" (any case) and ends at
// the next line beginning with "[". Entries 0 ... 8 run in number order; an entry is the
// first line of the section that, upper-cased, contains "<n>=ZRIP  ST=0". A key's value
// follows the key (an opening double quote is skipped) up to the next double quote, or to
// the end of the line when the closing quote is missing; at most 255 characters.
#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>

constexpr size_t IMO_LINE_CHARS = 259;
constexpr size_t IMO_VALUE_CHARS = 255;
constexpr int IMO_ENTRIES = 9;

// Runs filter(parameter text) for each entry of the script stream, in entry order.
// -2 when there is no operation section, 0 when no entry ran, else the last filter result.
int RunImoEntries(FILE* script, const std::function<int(const char* parameter)>& filter);

// The value of key in an (upper-cased) entry line into out (IMO_VALUE_CHARS + 1 bytes);
// empty when the key is missing.
void ImoValue(const char* line, const char* key, char* out);

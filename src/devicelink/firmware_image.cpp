// Intel HEX reader for the firmware download. Every character that is not a hexadecimal digit
// is skipped, so line structure does not matter; end of file always ends the input.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "devicelink/firmware_image.h"
#include "lumora/lumora.h"

namespace {

int HexDigit(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Next byte of the file (two digits); false at end of file.
bool NextByte(FILE* f, uint8_t* out) {
    int digits[2];
    for (int& d : digits) {
        int c;
        do {
            c = std::fgetc(f);
            if (c == EOF) return false;
            d = HexDigit(c);
        } while (d < 0);
    }
    *out = uint8_t(digits[0] << 4 | digits[1]);
    return true;
}

}  // namespace

int ParseHexFile(const char* path, uint8_t** image, uint32_t* length) {
    *image = nullptr;
    *length = 0;
    FILE* f = path ? std::fopen(path, "r") : nullptr;
    if (!f) return LUMORA_E_FW_FILE;

    uint8_t* data = nullptr;
    uint32_t size = 0;
    uint32_t capacity = 0;
    for (;;) {
        uint8_t head[4];  // LL, AH, AL, TT
        uint8_t record[255];
        uint8_t checksum;
        bool complete = NextByte(f, &head[0]) && NextByte(f, &head[1]) &&
                        NextByte(f, &head[2]) && NextByte(f, &head[3]);
        for (int i = 0; complete && i < head[0]; ++i) complete = NextByte(f, &record[i]);
        if (complete) complete = NextByte(f, &checksum);
        if (!complete) break;  // end of file, possibly inside a record: that record is dropped

        uint8_t sum = uint8_t(head[0] + head[1] + head[2] + head[3] + checksum);
        for (int i = 0; i < head[0]; ++i) sum = uint8_t(sum + record[i]);
        if (sum != 0) {
            std::free(data);
            std::fclose(f);
            return LUMORA_E_FW_CHECKSUM;
        }
        if (head[3] == 0x00 && head[0] > 0) {
            if (size + head[0] > capacity) {
                if (size > 0x40000000u) {  // no firmware is this large
                    std::free(data);
                    std::fclose(f);
                    return LUMORA_E_NO_MEMORY;
                }
                uint32_t grown = capacity ? capacity * 2 : 4096;
                while (grown < size + head[0]) grown *= 2;
                auto* bigger = static_cast<uint8_t*>(std::realloc(data, grown));
                if (!bigger) {
                    std::free(data);
                    std::fclose(f);
                    return LUMORA_E_NO_MEMORY;
                }
                data = bigger;
                capacity = grown;
            }
            std::memcpy(data + size, record, head[0]);
            size += head[0];
        }
        if (head[3] == 0x01) break;
    }
    std::fclose(f);
    *image = data;
    *length = size;
    return 0;
}

int ReadFirmwareImage(const char* path, uint8_t** image, uint32_t* length) {
    *image = nullptr;
    *length = 0;
    uint8_t* parsed = nullptr;
    uint32_t parsedLength = 0;
    int rc = ParseHexFile(path, &parsed, &parsedLength);
    if (rc != 0) return rc;
    // The device expects 20 zero bytes after the image.
    auto* padded = static_cast<uint8_t*>(std::realloc(parsed, size_t(parsedLength) + 20));
    if (!padded) {
        std::free(parsed);
        return LUMORA_E_NO_MEMORY;
    }
    std::memset(padded + parsedLength, 0, 20);
    *image = padded;
    *length = parsedLength + 20;
    return 0;
}

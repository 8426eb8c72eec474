#include "export/dicom_uid.h"

#include <random>

std::string NewDicomUid() {
    static thread_local std::random_device source;
    unsigned __int128 value = 0;
    for (int i = 0; i < 4; ++i) value = value << 32 | source();
    // Version 4 and the RFC 4122 variant, as in a UUID made from random bits.
    const unsigned __int128 one = 1;
    value &= ~(unsigned __int128)(0xF) << 76;
    value |= one << 78;
    value &= ~(one << 63 | one << 62);
    value |= one << 63;
    std::string digits;
    do {
        digits.insert(digits.begin(), char('0' + int(value % 10)));
        value /= 10;
    } while (value != 0);
    return "2.25." + digits;
}

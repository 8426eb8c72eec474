// The line test (one full scan line of the photomultiplier at a given voltage) and the
// transfer test of the block reads.
#pragma once
#include <cstdint>

struct ServiceContext;

constexpr int LINE_TEST_VALUES = 2344;

// Records one line at `volts` and copies its first LINE_TEST_VALUES values into out. The
// result of the last block read (0 when all went well).
int LineTest(const ServiceContext& context, uint16_t volts, uint16_t* out);

struct TransferTestResult {
    uint32_t bytes = 0;           // bytes received
    uint32_t transferErrors = 0;  // block reads repeated after a checksum mismatch
};

// Reads `blocks` blocks of `blockBytes` bytes with `retries` attempts each (on the EPP
// interface the same memory again and again, on USB a stream). The result of the last read.
int TransferTest(const ServiceContext& context, uint16_t blockBytes, uint16_t blocks,
                 uint16_t retries, TransferTestResult* out);

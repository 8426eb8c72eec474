// Checked writes for the files the driver produces, with the system error kept.
#pragma once
#include <cstddef>
#include <cstdint>

namespace platform {

// Writes all size bytes at offset of the open file fd. 0, or the system error (errno) of the
// write that failed; a write that makes no progress counts as EIO.
int WriteAt(int fd, const void* data, size_t size, int64_t offset);

// Kinds of files a fault can be injected into.
enum class WriteTarget { Temporary, Image, Info, Numbering };

// Test seam: the error a write of that kind is to fail with, 0 for none. Read from the
// environment variable LUMORA_FAKE_WRITE_ERROR, a list "kind=errno[,kind=errno...]" with the
// kinds temp, image, info and numbering (e.g. "temp=28" fails every temporary-file write
// with ENOSPC). Unset: always 0.
int InjectedWriteError(WriteTarget target);

}  // namespace platform

// INI document in memory: sections of key=value lines, read and written in place.
// Names compare without regard to case; values are trimmed; ';' and '#' start comment lines
// (and inline comments after a blank). Of duplicate keys or sections the first occurrence
// wins. write() replaces the file atomically and changes only the lines of keys that were set.
#pragma once
#include <string>
#include <vector>

class ini2 {
public:
    ini2();
    virtual ~ini2();

    // Reads the whole file; returns 0 on success. getSize() tells whether anything was read.
    // A missing, unreadable or oversized (above 64 MiB) file leaves the document empty.
    int load(const char* file);
    // Number of bytes of text held; 0 when the file was missing or empty.
    size_t getSize() const;
    // The raw text held (NUL-terminated).
    const char* getBuffer() const;
    // Path of the loaded file ("" when none).
    const char* getFilename() const;

    // Lookups: result 0 when the key exists, non-zero when it is missing (the default is then
    // stored). Section and key names compare without regard to case. Text values are copied
    // bounded by `size` (default: the 1024-byte buffers the system uses) and terminated.
    int get(const char* section, const char* key, char* value, const char* def,
            size_t size = 1024) const;
    int get(const char* section, const char* key, long* value, long def) const;
    int get(const char* section, const char* key, double* value, double def) const;

    // Changes or adds a key (line breaks in the value become blanks). A key with '=' or a
    // leading '[', ';' or '#', or a section name with ']', is refused: the document is unchanged.
    void set(const char* section, const char* key, const char* value, const char* comment = nullptr);
    void set(const char* section, const char* key, long value, const char* comment = nullptr);

    // Writes the document back (null: the loaded file). 0 on success.
    int write(const char* file = nullptr);

    // Writes pattern with '#' replaced by the decimal n into out and returns out.
    static char* index(char* out, const char* pattern, int n);
    // The same, bounded by size (out stays terminated).
    static char* index(char* out, size_t size, const char* pattern, int n);

private:
    struct Impl;
    Impl* impl_;
    ini2(const ini2&) = delete;
    ini2& operator=(const ini2&) = delete;
};

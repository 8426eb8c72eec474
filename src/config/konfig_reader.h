// Typed lookups in the configuration for the settings reader.
#pragma once
#include <cstddef>

#include "platform/ini2.h"

class KonfigReader {
public:
    explicit KonfigReader(const ini2& config) : config_(config) {}

    long Long(const char* section, const char* key, long def) const;
    double Double(const char* section, const char* key, double def) const;
    // The text of key, or def, terminated within size.
    void Text(const char* section, const char* key, char* out, size_t size, const char* def) const;
    // Looks up key in the set; when the set lacks it, in the Scanner section.
    double SetElseScanner(const char* set, const char* key, double setDefault,
                          double scannerDefault) const;
    // True when the key exists (its number in *value).
    bool Has(const char* section, const char* key, long* value) const;
    bool HasText(const char* section, const char* key, char* out, size_t size) const;

private:
    const ini2& config_;
};

#include "config/konfig_reader.h"

#include "platform/tools.h"

long KonfigReader::Long(const char* section, const char* key, long def) const {
    long v = def;
    config_.get(section, key, &v, def);
    return v;
}

double KonfigReader::Double(const char* section, const char* key, double def) const {
    double v = def;
    config_.get(section, key, &v, def);
    return v;
}

void KonfigReader::Text(const char* section, const char* key, char* out, size_t size,
                        const char* def) const {
    strxcpy(out, def, size);
    config_.get(section, key, out, def, size);
    out[size - 1] = '\0';
}

double KonfigReader::SetElseScanner(const char* set, const char* key, double setDefault,
                                    double scannerDefault) const {
    double v = setDefault;
    if (config_.get(set, key, &v, setDefault) != 0) {
        v = scannerDefault;
        config_.get("Scanner", key, &v, scannerDefault);
    }
    return v;
}

bool KonfigReader::Has(const char* section, const char* key, long* value) const {
    return config_.get(section, key, value, 0) == 0;
}

bool KonfigReader::HasText(const char* section, const char* key, char* out, size_t size) const {
    out[0] = '\0';
    bool found = config_.get(section, key, out, "", size) == 0;
    out[size - 1] = '\0';
    return found;
}

#include "imagefile/imo_script.h"
#include "lumora/lumora.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <strings.h>

#include "imagefile/image_utilities.h"
#include "imagefile/file_open.h"

namespace {

// Next physical line without its end-of-line characters, at most IMO_LINE_CHARS of it.
// false at the end of the file.
bool ReadLine(FILE* file, char* line) {
    size_t length = 0;
    int c = std::getc(file);
    if (c == EOF) return false;
    for (; c != EOF && c != '\n'; c = std::getc(file)) {
        if (length < IMO_LINE_CHARS) line[length++] = char(c);
    }
    while (length > 0 && line[length - 1] == '\r') --length;
    line[length] = '\0';
    return true;
}

void UpperCase(char* text) {
    for (; *text; ++text) *text = char(std::toupper(static_cast<unsigned char>(*text)));
}

}  // namespace

void ImoValue(const char* line, const char* key, char* out) {
    out[0] = '\0';
    const char* start = std::strstr(line, key);
    if (!start) return;
    start += std::strlen(key);
    if (*start == '"') ++start;
    size_t length = 0;
    while (start[length] && start[length] != '"' && length < IMO_VALUE_CHARS) ++length;
    std::memcpy(out, start, length);
    out[length] = '\0';
}

int RunImoEntries(FILE* script, const std::function<int(const char*)>& filter) {
    char line[IMO_LINE_CHARS + 1];
    bool found = false;
    while (ReadLine(script, line)) {
        if (strncasecmp(line, "[ImageOperations]", 17) == 0) {
            found = true;
            break;
        }
    }
    if (!found) return LUMORA_E_NOT_FOUND;
    const long section = std::ftell(script);
    if (section < 0) return LUMORA_E_NOT_FOUND;

    int result = 0;
    for (int n = 0; n < IMO_ENTRIES; ++n) {
        if (std::fseek(script, section, SEEK_SET) != 0) break;
        char entry[32];
        std::snprintf(entry, sizeof entry, "%i=ZRIP  ST=0", n);
        bool match = false;
        while (ReadLine(script, line)) {
            if (line[0] == '[') break;
            UpperCase(line);
            if (std::strstr(line, entry)) {
                match = true;
                break;
            }
        }
        if (!match) continue;
        char function[IMO_VALUE_CHARS + 1];
        char parameter[IMO_VALUE_CHARS + 1];
        ImoValue(line, "FUNC=", function);
        ImoValue(line, "ZRIPPARAM=", parameter);
        result = filter(parameter);
    }
    return result;
}

int Local_Check_Imo(const char* scriptPath) {
    FILE* script = OpenRegularFile(scriptPath, "r");
    if (!script) return LUMORA_W_BAD_SCRIPT;
    std::fgetc(script);
    const bool readable = !std::ferror(script);
    std::fclose(script);
    return readable ? 0 : -10002;
}

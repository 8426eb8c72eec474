// INI document kept as its original lines, so that a write-back changes only the keys that
// were set and every other byte stays as it was.
//
// Syntax: "[name]" starts a section; "key = value" sets a key; a line whose first non-blank
// character is ';' or '#' is a comment. A ';' or '#' that follows a blank begins an inline
// comment ("Level = 5   ; detail"; but "Color=#FF" keeps its value). Any other line is kept as it
// stands and otherwise ignored. Names compare without regard to case (ASCII); keys and values
// are trimmed of blanks. Keys before the first section belong to the section "".
//
// Duplicates: the first occurrence wins. A section that appears twice is one section; a key
// is read from (and set in) its first occurrence, and later occurrences are ignored.
//
// Not safe for a set() or load() concurrent with lookups on the same document.
#include "platform/ini2.h"

#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>
#include <locale.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <list>
#include <string>
#include <unordered_map>

namespace {

constexpr const char* kUtf8Bom = "\xEF\xBB\xBF";

// A configuration is a few kilobytes; anything beyond this is not one (a device, a stream).
constexpr size_t kMaxFileSize = size_t(64) << 20;

struct Line {
    std::string raw;          // the bytes of the line including its line ending
    size_t valueBegin = 0;    // key lines: span of the value inside raw
    size_t valueEnd = 0;
};
using LineList = std::list<Line>;
using LineIt = LineList::iterator;

struct Section {
    std::string name;                               // as first written
    LineIt header;                                  // end() for the implicit section ""
    LineIt anchor;                                  // new keys go after this line
    bool hasAnchor = false;
    std::unordered_map<std::string, LineIt> keys;   // lower-case key -> first line
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string Lower(const char* s, size_t n) {
    std::string out(s, n);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}
std::string Lower(const std::string& s) { return Lower(s.data(), s.size()); }

// Trims [b, e) of raw in place.
void Trim(const std::string& raw, size_t& b, size_t& e) {
    while (b < e && IsBlank(raw[b])) ++b;
    while (e > b && IsBlank(raw[e - 1])) --e;
}

// Line content without its line ending.
size_t ContentEnd(const std::string& raw) {
    size_t e = raw.size();
    if (e && raw[e - 1] == '\n') --e;
    if (e && raw[e - 1] == '\r') --e;
    return e;
}

// Value text with clean line content: no line breaks (they would split the line).
std::string CleanValue(const char* value) {
    std::string v = value ? value : "";
    for (char& c : v)
        if (c == '\r' || c == '\n') c = ' ';
    return v;
}

locale_t CLocale() {
    static locale_t c = newlocale(LC_NUMERIC_MASK, "C", nullptr);
    return c;
}

}  // namespace

struct ini2::Impl {
    std::string filename;
    LineList lines;
    std::string text;  // the document as bytes (rebuilt after a change)
    std::unordered_map<std::string, Section> sections;  // lower-case name -> section
    std::string eol = "\n";

    void clear() {
        lines.clear();
        sections.clear();
        text.clear();
        eol = "\n";
    }

    Section& sectionFor(const std::string& name, LineIt header) {
        auto [it, inserted] = sections.try_emplace(Lower(name));
        if (inserted) {
            it->second.name = name;
            it->second.header = header;
            if (header != lines.end()) {
                it->second.anchor = header;
                it->second.hasAnchor = true;
            }
        }
        return it->second;
    }

    void parse() {
        sections.clear();
        size_t crlf = text.find("\r\n");
        size_t lf = text.find('\n');
        eol = (crlf != std::string::npos && crlf + 1 == lf) ? "\r\n" : "\n";

        size_t pos = 0;
        while (pos < text.size()) {
            size_t nl = text.find('\n', pos);
            size_t end = nl == std::string::npos ? text.size() : nl + 1;
            lines.push_back(Line{text.substr(pos, end - pos)});
            pos = end;
        }

        Section* current = nullptr;
        bool currentIsFirst = true;  // keys of a repeated section block still count if new
        for (LineIt it = lines.begin(); it != lines.end(); ++it) {
            const std::string& raw = it->raw;
            // A UTF-8 byte-order mark before the first line is no content; it stays in the
            // line, so a write-back keeps it.
            const bool bom = it == lines.begin() && raw.compare(0, 3, kUtf8Bom) == 0;
            size_t b = bom ? 3 : 0, e = ContentEnd(raw);
            if (e < b) e = b;
            Trim(raw, b, e);
            if (b == e || raw[b] == ';' || raw[b] == '#') continue;
            if (raw[b] == '[') {
                size_t close = raw.find(']', b + 1);
                if (close == std::string::npos || close >= e) continue;  // garbage
                size_t nb = b + 1, ne = close;
                Trim(raw, nb, ne);
                std::string name = raw.substr(nb, ne - nb);
                bool known = sections.count(Lower(name)) != 0;
                current = &sectionFor(name, it);
                currentIsFirst = !known;
                continue;
            }
            size_t eq = raw.find('=', b);
            if (eq == std::string::npos || eq >= e) continue;  // garbage
            size_t kb = b, ke = eq;
            Trim(raw, kb, ke);
            if (kb == ke) continue;
            size_t vb = eq + 1, ve = e;
            while (vb < ve && (raw[vb] == ' ' || raw[vb] == '\t')) ++vb;
            // Inline comment: ';' or '#' after a blank (raw[eq] is '=', so i - 1 is safe).
            for (size_t i = vb; i < ve; ++i) {
                if ((raw[i] == ';' || raw[i] == '#') && (raw[i - 1] == ' ' || raw[i - 1] == '\t')) {
                    ve = i;
                    break;
                }
            }
            Trim(raw, vb, ve);
            if (vb == ve) vb = ve = (eq + 1);  // empty value: a set() writes right after '='
            it->valueBegin = vb;
            it->valueEnd = ve;
            if (!current) current = &sectionFor("", lines.end());
            current->keys.try_emplace(Lower(raw.substr(kb, ke - kb)), it);
            if (currentIsFirst) {
                current->anchor = it;
                current->hasAnchor = true;
            }
        }
    }

    const Line* find(const char* section, const char* key) const {
        if (!section || !key) return nullptr;
        auto s = sections.find(Lower(section, std::strlen(section)));
        if (s == sections.end()) return nullptr;
        auto k = s->second.keys.find(Lower(key, std::strlen(key)));
        if (k == s->second.keys.end()) return nullptr;
        return &*k->second;
    }

    void rebuildText() {
        size_t total = 0;
        for (const Line& l : lines) total += l.raw.size();
        text.clear();
        text.reserve(total);
        for (const Line& l : lines) text += l.raw;
    }

    // Makes sure the line ends with a line break before something is added after it.
    void terminate(Line& line) {
        if (line.raw.empty() || line.raw.back() != '\n') line.raw += eol;
    }

    void set(const char* section, const char* key, const std::string& value, const char* comment) {
        if (!section || !key) return;
        std::string keyName = CleanValue(key);
        std::string sectionName = CleanValue(section);
        // Names that would read back as something else are not written.
        if (keyName.empty() || keyName.find('=') != std::string::npos ||
            std::strchr("[;#", keyName[0]) || sectionName.find(']') != std::string::npos)
            return;
        auto s = sections.find(Lower(sectionName));
        if (s != sections.end()) {
            auto k = s->second.keys.find(Lower(keyName));
            if (k != s->second.keys.end()) {
                Line& line = *k->second;
                line.raw.replace(line.valueBegin, line.valueEnd - line.valueBegin, value);
                line.valueEnd = line.valueBegin + value.size();
                rebuildText();
                return;
            }
        }
        if (s == sections.end()) {
            // New section at the end of the document (the implicit section "" at the top).
            if (sectionName.empty()) {
                sectionFor("", lines.end());
            } else {
                if (!lines.empty()) terminate(lines.back());
                sectionFor(sectionName,
                           lines.insert(lines.end(), Line{"[" + sectionName + "]" + eol}));
            }
            s = sections.find(Lower(sectionName));
        }
        Section& sec = s->second;
        LineIt where;  // insert before this line
        if (sec.hasAnchor) {
            terminate(*sec.anchor);
            where = std::next(sec.anchor);
        } else {
            where = lines.begin();  // implicit section without keys: top of the file
        }
        if (comment && *comment)
            lines.insert(where, Line{"; " + CleanValue(comment) + eol});
        std::string raw = keyName + "=" + value + eol;
        Line line{raw, keyName.size() + 1, keyName.size() + 1 + value.size()};
        LineIt added = lines.insert(where, line);
        sec.keys.emplace(Lower(keyName), added);
        sec.anchor = added;
        sec.hasAnchor = true;
        rebuildText();
    }
};

ini2::ini2() : impl_(new Impl) {}
ini2::~ini2() { delete impl_; }

int ini2::load(const char* file) {
    impl_->clear();
    impl_->filename = file ? file : "";
    if (!file || !*file) return -1;
    FILE* f = std::fopen(file, "rbe");
    if (!f) return -1;
    std::string data;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0 && data.size() <= kMaxFileSize)
        data.append(chunk, n);
    bool failed = std::ferror(f) != 0 || data.size() > kMaxFileSize;
    std::fclose(f);
    if (failed) return -1;
    impl_->text = std::move(data);
    impl_->parse();
    return 0;
}

size_t ini2::getSize() const { return impl_->text.size(); }
const char* ini2::getBuffer() const { return impl_->text.c_str(); }
const char* ini2::getFilename() const { return impl_->filename.c_str(); }

int ini2::get(const char* section, const char* key, char* value, const char* def,
              size_t size) const {
    const Line* line = impl_->find(section, key);
    if (value && size > 0) {
        const char* src = def ? def : "";
        size_t len = std::strlen(src);
        if (line) {
            src = line->raw.data() + line->valueBegin;
            len = line->valueEnd - line->valueBegin;
        }
        len = strnlen(src, len < size - 1 ? len : size - 1);
        std::memmove(value, src, len);
        value[len] = '\0';
    }
    return line ? 0 : 1;
}

int ini2::get(const char* section, const char* key, long* value, long def) const {
    const Line* line = impl_->find(section, key);
    if (value) {
        if (line) {
            std::string text = line->raw.substr(line->valueBegin, line->valueEnd - line->valueBegin);
            *value = std::strtol(text.c_str(), nullptr, 10);
        } else {
            *value = def;
        }
    }
    return line ? 0 : 1;
}

int ini2::get(const char* section, const char* key, double* value, double def) const {
    const Line* line = impl_->find(section, key);
    if (value) {
        if (line) {
            std::string text = line->raw.substr(line->valueBegin, line->valueEnd - line->valueBegin);
            locale_t c = CLocale();
            *value = c ? strtod_l(text.c_str(), nullptr, c) : std::strtod(text.c_str(), nullptr);
        } else {
            *value = def;
        }
    }
    return line ? 0 : 1;
}

void ini2::set(const char* section, const char* key, const char* value, const char* comment) {
    impl_->set(section, key, CleanValue(value), comment);
}

void ini2::set(const char* section, const char* key, long value, const char* comment) {
    impl_->set(section, key, std::to_string(value), comment);
}

int ini2::write(const char* file) {
    std::string target = file && *file ? file : impl_->filename;
    if (target.empty()) return -1;

    // Write beside the real file when the name is a symbolic link, keeping the link.
    struct stat st{};
    bool exists = stat(target.c_str(), &st) == 0;
    if (exists) {
        if (char* real = realpath(target.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
        // A file without any write permission is read-only, for every user.
        if (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0 || access(target.c_str(), W_OK) != 0)
            return -1;
    }

    std::string temp = target + ".XXXXXX";
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    const std::string& text = impl_->text;
    size_t done = 0;
    bool ok = true;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += size_t(n);
    }
    mode_t mode = exists ? (st.st_mode & 07777) : mode_t(0644);
    if (ok && fchmod(fd, mode) != 0) ok = false;
    // Keep the owner where we may (a privileged process must not take the file over).
    if (ok && exists && (st.st_uid != geteuid() || st.st_gid != getegid()))
        (void)!fchown(fd, st.st_uid, st.st_gid);
    if (ok && fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && rename(temp.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) {
        unlink(temp.c_str());
        return -1;
    }
    return 0;
}

char* ini2::index(char* out, const char* pattern, int n) {
    return index(out, SIZE_MAX, pattern, n);
}

char* ini2::index(char* out, size_t size, const char* pattern, int n) {
    if (!out || size == 0) return out;
    char number[16];
    std::snprintf(number, sizeof number, "%d", n);
    std::string result;
    for (const char* p = pattern ? pattern : ""; *p; ++p) {
        if (*p == '#')
            result += number;
        else
            result += *p;
    }
    size_t len = result.size() < size - 1 ? result.size() : size - 1;
    std::memcpy(out, result.data(), len);
    out[len] = '\0';
    return out;
}

#include "platform/xmlrpc_shape.h"

#include <cstring>

namespace {

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The text without blanks around it.
void Trim(const char** text, size_t* size) {
    while (*size > 0 && Blank(**text)) ++*text, --*size;
    while (*size > 0 && Blank((*text)[*size - 1])) --*size;
}

bool Digits(const char* t, size_t n, size_t* i) {
    const size_t from = *i;
    while (*i < n && t[*i] >= '0' && t[*i] <= '9') ++*i;
    return *i > from;
}

// [+-]digits, blanks around.
bool IntegerText(const char* t, size_t n) {
    Trim(&t, &n);
    size_t i = n > 0 && (t[0] == '+' || t[0] == '-') ? 1 : 0;
    return Digits(t, n, &i) && i == n;
}

bool BooleanText(const char* t, size_t n) {
    Trim(&t, &n);
    return n == 1 && (t[0] == '0' || t[0] == '1');
}

// [+-]digits[.digits][e[+-]digits], blanks around: read the same in every locale.
bool DoubleText(const char* t, size_t n) {
    Trim(&t, &n);
    size_t i = n > 0 && (t[0] == '+' || t[0] == '-') ? 1 : 0;
    if (!Digits(t, n, &i)) return false;
    if (i < n && t[i] == '.') {
        ++i;
        Digits(t, n, &i);
    }
    if (i < n && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
        if (!Digits(t, n, &i)) return false;
    }
    return i == n;
}

// yyyymmddThh:mm:ss
bool DateTimeText(const char* t, size_t n) {
    static const char form[] = "ddddddddTdd:dd:dd";
    if (n != sizeof form - 1) return false;
    for (size_t i = 0; i < n; ++i) {
        const bool digit = t[i] >= '0' && t[i] <= '9';
        if (form[i] == 'd' ? !digit : t[i] != form[i]) return false;
    }
    return true;
}

// No character XML forbids: control characters other than tab, CR and LF (the library scans
// its tags as C strings and stops at a NUL, leaking what it has begun).
bool XmlCharacters(const std::string& xml) {
    for (unsigned char c : xml)
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') return false;
    return true;
}

class Reader {
public:
    explicit Reader(const std::string& xml) : s_(xml) {}

    void Space() {
        while (p_ < s_.size() && Blank(s_[p_])) ++p_;
    }
    // "<?xml ...?>" at the start.
    void Prolog() {
        Space();
        if (s_.compare(p_, 5, "<?xml") == 0) {
            size_t end = s_.find("?>", p_);
            p_ = end == std::string::npos ? s_.size() : end + 2;
        }
    }
    // The exact text next (after blanks).
    bool Take(const char* text) {
        Space();
        size_t n = std::strlen(text);
        if (s_.compare(p_, n, text) != 0) return false;
        p_ += n;
        return true;
    }
    bool Peek(const char* text) {
        Space();
        return s_.compare(p_, std::strlen(text), text) == 0;
    }
    // Character data up to the next '<' (no markup inside).
    void Text() {
        while (p_ < s_.size() && s_[p_] != '<') ++p_;
    }
    // <tag>text</tag>, or <tag/> where allowed; the text must be what ok accepts.
    bool Leaf(const char* tag, bool emptyForm = true, bool (*ok)(const char*, size_t) = nullptr) {
        std::string open = std::string("<") + tag + ">", empty = std::string("<") + tag + "/>";
        if (emptyForm && Take(empty.c_str())) return true;
        if (!Take(open.c_str())) return false;
        const size_t start = p_;
        Text();
        if (ok && !ok(s_.data() + start, p_ - start)) return false;
        return Take((std::string("</") + tag + ">").c_str());
    }
    // One scalar element, checked so that the library reads it as a value: it leaks the array
    // or struct around a scalar it cannot read, and reads past the end of an empty <base64/>.
    bool Scalar(bool* ok) {
        struct Kind {
            const char* tag;
            bool emptyForm;
            bool (*text)(const char*, size_t);
        };
        static const Kind kinds[] = {{"i4", false, IntegerText},     {"int", false, IntegerText},
                                     {"boolean", false, BooleanText}, {"double", false, DoubleText},
                                     {"string", true, nullptr},       {"base64", false, nullptr},
                                     {"dateTime.iso8601", false, DateTimeText}};
        for (const Kind& k : kinds)
            if (Peek((std::string("<") + k.tag + ">").c_str()) || Peek((std::string("<") + k.tag + "/>").c_str())) {
                *ok = Leaf(k.tag, k.emptyForm, k.text);
                return true;
            }
        return false;
    }
    bool Value(int depth) {
        if (depth > kXmlRpcDepth) return false;
        if (Take("<value/>")) return true;
        if (!Take("<value>")) return false;
        size_t start = p_;
        Text();
        if (s_.compare(p_, 8, "</value>") == 0) return Take("</value>");  // a bare string
        p_ = start;
        bool ok = false;
        if (Scalar(&ok) && !ok) return false;
        if (!ok && Take("<nil/>")) ok = true;
        if (!ok && Take("<array>")) {
            if (!Take("<data>")) {
                ok = Take("<data/>") && Take("</array>");
            } else {
                while (Peek("<value")) {
                    if (!Value(depth + 1)) return false;
                }
                ok = Take("</data>") && Take("</array>");
            }
        }
        if (!ok && Take("<struct>")) {
            while (Take("<member>")) {
                if (!Leaf("name") || !Value(depth + 1) || !Take("</member>")) return false;
            }
            ok = Take("</struct>");
        }
        return ok && Take("</value>");
    }
    bool End() {
        Space();
        return p_ == s_.size();
    }

private:
    const std::string& s_;
    size_t p_ = 0;
};

}  // namespace

bool XmlRpcCallShapeOk(const std::string& xml) {
    if (!XmlCharacters(xml)) return false;
    Reader r(xml);
    r.Prolog();
    if (!r.Take("<methodCall>") || !r.Take("<methodName>")) return false;
    r.Text();
    if (!r.Take("</methodName>")) return false;
    if (r.Take("<params>")) {
        while (r.Take("<param>"))
            if (!r.Value(1) || !r.Take("</param>")) return false;
        if (!r.Take("</params>")) return false;
    } else {
        r.Take("<params/>");
    }
    return r.Take("</methodCall>") && r.End();
}

bool XmlRpcResponseShapeOk(const std::string& xml) {
    if (!XmlCharacters(xml)) return false;
    Reader r(xml);
    r.Prolog();
    if (!r.Take("<methodResponse>")) return false;
    if (r.Take("<fault>")) {
        if (!r.Value(1) || !r.Take("</fault>")) return false;
    } else {
        if (!r.Take("<params>") || !r.Take("<param>") || !r.Value(1) || !r.Take("</param>") ||
            !r.Take("</params>"))
            return false;
    }
    return r.Take("</methodResponse>") && r.End();
}

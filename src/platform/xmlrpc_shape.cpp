#include "platform/xmlrpc_shape.h"

#include <cstring>

namespace {

class Reader {
public:
    explicit Reader(const std::string& xml) : s_(xml) {}

    void Space() {
        while (p_ < s_.size() && (s_[p_] == ' ' || s_[p_] == '\t' || s_[p_] == '\r' || s_[p_] == '\n')) ++p_;
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
    // <tag>text</tag> or <tag/>.
    bool Leaf(const char* tag) {
        std::string open = std::string("<") + tag + ">", empty = std::string("<") + tag + "/>";
        if (Take(empty.c_str())) return true;
        if (!Take(open.c_str())) return false;
        Text();
        return Take((std::string("</") + tag + ">").c_str());
    }
    bool Value(int depth) {
        if (depth > kXmlRpcDepth) return false;
        if (Take("<value/>")) return true;
        if (!Take("<value>")) return false;
        size_t start = p_;
        Text();
        if (s_.compare(p_, 8, "</value>") == 0) return Take("</value>");  // a bare string
        p_ = start;
        static const char* const scalars[] = {"i4", "int", "i8", "boolean", "double", "string",
                                              "dateTime.iso8601", "base64"};
        bool ok = false;
        for (const char* tag : scalars)
            if (Peek((std::string("<") + tag + ">").c_str()) || Peek((std::string("<") + tag + "/>").c_str())) {
                ok = Leaf(tag);
                break;
            }
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
        if (!ok && Take("<struct/>")) ok = true;
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

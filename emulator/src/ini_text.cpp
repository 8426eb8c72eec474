#include "ini_text.h"

#include <cctype>
#include <sstream>

namespace lumora_emu {

static std::string Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::string IniText::Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

void IniText::Parse(const std::string& text) {
    values_.clear();
    order_.clear();
    std::istringstream in(text);
    std::string line, section;
    while (std::getline(in, line)) {
        for (size_t i = 0; i < line.size(); ++i) {
            if ((line[i] == ';' || line[i] == '#') &&
                (i == 0 || std::isspace(static_cast<unsigned char>(line[i - 1])))) {
                line.resize(i);
                break;
            }
        }
        line = Trim(line);
        if (line.empty()) continue;
        if (line.front() == '[') {
            size_t end = line.find(']');
            section = Trim(line.substr(1, end == std::string::npos ? std::string::npos : end - 1));
            if (!values_.count(Lower(section))) order_.push_back(section);
            values_[Lower(section)];
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        values_[Lower(section)][Lower(Trim(line.substr(0, eq)))] = Trim(line.substr(eq + 1));
    }
}

bool IniText::Has(const std::string& section, const std::string& key) const {
    auto s = values_.find(Lower(section));
    return s != values_.end() && s->second.count(Lower(key)) != 0;
}

std::string IniText::Get(const std::string& section, const std::string& key) const {
    auto s = values_.find(Lower(section));
    if (s == values_.end()) return {};
    auto k = s->second.find(Lower(key));
    return k == s->second.end() ? std::string() : k->second;
}

}  // namespace lumora_emu

// Minimal INI reader for device description files: [Section] lines, key=value pairs,
// comments after ';' or '#'. Names compare without regard to case.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace lumora_emu {

class IniText {
public:
    void Parse(const std::string& text);
    bool Has(const std::string& section, const std::string& key) const;
    std::string Get(const std::string& section, const std::string& key) const;
    std::vector<std::string> Sections() const { return order_; }

private:
    static std::string Lower(std::string s);
    std::map<std::string, std::map<std::string, std::string>> values_;
    std::vector<std::string> order_;
};

}  // namespace lumora_emu

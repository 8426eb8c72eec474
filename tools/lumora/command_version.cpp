// lumora version: the driver's version text and the library file in use.
#include <cstdio>

#include "commands.h"

namespace {

int RunVersion(Library& library, const std::vector<std::string>& args) {
    if (!args.empty()) return UsageError("version", "no arguments expected");
    auto getVersion = LUMORA_FUNCTION(library, Get_DriverVersion);
    if (!getVersion) return Failure(library.error().c_str(), LUMORA_E_INIT);
    char text[80] = "";
    int result = getVersion(text);
    if (result != 0) return Failure("Get_DriverVersion", result);
    std::printf("%s\nlibrary: %s\n", text, library.path().c_str());
    return 0;
}

}  // namespace

LUMORA_COMMAND(version, "show the driver version and the library in use",
               "usage: lumora version\n\n"
               "Prints the driver's version text (Get_DriverVersion) and the file of the\n"
               "library that was loaded.\n",
               RunVersion);

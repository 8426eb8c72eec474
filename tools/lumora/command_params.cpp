// lumora params: the numbered parameter sets of the configuration in use.
#include <cstdio>

#include "commands.h"

namespace {

int RunParams(Library& library, const std::vector<std::string>& args) {
    if (!args.empty()) return UsageError("params", "no arguments expected");
    auto apiInit = LUMORA_FUNCTION(library, ApiInit);
    auto count = LUMORA_FUNCTION(library, Get_Paramcount);
    auto name = LUMORA_FUNCTION(library, Get_Paramname);
    auto iniFile = LUMORA_FUNCTION(library, Get_IniFileName);
    if (!apiInit || !count || !name || !iniFile)
        return Failure(library.error().c_str(), LUMORA_E_INIT);

    char path[260] = "";
    if (iniFile(path) != 0) return Failure("no configuration file", LUMORA_E_NO_CONFIG_FILE);
    int init = apiInit();
    int sets = count();
    if (sets == 0 && init != 0) return Failure("initialisation", init);
    std::printf("configuration: %s\n", path);
    if (sets == 0) {
        std::printf("no parameter sets\n");
        return 0;
    }
    for (int n = 1; n <= sets; ++n) {
        char text[260] = "";
        int result = name(text, n);
        if (result != 0) return Failure("Get_Paramname", result);
        std::printf("%3d  %s\n", n, text);
    }
    return 0;
}

}  // namespace

LUMORA_COMMAND(params, "list the parameter sets of the configuration",
               "usage: lumora params\n\n"
               "Lists the parameter sets of the configuration file in use, by number and name\n"
               "(Get_Paramcount, Get_Paramname). Set 0 always opens the built-in default set.\n",
               RunParams);

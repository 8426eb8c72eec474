// lumora: the command-line front of the scanner driver.
//
//     lumora <command> [arguments]     lumora --help     lumora <command> --help
//
// Exit status: 0 success, 1 the library reported a failure (its code is printed), 2 usage.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"

namespace {

std::vector<Command>& Registry() {
    static std::vector<Command> commands;
    return commands;
}

void PrintOverview(FILE* out) {
    std::fprintf(out,
                 "usage: lumora <command> [arguments]\n"
                 "       lumora <command> --help\n\n"
                 "The driver library liblumora.so is loaded as an application loads it: beside\n"
                 "this tool (../lib), then from LUMORA_LIBDIR, then from the library path.\n\n"
                 "commands:\n");
    for (const Command& command : Commands())
        std::fprintf(out, "  %-10s %s\n", command.name, command.summary);
}

}  // namespace

bool RegisterCommand(const Command& command) {
    Registry().push_back(command);
    std::sort(Registry().begin(), Registry().end(), [](const Command& a, const Command& b) {
        return std::string(a.name) < b.name;
    });
    return true;
}

const std::vector<Command>& Commands() { return Registry(); }

bool WantsHelp(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(),
                       [](const std::string& a) { return a == "--help" || a == "-h"; });
}

int Failure(const char* what, int code) {
    std::fprintf(stderr, "lumora: %s: %s (code %d)\n", what, Explain(code), code);
    return 1;
}

int UsageError(const char* command, const std::string& message) {
    std::fprintf(stderr, "lumora %s: %s\n", command, message.c_str());
    for (const Command& c : Commands())
        if (c.name == std::string(command)) std::fputs(c.usage, stderr);
    return 2;
}

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintOverview(stderr);
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintOverview(stdout);
        return 0;
    }
    const Command* command = nullptr;
    for (const Command& c : Commands())
        if (args[0] == c.name) command = &c;
    if (!command) {
        std::fprintf(stderr, "lumora: unknown command '%s'\n", args[0].c_str());
        PrintOverview(stderr);
        return 2;
    }
    args.erase(args.begin());
    if (WantsHelp(args)) {
        std::fputs(command->usage, stdout);
        return 0;
    }
    Library library;
    if (!library.load()) {
        std::fprintf(stderr, "lumora: %s\n", library.error().c_str());
        return 1;
    }
    return command->run(library, args);
}

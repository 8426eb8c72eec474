// The commands of the lumora tool. Each command lives in a file of its own and registers
// itself with one line:
//
//     LUMORA_COMMAND(version, "show the driver version", "lumora version", RunVersion);
//
// The function gets the loaded library and the arguments after the command name.
#pragma once
#include <string>
#include <vector>

#include "library.h"

struct Command {
    const char* name;
    const char* summary;  // one line for the list of commands
    const char* usage;    // the full help text of the command
    int (*run)(Library& library, const std::vector<std::string>& args);
};

// All registered commands, sorted by name.
const std::vector<Command>& Commands();
bool RegisterCommand(const Command& command);

#define LUMORA_COMMAND(name, summary, usage, run) \
    static const bool registered_##name = RegisterCommand({#name, summary, usage, run})

// True when args ask for help ("--help" or "-h" anywhere).
bool WantsHelp(const std::vector<std::string>& args);
// Prints "lumora: <what>: <explanation of code> (code <code>)" to stderr; returns exit status 1.
int Failure(const char* what, int code);
// Prints "lumora <command>: <message>" and the command's usage to stderr; returns exit
// status 2.
int UsageError(const char* command, const std::string& message);
// One-line explanation of a result code of the library.
const char* Explain(int code);

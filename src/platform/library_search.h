// Finding shared libraries at run time: the folder LUMORA_LIBDIR names, the running
// executable's folder, dlopen of candidates in turn with the reason each one failed, and
// where a program that uses liblumora.so as an application does looks for it. The program
// resolves the exported functions itself (ResolveSymbol in plugin_loader.h).
#pragma once
#include <string>
#include <vector>

namespace platform {

inline constexpr char DRIVER_LIBRARY[] = "liblumora.so";

// The folder LUMORA_LIBDIR names (the build tree in tests), with a trailing '/'; empty when
// it is unset or empty.
std::string ExtraLibraryDirectory();
// Folder of the running executable, with a trailing '/'; empty when unknown.
std::string ExecutableDirectory();

// dlopen (RTLD_NOW | RTLD_LOCAL | extraFlags) of each candidate in turn: the first handle,
// with that candidate in *loaded when asked; null when none loads, with the reasons in
// *reasons, separated by "; ".
void* OpenFirstLibrary(const std::vector<std::string>& candidates, int extraFlags,
                       std::string* reasons, std::string* loaded = nullptr);

// liblumora.so for a program: beside the executable in ../lib, then in LUMORA_LIBDIR, then
// on the library path.
std::vector<std::string> ProgramDriverCandidates();
// OpenFirstLibrary of the driver's candidates; null with *error = "cannot load liblumora.so:
// <reasons>".
void* OpenDriverLibrary(const std::vector<std::string>& candidates, int extraFlags,
                        std::string* error, std::string* loaded = nullptr);

}  // namespace platform

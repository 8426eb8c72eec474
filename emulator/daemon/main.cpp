// lumora-emud: the scanner emulator in a process of its own. The driver (LUMORA_EPP_DEVICE=
// unix:PATH) and the USB library (LUMORA_USB_DEVICE=unix:PATH) reach it over a Unix socket,
// so the emulated scanner, with the data in its memory, outlives an application that dies.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lumora_emu/emulator.h"
#include "server.h"

namespace {

emud::Server* running = nullptr;

void OnSignal(int) {
    if (running) running->Stop();
}

int Usage(const char* message) {
    if (message) std::fprintf(stderr, "lumora-emud: %s\n", message);
    std::fprintf(stderr,
                 "usage: lumora-emud --socket PATH [--control PATH] [--device FILE]\n\n"
                 "Holds one emulated scanner and answers the driver on the Unix socket PATH\n"
                 "(LUMORA_EPP_DEVICE=unix:PATH, LUMORA_USB_DEVICE=unix:PATH). The device is\n"
                 "described by FILE (else LUMORA_EMULATOR, else the built-in device). Commands\n"
                 "(state, feed, advance, clock, hold, release, peek, fault, reset, quit) are\n"
                 "taken one per line on the control socket (default PATH.ctl). SIGINT or SIGTERM ends it.\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string socketPath, controlPath, device;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") return Usage(nullptr), 0;
        if (i + 1 >= argc) return Usage(("missing value of " + a).c_str());
        if (a == "--socket") socketPath = argv[++i];
        else if (a == "--control") controlPath = argv[++i];
        else if (a == "--device") device = argv[++i];
        else return Usage(("unexpected argument: " + a).c_str());
    }
    if (socketPath.empty()) return Usage("--socket is required");
    if (controlPath.empty()) controlPath = socketPath + ".ctl";
    if (!device.empty()) setenv("LUMORA_EMULATOR", device.c_str(), 1);
    lumora_emu::TheDevice();  // reads the description now, so that its messages come first

    emud::Server server;
    std::string error;
    if (!server.Start(socketPath, controlPath, &error)) {
        std::fprintf(stderr, "lumora-emud: %s\n", error.c_str());
        return 1;
    }
    running = &server;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    std::printf("lumora-emud: listening on %s (control %s)\n", socketPath.c_str(), controlPath.c_str());
    std::fflush(stdout);
    int rc = server.Run();
    running = nullptr;
    return rc;
}

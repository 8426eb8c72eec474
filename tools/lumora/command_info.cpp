// lumora info: serial number, features and diagnosis of the scanner.
#include <cstdio>
#include <cstdlib>

#include "commands.h"

namespace {

int RunInfo(Library& library, const std::vector<std::string>& args);

int RunInfo(Library& library, const std::vector<std::string>& args) {
    int set = 0;
    for (size_t i = 0; i < args.size(); i++) {
        char* end = nullptr;
        if (args[i] == "--set" && i + 1 < args.size() && (set = int(strtol(args[i + 1].c_str(), &end, 10)), !*end) &&
            set >= 0) {
            i++;
            continue;
        }
        return UsageError("info", "unexpected argument: " + args[i]);
    }
    auto open = LUMORA_FUNCTION(library, Open_Scanner);
    auto close = LUMORA_FUNCTION(library, Close_Scanner);
    auto apiInit = LUMORA_FUNCTION(library, ApiInit);
    auto serial = LUMORA_FUNCTION(library, Get_Serialnumber);
    auto features = LUMORA_FUNCTION(library, Get_ScannerFeatures);
    auto diag = LUMORA_FUNCTION(library, Get_ScannerDiag);
    if (!open || !close || !apiInit || !serial || !features || !diag)
        return Failure(library.error().c_str(), LUMORA_E_INIT);

    int r = open(set);
    if (r == LUMORA_W_OLD_IMAGES || r == LUMORA_W_LAMP_LIFETIME) {
        std::fprintf(stderr, "lumora: warning: %s (code %d)\n", Explain(r), r);
        if ((r = apiInit()) != 0) {
            close();
            return Failure("initialisation after the open", r);
        }
    } else if (r != 0) {
        return Failure("Open_Scanner", r);
    }

    char text[64] = "";
    int sr = serial(text);
    ScannerFeatures f{};
    int fr = features(&f);
    ScannerDiag d{};
    int dr = diag(&d);
    int cr = close();

    if (sr == 0) std::printf("serial number:      %s\n", text);
    if (fr == 0) {
        std::printf("device type:        %u\n", f.deviceTypeId);
        std::printf("slots:              %u\n", f.slotCount);
        std::printf("intra-oral plates:  %s\n", f.intraFeature ? "yes" : "no");
        std::printf("extra-oral plates:  %s\n", f.extraFeature ? "yes" : "no");
        std::printf("erase unit:         %s\n", f.bleachingFeature ? "yes" : "no");
        std::printf("polygon speed:      %u rpm\n", f.polygonSpeed);
        std::printf("laser power:        %u mW\n", f.laserEmissionPower);
    }
    std::printf("diagnosis:          %02X %02X %02X %02X  %02X %02X  -> %s (code %d)\n", d.slot[0], d.slot[1],
                d.slot[2], d.slot[3], d.lamp[0], d.lamp[1], dr == 0 ? "no report" : Explain(dr), dr);
    if (sr != 0) return Failure("Get_Serialnumber", sr);
    if (fr != 0) return Failure("Get_ScannerFeatures", fr);
    if (cr != 0) return Failure("Close_Scanner", cr);
    return 0;
}

}  // namespace

LUMORA_COMMAND(info, "show serial number, features and diagnosis of the scanner",
               "usage: lumora info [--set N]\n\n"
               "Opens the scanner (parameter set N, default 0), prints its serial number\n"
               "(Get_Serialnumber), its features (Get_ScannerFeatures) and its diagnosis\n"
               "(Get_ScannerDiag), and closes it again.\n",
               RunInfo);

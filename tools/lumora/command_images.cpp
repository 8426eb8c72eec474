// lumora images: the image files left in the image folder (old-image search).
#include <cstdio>

#include "commands.h"

namespace {

int RunImages(Library& library, const std::vector<std::string>& args);

int RunImages(Library& library, const std::vector<std::string>& args) {
    bool details = false;
    for (const std::string& a : args) {
        if (a == "--info")
            details = true;
        else
            return UsageError("images", "unexpected argument: " + a);
    }
    auto first = LUMORA_FUNCTION(library, Get_FirstOldImageName);
    auto next = LUMORA_FUNCTION(library, Get_NextOldImageName);
    auto info = LUMORA_FUNCTION(library, Get_ImageInfo);
    if (!first || !next || !info) return Failure(library.error().c_str(), LUMORA_E_INIT);

    char name[1024] = "";
    int r = first(name);
    if (r == LUMORA_E_SCANNER_OPEN || r == LUMORA_E_NOT_OPEN || r == LUMORA_E_INIT)
        return Failure("Get_FirstOldImageName", r);
    int count = 0;
    for (; r == 0; r = next(name)) {
        count++;
        if (!details) {
            std::printf("%s\n", name);
            continue;
        }
        ImageInfo i{};
        int ir = info(&i, name);
        if (ir != 0)
            std::printf("%s  (no image information, code %d)\n", name, ir);
        else
            std::printf("%s  %ux%u  %.1fx%.1f um  %04u-%02u-%02u %02u:%02u:%02u\n", name, i.width, i.height,
                        i.pixelSizeX / 1000.0, i.pixelSizeY / 1000.0, i.year, i.month, i.day, i.hour,
                        i.minute, i.second);
    }
    std::printf("%d image%s in the image folder\n", count, count == 1 ? "" : "s");
    return 0;
}

}  // namespace

LUMORA_COMMAND(images, "list the image files left in the image folder",
               "usage: lumora images [--info]\n\n"
               "Lists the image files (LM*.XYZ) in the image folder of the configuration, in\n"
               "the order the file system gives them (Get_FirstOldImageName,\n"
               "Get_NextOldImageName). --info adds size, pixel size and date from each info\n"
               "file. The scanner must be closed.\n",
               RunImages);

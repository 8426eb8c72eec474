// lumora convert: an image file of the driver (with its info file) as DICOM, 16-bit TIFF,
// 16-bit PNG or 8-bit PNG.
#include <cstdio>

#include "commands.h"
#include "plate_export.h"

namespace {

int RunConvert(Library& library, const std::vector<std::string>& args) {
    std::string image, out, to;
    ExportSettings settings;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string error;
        if (TakeExportOption(args, &i, &settings, &error)) {
            if (!error.empty()) return UsageError("convert", error);
        } else if (a == "--to" && i + 1 < args.size()) {
            to = args[++i];
        } else if ((a == "-o" || a == "--output") && i + 1 < args.size()) {
            out = args[++i];
        } else if (!a.empty() && a[0] != '-' && image.empty()) {
            image = a;
        } else {
            return UsageError("convert", "unexpected argument: " + a);
        }
    }
    if (image.empty()) return UsageError("convert", "no image file named");
    ExportFormat format;
    if (!ParseExportFormat(to, &format))
        return UsageError("convert", to.empty() ? "no format named (--to)" : "unknown format: " + to);
    std::string written;
    int r = ExportImageFile(library, image, format, settings, out, &written);
    return r == LUMORA_OK ? 0 : 1;
}

}  // namespace

LUMORA_COMMAND(convert, "export an image file as DICOM, TIFF or PNG",
               "usage: lumora convert IMAGE --to dicom|tiff|png16|png8 [-o OUT] [DICOM options]\n\n"
               "Writes the image file IMAGE (LM000001.XYZ ...) and its info file as a DICOM\n"
               "file (intra-oral plates as intra-oral X-ray images, the other kinds as digital\n"
               "X-ray images; stored inverted so that bone is bright), a 16-bit TIFF, a 16-bit\n"
               "PNG (the plate values unchanged, the pixel size as resolution) or an 8-bit PNG\n"
               "preview. OUT defaults to IMAGE with the extension .dcm, .tif or .png.\n\n"
               LUMORA_EXPORT_OPTIONS_USAGE,
               RunConvert);

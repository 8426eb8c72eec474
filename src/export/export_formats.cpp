#include "export/export_formats.h"

#include "export/dicom_export.h"
#include "export/png_export.h"
#include "export/tiff_export.h"

namespace {

struct FormatEntry {
    ExportFormat format;
    const char* name;
    const char* extension;
};
constexpr FormatEntry FORMATS[] = {{ExportFormat::Dicom, "dicom", ".dcm"},
                                   {ExportFormat::Tiff, "tiff", ".tif"},
                                   {ExportFormat::Png16, "png16", ".png"},
                                   {ExportFormat::Png8, "png8", ".png"}};

const FormatEntry& EntryOf(ExportFormat format) {
    for (const FormatEntry& f : FORMATS)
        if (f.format == format) return f;
    return FORMATS[0];
}

}  // namespace

bool ParseExportFormat(const std::string& text, ExportFormat* out) {
    for (const FormatEntry& f : FORMATS)
        if (text == f.name) {
            *out = f.format;
            return true;
        }
    return false;
}

const char* ExportFormatName(ExportFormat format) { return EntryOf(format).name; }
const char* ExportExtension(ExportFormat format) { return EntryOf(format).extension; }

int ExportPlate(const PlateImage& image, ExportFormat format, const ExportFacts& facts,
                const DicomOptions& dicom, const std::string& path, std::string* error) {
    if (image.pixels.empty() || image.pixels.size() != size_t(image.width) * image.height) {
        *error = "empty image";
        return LUMORA_E_RANGE;
    }
    switch (format) {
        case ExportFormat::Dicom: return WriteDicom(image, facts, dicom, path, error);
        case ExportFormat::Tiff: return WriteTiff16(image, path, error);
        case ExportFormat::Png16: return WritePng(image, false, path, error);
        case ExportFormat::Png8: return WritePng(image, true, path, error);
    }
    *error = "unknown format";
    return LUMORA_E_NOT_FOUND;
}

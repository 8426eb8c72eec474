// Export of finished images for the convert and scan commands: the DICOM options of the
// command line, and the parameter set's name and plate kind from the configuration in use.
#pragma once
#include <string>
#include <vector>

#include "export/export_formats.h"
#include "library.h"

struct ExportSettings {
    DicomOptions dicom;
    std::string kind;  // --kind: overrides the parameter set's plate kind
};

// Takes the option at args[*i] (and its value) when it is an export option: true, with *i
// on the value. *error is set when the option lacks its value or the kind is unknown.
bool TakeExportOption(const std::vector<std::string>& args, size_t* i, ExportSettings* settings,
                      std::string* error);

// The usage lines of the export options.
#define LUMORA_EXPORT_OPTIONS_USAGE                                                        \
    "DICOM attributes (empty when not given):\n"                                           \
    "  --patient-name NAME      Family^Given\n"                                            \
    "  --patient-id ID\n"                                                                  \
    "  --birth-date YYYYMMDD\n"                                                            \
    "  --sex M|F|O\n"                                                                      \
    "  --study TEXT             study description\n"                                       \
    "  --study-id ID            at most 16 characters\n"                                   \
    "  --accession NUMBER       at most 16 characters\n"                                   \
    "  --referring NAME         referring physician, Family^Given\n"                       \
    "  --institution NAME\n"                                                               \
    "  --kind intra|extra|pano|ceph\n"                                                     \
    "                           plate kind (default: the ImgTypes of the image's parameter\n" \
    "                           set in the configuration in use; digital X-ray when unknown)\n"

// Exports the image file to out (empty: beside the image with the format's extension).
// Prints "  <format>: <file>" on success, the reason on stderr otherwise. The result code of
// the export; *written names the file.
int ExportImageFile(Library& library, const std::string& imagePath, ExportFormat format,
                    const ExportSettings& settings, const std::string& out, std::string* written);

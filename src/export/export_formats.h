// The formats a finished plate is exported to, and what the exporters take besides the image.
#pragma once
#include <string>

#include "export/plate_image.h"
#include "export/plate_kind.h"

enum class ExportFormat { Dicom, Tiff, Png16, Png8 };

// "dicom", "tiff", "png16", "png8"; false for anything else.
bool ParseExportFormat(const std::string& text, ExportFormat* out);
const char* ExportFormatName(ExportFormat format);
// ".dcm", ".tif" or ".png".
const char* ExportExtension(ExportFormat format);

// Patient and study attributes of a DICOM file; empty ones are written empty (the attributes
// are type 2). Empty UIDs are made fresh; give the same study and series UID to several
// images of one session to keep them together.
struct DicomOptions {
    std::string patientName;       // PN, "Family^Given"
    std::string patientId;         // LO
    std::string patientBirthDate;  // DA, YYYYMMDD
    std::string patientSex;        // M, F or O
    std::string studyDescription;  // LO
    std::string studyId;           // SH
    std::string accessionNumber;   // SH
    std::string referringPhysician;  // PN
    std::string institution;       // LO
    std::string studyUid;
    std::string seriesUid;
    int seriesNumber = 1;
    int instanceNumber = 1;
};

// What the exporters know of the acquisition beside the image and info files.
struct ExportFacts {
    PlateKind kind = PlateKind::Unknown;  // decides the DICOM storage class
    std::string paramSetName;             // the parameter set's ParamName
};

// Writes the image to path in the format, under a temporary name renamed when complete.
// LUMORA_OK; LUMORA_E_NOT_FOUND for an option value the format does not take; LUMORA_E_FILE
// when the file cannot be written. *error tells what failed.
int ExportPlate(const PlateImage& image, ExportFormat format, const ExportFacts& facts,
                const DicomOptions& dicom, const std::string& path, std::string* error);

#include "export/dicom_export.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcdict.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>

#include "export/dicom_uid.h"
#include "platform/version.h"

namespace {

const char* const MANUFACTURER = "Lumora";
const char* const MODEL_NAME = "Lumora plate scanner";

// Coded anatomic regions (SNOMED CT).
struct Code {
    const char* value;
    const char* meaning;
};
constexpr Code JAW_REGION{"661005", "Jaw region"};
constexpr Code SKULL{"89546000", "Skull"};
constexpr Code TOOTH{"38199008", "Tooth"};

// What the plate kind tells. The scanner knows neither the side nor the tooth nor how the
// plate lay: an intra-oral image shows teeth of the jaw region (both sides possible), and
// the orientation is the viewing one (patient's left to the right, feet down; a lateral
// cephalogram facing right).
struct StorageClass {
    const char* sopClass;
    const char* modality;
    const Code* region;      // Anatomic Region Sequence (null: empty)
    const Code* structure;   // Primary Anatomic Structure Sequence (null: none)
    const char* laterality;  // Image Laterality
    const char* orientation; // Patient Orientation
};

StorageClass ClassOf(PlateKind kind) {
    switch (kind) {
        case PlateKind::Intra:
            return {UID_DigitalIntraOralXRayImageStorageForPresentation, "IO", &JAW_REGION, &TOOTH,
                    "B", "L\\F"};
        case PlateKind::Pano:
            return {UID_DigitalXRayImageStorageForPresentation, "PX", &JAW_REGION, nullptr, "B",
                    "L\\F"};
        case PlateKind::Ceph:
            return {UID_DigitalXRayImageStorageForPresentation, "DX", &SKULL, nullptr, "B", "A\\F"};
        default:
            return {UID_DigitalXRayImageStorageForPresentation, "DX", nullptr, nullptr, "U", "L\\F"};
    }
}

std::string Format(const char* pattern, double a, double b = 0) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

// Builds the data set; false with *error set when a value is refused.
class DatasetBuilder {
public:
    explicit DatasetBuilder(DcmDataset& d) : d_(d) {}

    void Put(const DcmTagKey& tag, const std::string& value) {
        if (ok_ && d_.putAndInsertString(tag, value.c_str()).bad()) Fail(tag, value);
    }
    // A value from outside: it must fit its value representation and its length.
    void PutChecked(const DcmTagKey& tag, const std::string& value) {
        if (ok_ && value.size() > MaxLength(tag)) Fail(tag, value);
        Put(tag, value);
        DcmElement* element = nullptr;
        if (ok_ && !value.empty() && (d_.findAndGetElement(tag, element).bad() ||
                                      element->checkValue("1").bad()))
            Fail(tag, value);
    }
    void PutUs(const DcmTagKey& tag, Uint16 value) {
        if (ok_ && d_.putAndInsertUint16(tag, value).bad()) Fail(tag, std::to_string(value));
    }
    void PutCode(const DcmTagKey& sequence, const Code& code) {
        DcmItem* item = nullptr;
        if (!ok_) return;
        if (d_.findOrCreateSequenceItem(sequence, item, -2).bad() ||
            item->putAndInsertString(DCM_CodeValue, code.value).bad() ||
            item->putAndInsertString(DCM_CodingSchemeDesignator, "SCT").bad() ||
            item->putAndInsertString(DCM_CodeMeaning, code.meaning).bad())
            Fail(sequence, code.meaning);
    }
    void PutEmptySequence(const DcmTagKey& sequence) {
        if (ok_ && d_.insertEmptyElement(sequence).bad()) Fail(sequence, "");
    }
    void PutPixels(const std::vector<Uint16>& pixels) {
        if (ok_ && d_.putAndInsertUint16Array(DCM_PixelData, pixels.data(),
                                              static_cast<unsigned long>(pixels.size())).bad())
            Fail(DCM_PixelData, "");
    }

    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }

private:
    static size_t MaxLength(const DcmTagKey& tag) {
        switch (DcmTag(tag).getEVR()) {
            case EVR_SH: return 16;
            case EVR_DA: return 8;
            case EVR_PN: return 3 * 64 + 2;  // three component groups
            default: return 64;              // LO, UI
        }
    }
    void Fail(const DcmTagKey& tag, const std::string& value) {
        ok_ = false;
        DcmTag t(tag);
        error_ = std::string("value not valid for ") + t.getTagName() + ": '" + value + "'";
    }

    DcmDataset& d_;
    bool ok_ = true;
    std::string error_;
};

bool HasNonAscii(const DicomOptions& o) {
    for (const std::string* s : {&o.patientName, &o.patientId, &o.studyDescription,
                                 &o.referringPhysician, &o.institution})
        for (char c : *s)
            if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

}  // namespace

int DicomBitsStored(const PlateImage& image) {
    const int bits = image.info.bitsPerPixel;
    if (bits < 8 || bits >= 16) return 16;
    const uint16_t top = *std::max_element(image.pixels.begin(), image.pixels.end());
    return top < (1u << bits) ? bits : 16;
}

int WriteDicom(const PlateImage& image, const ExportFacts& facts, const DicomOptions& options,
               const std::string& path, std::string* error) {
    if (!dcmDataDict.isDictionaryLoaded()) {
        *error = "no DICOM data dictionary (DCMTK)";
        return LUMORA_E_FILE;
    }
    const ImageInfo& info = image.info;
    const StorageClass storage = ClassOf(facts.kind);
    const int bits = DicomBitsStored(image);

    std::vector<Uint16> stored(image.pixels.size());
    Uint16 lo = 0xFFFF, hi = 0;
    for (size_t i = 0; i < stored.size(); ++i) {
        stored[i] = DicomPixel(image.pixels[i], bits);
        lo = std::min(lo, stored[i]);
        hi = std::max(hi, stored[i]);
    }

    char date[16], time[16];
    std::snprintf(date, sizeof date, "%04u%02u%02u", unsigned(info.year) % 10000,
                  unsigned(info.month) % 100, unsigned(info.day) % 100);
    std::snprintf(time, sizeof time, "%02u%02u%02u", unsigned(info.hour) % 100,
                  unsigned(info.minute) % 100, unsigned(info.second) % 100);
    const std::string studyUid = options.studyUid.empty() ? NewDicomUid() : options.studyUid;
    const std::string seriesUid = options.seriesUid.empty() ? NewDicomUid() : options.seriesUid;

    DcmFileFormat file;
    DatasetBuilder b(*file.getDataset());
    if (HasNonAscii(options)) b.Put(DCM_SpecificCharacterSet, "ISO_IR 192");
    // SOP common, patient, study, series
    b.Put(DCM_SOPClassUID, storage.sopClass);
    b.Put(DCM_SOPInstanceUID, NewDicomUid());
    b.PutChecked(DCM_PatientName, options.patientName);
    b.PutChecked(DCM_PatientID, options.patientId);
    b.PutChecked(DCM_PatientBirthDate, options.patientBirthDate);
    if (!options.patientSex.empty() && options.patientSex != "M" && options.patientSex != "F" &&
        options.patientSex != "O") {
        *error = "patient sex must be M, F or O: '" + options.patientSex + "'";
        return LUMORA_E_NOT_FOUND;
    }
    b.Put(DCM_PatientSex, options.patientSex);
    b.PutChecked(DCM_StudyInstanceUID, studyUid);
    b.PutChecked(DCM_SeriesInstanceUID, seriesUid);
    b.Put(DCM_StudyDate, date);
    b.Put(DCM_StudyTime, time);
    b.PutChecked(DCM_ReferringPhysicianName, options.referringPhysician);
    b.PutChecked(DCM_StudyID, options.studyId);
    b.PutChecked(DCM_AccessionNumber, options.accessionNumber);
    b.PutChecked(DCM_StudyDescription, options.studyDescription);
    b.Put(DCM_Modality, storage.modality);
    b.Put(DCM_SeriesNumber, std::to_string(options.seriesNumber));
    b.PutChecked(DCM_ProtocolName, facts.paramSetName);
    b.PutChecked(DCM_SeriesDescription, facts.paramSetName);
    b.Put(DCM_PresentationIntentType, "FOR PRESENTATION");
    // equipment
    b.Put(DCM_Manufacturer, MANUFACTURER);
    b.Put(DCM_ManufacturerModelName, MODEL_NAME);
    b.PutChecked(DCM_InstitutionName, options.institution);
    b.PutChecked(DCM_DeviceSerialNumber, image.Serial());
    b.Put(DCM_SoftwareVersions, LUMORA_DRIVER_VERSION);
    // image
    b.Put(DCM_ImageType, "ORIGINAL\\PRIMARY");
    b.Put(DCM_InstanceNumber, std::to_string(options.instanceNumber));
    b.Put(DCM_AcquisitionDate, date);
    b.Put(DCM_AcquisitionTime, time);
    b.Put(DCM_ContentDate, date);
    b.Put(DCM_ContentTime, time);
    b.Put(DCM_PatientOrientation, storage.orientation);
    b.Put(DCM_ImageLaterality, storage.laterality);
    if (storage.region)
        b.PutCode(DCM_AnatomicRegionSequence, *storage.region);
    else
        b.PutEmptySequence(DCM_AnatomicRegionSequence);
    if (storage.structure) b.PutCode(DCM_PrimaryAnatomicStructureSequence, *storage.structure);
    if (facts.kind == PlateKind::Intra) b.Put(DCM_PositionerType, "NONE");
    b.PutEmptySequence(DCM_AcquisitionContextSequence);
    b.Put(DCM_DetectorType, "STORAGE");
    b.Put(DCM_ImagerPixelSpacing,
          Format("%.6g\\%.6g", image.RowSpacingMm(), image.ColumnSpacingMm()));
    b.Put(DCM_BurnedInAnnotation, "NO");
    b.Put(DCM_LossyImageCompression, "00");
    b.Put(DCM_PixelIntensityRelationship, "LIN");
    b.Put(DCM_PixelIntensityRelationshipSign, "-1");
    b.Put(DCM_RescaleIntercept, "0");
    b.Put(DCM_RescaleSlope, "1");
    b.Put(DCM_RescaleType, "US");
    b.Put(DCM_PresentationLUTShape, "IDENTITY");
    b.Put(DCM_WindowCenter, Format("%.1f", (double(lo) + hi + 1) / 2.0));
    b.Put(DCM_WindowWidth, Format("%.0f", double(hi) - lo + 1));
    // pixels
    b.PutUs(DCM_SamplesPerPixel, 1);
    b.Put(DCM_PhotometricInterpretation, "MONOCHROME2");
    b.PutUs(DCM_Rows, image.height);
    b.PutUs(DCM_Columns, image.width);
    b.PutUs(DCM_BitsAllocated, 16);
    b.PutUs(DCM_BitsStored, Uint16(bits));
    b.PutUs(DCM_HighBit, Uint16(bits - 1));
    b.PutUs(DCM_PixelRepresentation, 0);
    b.PutPixels(stored);
    if (!b.ok()) {
        *error = b.error();
        return LUMORA_E_NOT_FOUND;
    }

    const std::string partial = path + ".part";
    OFCondition saved = file.saveFile(partial.c_str(), EXS_LittleEndianExplicit);
    if (saved.bad() || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        *error = path + ": cannot write the DICOM file" +
                 (saved.bad() ? std::string(" (") + saved.text() + ")" : std::string());
        return LUMORA_E_FILE;
    }
    return LUMORA_OK;
}

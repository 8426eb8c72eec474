// Export of finished plates: DICOM (validated by dciodvfy, read back with DCMTK), TIFF and
// PNG (read back with their libraries), and the failures a user meets.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>

#include "common/png_read.h"
#include "common/temp_dir.h"
#include "export/dicom_export.h"
#include "export/dicom_uid.h"
#include "export/export_formats.h"
#include "export/plate_image.h"
#include "export/png_export.h"
#include "export/plate_files.h"  // tests/export

namespace fs = std::filesystem;

namespace {

// dciodvfy's report of a file: its lines, and those that are errors.
struct Verdict {
    std::string report;
    int errors = 0;
};
Verdict Dciodvfy(const std::string& path) {
    Verdict v;
    FILE* p = popen(("'" DCIODVFY "' '" + path + "' 2>&1").c_str(), "r");
    if (!p) return {"cannot run " DCIODVFY, 1};
    char line[4096];
    while (std::fgets(line, sizeof line, p)) {
        v.report += line;
        if (std::strncmp(line, "Error", 5) == 0) v.errors++;
    }
    if (pclose(p) == -1) v.errors++;
    return v;
}

std::string Text(DcmDataset* d, const DcmTagKey& tag) {
    OFString s;
    d->findAndGetOFStringArray(tag, s);
    return s.c_str();
}

// The first code value in the items of a sequence.
std::string CodeIn(DcmDataset* d, const DcmTagKey& sequence) {
    DcmItem* item = nullptr;
    OFString s;
    if (d->findAndGetSequenceItem(sequence, item, 0).good()) item->findAndGetOFString(DCM_CodeValue, s);
    return s.c_str();
}

class Export : public ::testing::Test {
protected:
    PlateImage Load(const TestPlate& plate, const std::string& name = "LM000001.XYZ") {
        PlateImage image;
        std::string error;
        EXPECT_EQ(LUMORA_OK, LoadPlateImage(WritePlate(dir.path(), name, plate).c_str(), &image, &error))
            << error;
        return image;
    }
    int Write(const PlateImage& image, ExportFormat format, const std::string& out,
              const ExportFacts& facts = {}, const DicomOptions& options = {}) {
        std::string error;
        int r = ExportPlate(image, format, facts, options, dir.file(out), &error);
        if (r != LUMORA_OK) last_error = error;
        return r;
    }
    TempDir dir;
    std::string last_error;
};

struct KindCase {
    PlateKind kind;
    const char* sopClass;
    const char* modality;
    const char* region;  // code value, "" for none
};

TEST_F(Export, DicomOfEveryPlateKindIsValidAndHoldsThePlate) {
    const KindCase cases[] = {
        {PlateKind::Intra, UID_DigitalIntraOralXRayImageStorageForPresentation, "IO", "661005"},
        {PlateKind::Extra, UID_DigitalXRayImageStorageForPresentation, "DX", ""},
        {PlateKind::Pano, UID_DigitalXRayImageStorageForPresentation, "PX", "661005"},
        {PlateKind::Ceph, UID_DigitalXRayImageStorageForPresentation, "DX", "89546000"},
        {PlateKind::Unknown, UID_DigitalXRayImageStorageForPresentation, "DX", ""},
    };
    TestPlate plate;
    PlateImage image = Load(plate);
    DicomOptions options;
    options.patientName = "Doe^Jane";
    options.patientId = "P-0042";
    options.patientBirthDate = "19800229";
    options.patientSex = "F";
    options.studyDescription = "Bitewing left";
    std::set<std::string> instances;
    for (const KindCase& c : cases) {
        SCOPED_TRACE(PlateKindName(c.kind));
        std::string out = std::string(PlateKindName(c.kind)) + ".dcm";
        ASSERT_EQ(LUMORA_OK, Write(image, ExportFormat::Dicom, out, {c.kind, "Intra-oral 25um"}, options))
            << last_error;
        Verdict v = Dciodvfy(dir.file(out));
        EXPECT_EQ(0, v.errors) << v.report;

        DcmFileFormat file;
        ASSERT_TRUE(file.loadFile(dir.file(out).c_str()).good());
        DcmDataset* d = file.getDataset();
        EXPECT_EQ(c.sopClass, Text(d, DCM_SOPClassUID));
        EXPECT_EQ(c.modality, Text(d, DCM_Modality));
        EXPECT_EQ(c.region, CodeIn(d, DCM_AnatomicRegionSequence));
        EXPECT_EQ("MONOCHROME2", Text(d, DCM_PhotometricInterpretation));
        EXPECT_EQ("0.04\\0.025", Text(d, DCM_ImagerPixelSpacing));  // rows (feed) first
        EXPECT_EQ("20260307", Text(d, DCM_AcquisitionDate));
        EXPECT_EQ("140509", Text(d, DCM_AcquisitionTime));
        EXPECT_EQ("LS2026-000117", Text(d, DCM_DeviceSerialNumber));
        EXPECT_EQ("Intra-oral 25um", Text(d, DCM_ProtocolName));
        EXPECT_EQ("Doe^Jane", Text(d, DCM_PatientName));
        EXPECT_EQ("P-0042", Text(d, DCM_PatientID));
        EXPECT_EQ("-1", Text(d, DCM_PixelIntensityRelationshipSign));
        Uint16 rows = 0, columns = 0, bits = 0;
        d->findAndGetUint16(DCM_Rows, rows);
        d->findAndGetUint16(DCM_Columns, columns);
        d->findAndGetUint16(DCM_BitsStored, bits);
        EXPECT_EQ(plate.height, rows);
        EXPECT_EQ(plate.width, columns);
        EXPECT_EQ(16, bits);
        const Uint16* px = nullptr;
        unsigned long count = 0;
        ASSERT_TRUE(d->findAndGetUint16Array(DCM_PixelData, px, &count).good());
        ASSERT_EQ(image.pixels.size(), count);
        // Bone (low plate values) bright: stored = 65535 - value.
        for (size_t i = 0; i < count; ++i) ASSERT_EQ(65535 - image.pixels[i], px[i]) << i;
        // Window over the stored range: 65535 - 3040 ... 65535 - 200.
        EXPECT_EQ("63915.5", Text(d, DCM_WindowCenter));
        EXPECT_EQ("2841", Text(d, DCM_WindowWidth));
        instances.insert(Text(d, DCM_SOPInstanceUID));
        instances.insert(Text(d, DCM_StudyInstanceUID));
    }
    EXPECT_EQ(2 * std::size(cases), instances.size());  // fresh UIDs every time
}

TEST_F(Export, QuarterTurnedImageSwapsTheSpacingAndKeepsTheFileSize) {
    TestPlate plate;
    plate.rotation = 270;
    PlateImage image = Load(plate);
    EXPECT_EQ(plate.height, image.width);
    EXPECT_EQ(plate.width, image.height);
    ASSERT_EQ(LUMORA_OK, Write(image, ExportFormat::Dicom, "turned.dcm")) << last_error;
    DcmFileFormat file;
    ASSERT_TRUE(file.loadFile(dir.file("turned.dcm").c_str()).good());
    EXPECT_EQ("0.025\\0.04", Text(file.getDataset(), DCM_ImagerPixelSpacing));
    Uint16 rows = 0;
    file.getDataset()->findAndGetUint16(DCM_Rows, rows);
    EXPECT_EQ(plate.width, rows);
}

TEST_F(Export, SharedStudyAndSeriesAndUidForm) {
    PlateImage image = Load(TestPlate{});
    DicomOptions options;
    options.studyUid = NewDicomUid();
    options.seriesUid = NewDicomUid();
    options.instanceNumber = 7;
    ASSERT_EQ(LUMORA_OK, Write(image, ExportFormat::Dicom, "a.dcm", {}, options));
    DcmFileFormat file;
    ASSERT_TRUE(file.loadFile(dir.file("a.dcm").c_str()).good());
    EXPECT_EQ(options.studyUid, Text(file.getDataset(), DCM_StudyInstanceUID));
    EXPECT_EQ(options.seriesUid, Text(file.getDataset(), DCM_SeriesInstanceUID));
    EXPECT_EQ("7", Text(file.getDataset(), DCM_InstanceNumber));
    const std::regex form("2\\.25\\.(0|[1-9][0-9]*)");
    for (int i = 0; i < 100; ++i) {
        std::string uid = NewDicomUid();
        EXPECT_TRUE(std::regex_match(uid, form)) << uid;
        EXPECT_LE(uid.size(), 64u);
    }
}

TEST_F(Export, OptionValuesADicomFileCannotHoldAreRefusedAndLeaveNoFile) {
    PlateImage image = Load(TestPlate{});
    struct Bad {
        const char* what;
        DicomOptions options;
    } cases[] = {
        {"sex", [] { DicomOptions o; o.patientSex = "X"; return o; }()},
        {"birth date", [] { DicomOptions o; o.patientBirthDate = "1980-02-29"; return o; }()},
        {"name", [] { DicomOptions o; o.patientName = std::string(200, 'A'); return o; }()},
        {"patient id", [] { DicomOptions o; o.patientId = std::string(65, '1'); return o; }()},
        {"study id", [] { DicomOptions o; o.studyId = "MUCH-TOO-LONG-STUDY-ID"; return o; }()},
        {"study uid", [] { DicomOptions o; o.studyUid = "1.2.abc"; return o; }()},
    };
    for (const Bad& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(LUMORA_E_NOT_FOUND, Write(image, ExportFormat::Dicom, "bad.dcm", {}, c.options));
        EXPECT_FALSE(last_error.empty());
        EXPECT_FALSE(fs::exists(dir.file("bad.dcm")));
        EXPECT_FALSE(fs::exists(dir.file("bad.dcm.part")));
    }
}

TEST_F(Export, TiffHoldsThePlateValuesWithResolution) {
    TestPlate plate;
    PlateImage image = Load(plate);
    ASSERT_EQ(LUMORA_OK, Write(image, ExportFormat::Tiff, "a.tif")) << last_error;
    TIFF* tiff = TIFFOpen(dir.file("a.tif").c_str(), "r");
    ASSERT_NE(nullptr, tiff);
    uint32_t w = 0, h = 0;
    uint16_t bits = 0, photometric = 0, unit = 0;
    float xres = 0, yres = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xres);
    TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &yres);
    EXPECT_EQ(plate.width, w);
    EXPECT_EQ(plate.height, h);
    EXPECT_EQ(16, bits);
    EXPECT_EQ(PHOTOMETRIC_MINISWHITE, photometric);
    EXPECT_EQ(RESUNIT_CENTIMETER, unit);
    EXPECT_FLOAT_EQ(400.0f, xres);  // 25 um columns
    EXPECT_FLOAT_EQ(250.0f, yres);  // 40 um rows
    std::vector<uint16_t> all, row(w);
    for (uint32_t y = 0; y < h; ++y) {
        ASSERT_EQ(1, TIFFReadScanline(tiff, row.data(), y, 0));
        all.insert(all.end(), row.begin(), row.end());
    }
    TIFFClose(tiff);
    EXPECT_EQ(image.pixels, all);
}TEST_F(Export, PngSixteenAndEightBitWithPixelSize) {
    TestPlate plate;
    PlateImage image = Load(plate);
    ASSERT_EQ(LUMORA_OK, Write(image, ExportFormat::Png16, "a.png")) << last_error;
    ASSERT_EQ(LUMORA_OK, Write(image, ExportFormat::Png8, "b.png")) << last_error;
    PngImage a, b;
    ASSERT_TRUE(ReadPng(dir.file("a.png"), &a));
    ASSERT_TRUE(ReadPng(dir.file("b.png"), &b));
    EXPECT_EQ(16, a.depth);
    EXPECT_EQ(image.pixels, a.samples);
    EXPECT_EQ(40000u, a.xppm);  // 25 um
    EXPECT_EQ(25000u, a.yppm);  // 40 um
    EXPECT_EQ(8, b.depth);
    EXPECT_EQ(0, b.samples[5 * plate.width + 5]);  // the darkest value
    EXPECT_EQ(255, b.samples.back());               // the brightest
    EXPECT_EQ(40000u, b.xppm);
}

// A small image without a pixel size (the line-test plot): exact samples, the 8-bit stretch
// rounded, no pHYs, and no partial file left where the file cannot be written.
TEST_F(Export, PngStretchWithoutPixelSize) {
    PlateImage image;
    image.width = 3;
    image.height = 2;
    image.pixels = {0, 1, 0x1234, 0xFFEF, 1000, 3000};
    std::string error;
    ASSERT_EQ(LUMORA_OK, WritePng(image, false, dir.file("a.png"), &error)) << error;
    PngImage a, b;
    ASSERT_TRUE(ReadPng(dir.file("a.png"), &a));
    EXPECT_EQ(image.pixels, a.samples);
    EXPECT_EQ(3u, a.width);
    EXPECT_EQ(2u, a.height);
    EXPECT_EQ(16, a.depth);
    EXPECT_EQ(0u, a.xppm);
    ASSERT_EQ(LUMORA_OK, WritePng(image, true, dir.file("b.png"), &error)) << error;
    ASSERT_TRUE(ReadPng(dir.file("b.png"), &b));
    EXPECT_EQ(8, b.depth);
    EXPECT_EQ((std::vector<uint16_t>{0, 0, 18, 255, 4, 12}), b.samples);
    EXPECT_EQ(LUMORA_E_FILE, WritePng(image, false, dir.file("none/c.png"), &error));
    EXPECT_NE("", error);
    EXPECT_FALSE(fs::exists(dir.file("none/c.png.part")));
}

TEST_F(Export, UnreadableSourcesAndUnwritableTargets) {
    PlateImage image;
    std::string error;
    EXPECT_EQ(LUMORA_E_NOT_FOUND, LoadPlateImage(dir.file("none.XYZ").c_str(), &image, &error));
    EXPECT_EQ(LUMORA_E_NOT_FOUND, LoadPlateImage(dir.path().c_str(), &image, &error));  // a folder

    std::string path = WritePlate(dir.path(), "LM000002.XYZ", TestPlate{});
    fs::remove(dir.file("LM000002.txt"));
    EXPECT_EQ(LUMORA_E_FILE, LoadPlateImage(path.c_str(), &image, &error));
    EXPECT_NE(std::string::npos, error.find("info file"));

    path = WritePlate(dir.path(), "LM000003.XYZ", TestPlate{});
    fs::resize_file(path, 100);
    EXPECT_EQ(LUMORA_E_RANGE, LoadPlateImage(path.c_str(), &image, &error));

    image = Load(TestPlate{});
    for (ExportFormat f : {ExportFormat::Dicom, ExportFormat::Tiff, ExportFormat::Png16}) {
        SCOPED_TRACE(ExportFormatName(f));
        EXPECT_EQ(LUMORA_E_FILE, Write(image, f, "no/such/folder/x"));
        EXPECT_FALSE(last_error.empty());
    }
    EXPECT_EQ(LUMORA_E_RANGE, Write(PlateImage{}, ExportFormat::Png16, "empty.png"));
}

TEST(ExportFormats, NamesAndExtensions) {
    ExportFormat f;
    for (const char* name : {"dicom", "tiff", "png16", "png8"}) {
        ASSERT_TRUE(ParseExportFormat(name, &f)) << name;
        EXPECT_STREQ(name, ExportFormatName(f));
    }
    EXPECT_FALSE(ParseExportFormat("jpeg", &f));
    EXPECT_FALSE(ParseExportFormat("DICOM", &f));
    EXPECT_STREQ(".dcm", ExportExtension(ExportFormat::Dicom));
    EXPECT_STREQ(".tif", ExportExtension(ExportFormat::Tiff));
}

}  // namespace

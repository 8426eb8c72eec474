// lumora convert and lumora scan --save as a person runs them: child processes against the
// emulator, the files checked by their readers.
#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include <filesystem>

#include "common/child_process.h"
#include "export/plate_image.h"
#include "scanner/scanner_fixture.h"

namespace fs = std::filesystem;

namespace {

class Command : public ScannerTest {
public:
    void SetUp() override {
        ScannerTest::SetUp();
        Config({{"Scanner", "MinBild", "1"}, {"Param_4", "MinBild", "1"}});
    }
    int Run(const std::vector<std::string>& args) {
        return WaitForExit(StartProgram(LUMORA_CLI, args, dir.file("out.txt")));
    }
    std::string Output() const { return TempDir::read(dir.file("out.txt")); }
    static std::string Attribute(const std::string& file, const DcmTagKey& tag) {
        DcmFileFormat f;
        OFString s;
        if (f.loadFile(file.c_str()).good()) f.getDataset()->findAndGetOFStringArray(tag, s);
        return s.c_str();
    }
};

TEST_F(Command, ScanSavesEveryImageAsDicomAndTiffInOneStudy) {
    Emulator("[Plate_1]\nImage=phantom:bars\nSlot=1\nAt=0.5\n[Plate_2]\nImage=phantom:shapes\nSlot=4\nAt=1\n");
    ASSERT_EQ(0, Run({"scan", "--set", "4", "--plates", "2", "--seconds", "120", "--interval", "1",
                      "--save", "dicom",
                      "--save", "tiff", "--patient-id", "P7"}))
        << Output();
    for (const char* f : {"LM000001.dcm", "LM000001.tif", "LM000002.dcm", "LM000002.tif"})
        EXPECT_TRUE(fs::exists(ImageDir() + "/" + f)) << f << "\n" << Output();
    const std::string a = ImageDir() + "/LM000001.dcm", b = ImageDir() + "/LM000002.dcm";
    EXPECT_EQ("PX", Attribute(a, DCM_Modality));  // set 4 scans panoramic plates
    EXPECT_EQ("Panoramic 50um", Attribute(a, DCM_ProtocolName));
    EXPECT_EQ("P7", Attribute(b, DCM_PatientID));
    EXPECT_EQ(Attribute(a, DCM_StudyInstanceUID), Attribute(b, DCM_StudyInstanceUID));
    EXPECT_EQ(Attribute(a, DCM_SeriesInstanceUID), Attribute(b, DCM_SeriesInstanceUID));
    EXPECT_NE(Attribute(a, DCM_SOPInstanceUID), Attribute(b, DCM_SOPInstanceUID));
    EXPECT_EQ("2", Attribute(b, DCM_InstanceNumber));
    // Set 4 turns its images by 90 degrees: the rows run along the scan line.
    PlateImage image;
    std::string error;
    ASSERT_EQ(0, LoadPlateImage((ImageDir() + "/LM000001.XYZ").c_str(), &image, &error));
    ASSERT_EQ(90, image.info.rotation);
    char spacing[64];
    std::snprintf(spacing, sizeof spacing, "%.6g\\%.6g", image.info.pixelSizeX / 1e6,
                  image.info.pixelSizeY / 1e6);
    EXPECT_EQ(spacing, Attribute(a, DCM_ImagerPixelSpacing));
    Uint16 rows = 0;
    DcmFileFormat f;
    ASSERT_TRUE(f.loadFile(a.c_str()).good());
    f.getDataset()->findAndGetUint16(DCM_Rows, rows);
    EXPECT_EQ(image.info.height, rows);  // the record carries the turned size, as the file
}

TEST_F(Command, ConvertWritesBesideTheImageOrWhereToldAndRefusesNonsense) {
    Emulator("[Plate_1]\nImage=phantom:stepwedge\nSlot=2\nAt=0.5\n");
    ASSERT_EQ(0, Run({"scan", "--plates", "1", "--seconds", "120", "--interval", "1"})) << Output();
    const std::string image = ImageDir() + "/LM000001.XYZ";
    ASSERT_EQ(0, Run({"convert", image, "--to", "png8"})) << Output();
    EXPECT_TRUE(fs::exists(ImageDir() + "/LM000001.png"));
    ASSERT_EQ(0, Run({"convert", image, "--to", "dicom", "-o", dir.file("out.dcm"), "--kind", "ceph"}))
        << Output();
    EXPECT_EQ("DX", Attribute(dir.file("out.dcm"), DCM_Modality));
    EXPECT_EQ("89546000", [&] {
        DcmFileFormat f;
        OFString s;
        f.loadFile(dir.file("out.dcm").c_str());
        f.getDataset()->findAndGetOFString(DCM_CodeValue, s, 0, OFTrue);
        return std::string(s.c_str());
    }());

    EXPECT_EQ(2, Run({"convert", image, "--to", "jpeg"}));
    EXPECT_EQ(2, Run({"convert", image, "--to", "dicom", "--kind", "foot"}));
    EXPECT_EQ(2, Run({"convert", "--to", "tiff"}));
    EXPECT_EQ(2, Run({"scan", "--save", "png8"}));
    EXPECT_EQ(1, Run({"convert", dir.file("none.XYZ"), "--to", "tiff"}));
    EXPECT_NE(std::string::npos, Output().find("cannot open the image file")) << Output();
    EXPECT_EQ(1, Run({"convert", image, "--to", "dicom", "--birth-date", "yesterday"}));
    EXPECT_FALSE(fs::exists(ImageDir() + "/LM000001.dcm"));
}

}  // namespace

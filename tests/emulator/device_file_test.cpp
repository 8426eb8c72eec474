// Device description files: defaults, keys, and files that are wrong in every way.
#include <cstring>

#include "test_util.h"

using namespace emutest;

namespace {

class DeviceFileTest : public EmuTest {};

unsigned Sum(const std::vector<uint8_t>& b, size_t n) {
    unsigned s = 0;
    for (size_t i = 0; i < n; ++i) s += b[i];
    return s & 0xFF;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

TEST_F(DeviceFileTest, DefaultDeviceIsAConsistentMainModel) {
    auto p = dev.Idprom();
    EXPECT_EQ(Sum(p, 254), 0x42u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.data())), "LS2026-000117");
    EXPECT_EQ(U16(p, 144), 1);         // type ID
    EXPECT_EQ(U16(p, 146), 0x0003);    // intra + extra, erase unit present
    EXPECT_EQ(U16(p, 148), 1000);      // reflector 100 mm
    EXPECT_EQ(U16(p, 150), 1000);      // SMOT step in nm
    EXPECT_EQ(p[154], 10);
    EXPECT_EQ(p[155], 180);
    EXPECT_EQ(p[156], 50);
    EXPECT_EQ(p[157], 45);
    EXPECT_EQ(p[158], 0x0F);
    float a;
    std::memcpy(&a, &p[240], 4);
    EXPECT_EQ(a, 1.0f);
    auto d = dev.Datprom();
    EXPECT_EQ(d[16] | d[17] << 8 | d[18] << 16 | d[19] << 24, 0);
    EXPECT_EQ(dev.GetModel(), lumora_emu::Model::Main);
    EXPECT_EQ(dev.FifoCapacity(), (64u << 20) / 4);
    dev.Reset(false);
    EXPECT_FALSE(dev.FirmwareRunning());  // until a firmware download
}

TEST_F(DeviceFileTest, KeysOverrideTheDefaults) {
    TempDir tmp;
    WriteFile(tmp.file("dev.ini"),
              "; a second-model scanner\n"
              "[Device]\nModel=second\nSerial=CX-77\nFeatures=0x0113\nSlotMask=3\nPmtHV=900\n"
              "PmtCorrectionA=1.25\n"
              "[DataProm]\nIntra=1\nExtra=2\nCeph=3\nPano=4\nSlot1Events=1,2,3,4,5,0x01020304\n"
              "[Firmware]\nRunning=1\nOldDataWords=5000\n"
              "[Sensors]\nLaserSensor=0\n"
              "[Clock]\nMode=fast\nFactor=20\n");
    std::vector<std::string> warnings;
    ASSERT_TRUE(dev.LoadDescription(tmp.file("dev.ini"), nullptr, &warnings));
    EXPECT_TRUE(warnings.empty()) << warnings[0];
    EXPECT_EQ(dev.GetModel(), lumora_emu::Model::Second);
    auto p = dev.Idprom();
    EXPECT_EQ(U16(p, 144), 12);
    EXPECT_EQ(U16(p, 146), 0x0113);
    EXPECT_EQ(p[158], 3);
    EXPECT_EQ(U16(p, 254), 900);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.data())), "CX-77");
    EXPECT_EQ(Sum(p, 254), 0x42u);
    auto d = dev.Datprom();
    EXPECT_EQ(d[16], 10);  // total = sum of the counters
    // Event counters, big-endian at 0x81.
    EXPECT_EQ(d[0x81 + 3], 1);
    EXPECT_EQ(d[0x81 + 20], 0x01);
    EXPECT_EQ(d[0x81 + 23], 0x04);
    EXPECT_TRUE(dev.FirmwareRunning());
    EXPECT_EQ(dev.FifoWords(), 5000u);
    EXPECT_EQ(dev.I2cStart(0x92), 1);
    dev.I2cStop();
    EXPECT_EQ(dev.GetClockMode(), lumora_emu::ClockMode::Fast);
}

TEST_F(DeviceFileTest, WrongFilesGiveDefaultsOrAClearError) {
    const char* texts[] = {
        "[Device]\nTypeID=banana\nSlotMask=999\nDistanceA=-4\n",
        "[Device\nModel=third\n=\n==\n[]\nkey without value\n",
        "[Memory]\nRows=300\nWidth=\n[Sensors]\nLaserTemp=nan\nAmbientLight=1e9\n",
        "[DataProm]\nSlot1Events=1,2,3\nSlot2Events=1,2,3,4,5,6,7\n",
        "[Clock]\nMode=sometimes\nFactor=0\n[Plate_x]\nImage=phantom:nothing\n[Plate_2]\nSlot=9\nAt=-1\n",
        "\x01\x02\xff\xfe binary \0 junk [[[ ;;; ===",
        "",
    };
    for (const char* t : texts) {
        std::vector<std::string> warnings;
        dev.LoadDescriptionText(t, &warnings);
        auto p = dev.Idprom();
        EXPECT_EQ(Sum(p, 254), 0x42u) << t;
        EXPECT_EQ(U16(p, 144), 1) << t;
        EXPECT_EQ(p[158], 0x0F) << t;
        EXPECT_EQ(dev.GetModel(), lumora_emu::Model::Main) << t;
    }
    std::vector<std::string> warnings;
    dev.LoadDescriptionText("[Device]\nTypeID=banana\n", &warnings);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("TypeID"), std::string::npos);

    std::string error;
    EXPECT_FALSE(dev.LoadDescription("/nonexistent/dir/device.ini", &error));
    EXPECT_NE(error.find("/nonexistent/dir/device.ini"), std::string::npos);
    EXPECT_EQ(U16(dev.Idprom(), 144), 1);
    TempDir tmp;
    EXPECT_FALSE(dev.LoadDescription(tmp.path(), &error));  // a directory
}

TEST_F(DeviceFileTest, ChecksumCanBeLeftWrongAndSerialIsCut) {
    std::vector<std::string> warnings;
    dev.LoadDescriptionText("[Device]\nFixChecksum=0\nSerial=ABCDEFGHIJKLMNOPQRSTUV\n", &warnings);
    auto p = dev.Idprom();
    EXPECT_EQ(std::string(p.begin(), p.begin() + 16), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(warnings.size(), 1u);
    dev.LoadDescriptionText("[Device]\nFixChecksum=0\n");
    EXPECT_NE(Sum(dev.Idprom(), 254), 0x42u);
}

TEST_F(DeviceFileTest, PlatesAreTakenInTheOrderOfTheirNumbers) {
    dev.LoadDescriptionText(
        "[Plate_10]\nImage=phantom:shapes\nSlot=3\nAt=2\n"
        "[Plate_2]\nImage=phantom:bars ; comment\nSlot=2\nAt=1.5\n"
        "[Plate_5]\nImage=/nonexistent/plate.png\n");
    auto plates = dev.Plates();
    ASSERT_EQ(plates.size(), 2u);  // the unreadable image is skipped
    EXPECT_EQ(plates[0].slot, 2);
    EXPECT_EQ(plates[0].width, 320);
    EXPECT_EQ(plates[1].slot, 3);
    EXPECT_EQ(plates[1].stage, lumora_emu::PlateStage::Pending);
}

}  // namespace

// Plates fed at an inlet come out of the buffer RAM as a decodable scan-data stream.
#include <png.h>

#include <cmath>
#include <cstring>
#include <map>

#include "device_map.h"
#include "lumora_emu/driver.h"
#include "test_util.h"

using namespace emutest;
namespace requests = lumora_emu::requests;

namespace {

constexpr uint16_t kAnzPix = 1200;
constexpr uint16_t kDark = 320;

// Decoded stream: per line, the values by pixel position, and the marker parameter.
struct Decoded {
    std::vector<std::map<uint32_t, uint16_t>> lines;
    std::vector<uint16_t> lineStart;
    size_t skipMarkers = 0;
    bool wellFormed = true;
};

Decoded Walk(const std::vector<uint32_t>& units) {
    Decoded d;
    uint32_t x = 0;
    for (uint32_t u : units) {
        uint16_t a = uint16_t(u), b = uint16_t(u >> 16);
        if (a > 0xFFF0) {
            if (a == 0xFFFE) {
                d.lines.emplace_back();
                d.lineStart.push_back(b);
                x = b;
            } else {
                ++d.skipMarkers;
                x += b;
            }
            continue;
        }
        if (d.lines.empty() || a > 0xFFEF || b > 0xFFEF) d.wellFormed = false;
        if (d.lines.empty()) continue;
        d.lines.back()[x] = a;
        d.lines.back()[x + 1] = b;
        x += 2;
    }
    return d;
}

class PlateTest : public EmuTest {
protected:
    void SetUp() override {
        EmuTest::SetUp();
        dev.SetDarkLevel(kDark);
        h = lumora_emu_open();
    }
    void TearDown() override { lumora_emu_close(h); }

    // The registers a scan set-up and arming program.
    void Arm(uint8_t ovsReg, uint16_t threshold, uint16_t offset, uint8_t slotLines = 0xFF) {
        MotorWord(dev, 4223 - 6000000 / 4000);
        dev.WriteRegister16(0xC2, kAnzPix);
        dev.WriteRegister8(0xD0, ovsReg);
        dev.WriteRegister16(0xE0, threshold);
        dev.WriteRegister16(0xD2, offset);
        dev.I2cStart(0x90);
        dev.I2cWrite(0x40);
        dev.I2cWrite(150);
        dev.I2cStop();
        dev.WriteRegister8(0xF0, 0x08);
        dev.WriteRegister16(0xA0, 299);
        dev.WriteRegister8(0xF0, 0x88);  // buffer reset
        dev.WriteRegister8(0xF0, 0x08);
        dev.WriteRegister8(0xA3, 0x73);
        dev.WriteRegister8(0xB0, 0x60);
        dev.WriteRegister8(0x90, slotLines);
        dev.WriteRegister8(0xF8, 8);
    }
    void Drain(std::vector<uint32_t>& into) {
        uint32_t zero = 0, ret = 0;
        lumora_emu_request(h, requests::kSelect, &zero, 4, nullptr, 0, nullptr);
        std::vector<uint32_t> buf(10240);
        lumora_emu_request(h, requests::kRead16, nullptr, 0, buf.data(), uint32_t(buf.size() * 4), &ret);
        into.insert(into.end(), buf.begin(), buf.begin() + ret / 4);
    }
    // Polls as a status loop does, until every plate is through (or a poll limit).
    std::vector<uint32_t> RunScan(uint8_t* inletSeen = nullptr, bool* inScanSeen = nullptr) {
        std::vector<uint32_t> stream;
        for (int poll = 0; poll < 200000; ++poll) {
            uint8_t status = dev.ReadRegister8(0xF8);
            uint8_t inlet = dev.ReadRegister8(0xA4) & 0x0F;
            if (inletSeen) *inletSeen |= inlet;
            if (inScanSeen && (status & 1)) *inScanSeen = true;
            if (poll % 16 == 0) Drain(stream);
            bool done = true;
            for (auto& p : dev.Plates()) done = done && p.stage == lumora_emu::PlateStage::Done;
            if (done && dev.FifoWords() == 0) break;
        }
        return stream;
    }
    int h = 0;
};

TEST_F(PlateTest, PlateAtItsSlotComesOutPixelForPixel) {
    lumora_emu::PlateEntry entry;
    entry.image = "phantom:shapes";
    entry.slot = 2;
    entry.atSeconds = 0.5;
    entry.width = 64;
    entry.height = 48;
    lumora_emu::PlateImage plate;
    ASSERT_TRUE(lumora_emu::Device::LoadPlateImage(entry, &plate, nullptr));
    dev.FeedPlate(entry);
    Arm(15, 100, kDark);  // 16 samples, offset = dark level
    EXPECT_EQ(dev.Plates()[0].stage, lumora_emu::PlateStage::Pending);

    uint8_t inlet = 0;
    bool inScan = false;
    auto stream = RunScan(&inlet, &inScan);
    EXPECT_EQ(inlet, 0x02);  // slot 2 → bit 1
    EXPECT_TRUE(inScan);
    EXPECT_EQ(dev.ReadRegister8(0xF8) & 0x09, 0x08);  // out of the scan, plate-end flag up
    dev.WriteRegister8(0xF8, 8);
    EXPECT_EQ(dev.ReadRegister8(0xF8) & 0x08, 0);

    auto ps = dev.Plates()[0];
    EXPECT_EQ(ps.xOffset, 316u);  // 45° of 180° → a quarter of 1200, even, + 16
    Decoded d = Walk(stream);
    ASSERT_TRUE(d.wellFormed);
    const uint32_t lead = 8, runOut = 12;
    ASSERT_EQ(d.lines.size(), lead + plate.height + runOut);
    EXPECT_EQ(dev.LineCounter(), d.lines.size());
    EXPECT_EQ(ps.firstLine, lead);
    for (size_t y = 0; y < d.lines.size(); ++y) {
        bool plateRow = y >= lead && y < lead + plate.height;
        if (!plateRow) {
            EXPECT_TRUE(d.lines[y].empty()) << y;
            EXPECT_GE(d.lineStart[y], kAnzPix - 1) << y;
            continue;
        }
        ASSERT_EQ(d.lines[y].size(), plate.width) << y;
        EXPECT_EQ(d.lineStart[y], 316) << y;
        for (int x = 0; x < plate.width; ++x)
            ASSERT_EQ(d.lines[y].at(316 + x), plate.At(x, int(y - lead))) << x << "," << y;
    }
    EXPECT_EQ(d.skipMarkers, 0u);
}

TEST_F(PlateTest, ThresholdCutsRunsAndOversamplingScalesValues) {
    lumora_emu::PlateEntry entry;
    entry.image = "phantom:bars";
    entry.slot = 1;
    entry.atSeconds = 0.1;
    entry.width = 64;
    entry.height = 16;
    lumora_emu::PlateImage plate;
    ASSERT_TRUE(lumora_emu::Device::LoadPlateImage(entry, &plate, nullptr));
    dev.FeedPlate(entry);
    // 4 samples, no offset: value = (pixel + dark) * 4 / 16; the threshold sits between
    // the dark and bright bars.
    Arm(3, 8000, 0);
    Decoded d = Walk(RunScan());
    ASSERT_TRUE(d.wellFormed);
    ASSERT_EQ(d.lines.size(), 8u + 16 + 12);
    EXPECT_GT(d.skipMarkers, 0u);
    uint32_t x0 = dev.Plates()[0].xOffset;
    EXPECT_EQ(x0, 16u);
    for (int y = 0; y < plate.height; ++y) {
        const auto& line = d.lines[8 + y];
        for (int x = 0; x < plate.width; x += 2) {
            uint16_t a = uint16_t((plate.At(x, y) + kDark) * 4 / 16);
            uint16_t b = uint16_t((plate.At(x + 1, y) + kDark) * 4 / 16);
            bool sent = a > 8000 || b > 8000;
            ASSERT_EQ(line.count(x0 + x) == 1, sent) << x << "," << y;
            if (sent) {
                EXPECT_EQ(line.at(x0 + x), a);
                EXPECT_EQ(line.at(x0 + x + 1), b);
            }
        }
    }
}

TEST_F(PlateTest, PlateWaitsAtTheInletUntilItsSlotLineIsEnabled) {
    lumora_emu::PlateEntry entry;
    entry.slot = 3;
    entry.atSeconds = 0.2;
    entry.width = 16;
    entry.height = 8;
    dev.FeedPlate(entry);
    dev.AdvanceMs(5000);  // not armed: the plate never arrives
    EXPECT_EQ(dev.Plates()[0].stage, lumora_emu::PlateStage::Pending);
    Arm(15, 100, kDark, 0xAA);  // armed, slot lines in the disarmed pattern
    dev.AdvanceMs(300);
    EXPECT_EQ(dev.ReadRegister8(0xA4) & 0x0F, 0x04);
    dev.AdvanceMs(10000);
    EXPECT_EQ(dev.Plates()[0].stage, lumora_emu::PlateStage::AtInlet);
    EXPECT_EQ(dev.FifoWords(), 0u);
    dev.WriteRegister8(0x90, 0xFF);
    dev.AdvanceMs(60000);
    EXPECT_EQ(dev.Plates()[0].stage, lumora_emu::PlateStage::Done);
    EXPECT_EQ(dev.ReadRegister8(0xA4) & 0x0F, 0);
    EXPECT_EQ(dev.LineCounter(), 8u + 8 + 12);
}

TEST_F(PlateTest, OldDataIsADecodableStream) {
    dev.FillOldData(3000);
    std::vector<uint32_t> stream;
    while (dev.FifoWords()) Drain(stream);
    ASSERT_EQ(stream.size(), 3000u);
    Decoded d = Walk(stream);
    EXPECT_TRUE(d.wellFormed);
    EXPECT_GT(d.lines.size(), 10u);
}

}  // namespace

namespace {

TEST_F(PlateTest, LineTestRegisterCapturesOneFullLine) {
    dev.SetAmbientLight(480);
    MotorWord(dev, 4223 - 6000000 / 4000);
    dev.WriteRegister16(0xC2, 64);
    dev.WriteRegister8(0xD0, 15);
    dev.WriteRegister16(0xD2, kDark);
    dev.I2cStart(0x90);
    dev.I2cWrite(0x40);
    dev.I2cWrite(100);
    dev.I2cStop();
    dev.WriteRegister8(0xF0, 0x08);
    dev.WriteRegister8(0xC4, 1);  // acquisition off: nothing
    EXPECT_EQ(dev.FifoWords(), 0u);
    dev.WriteRegister8(0xB0, 0x40);
    dev.WriteRegister8(0xC4, 1);
    std::vector<uint32_t> stream;
    Drain(stream);
    Decoded d = Walk(stream);
    ASSERT_EQ(d.lines.size(), 1u);
    ASSERT_EQ(d.lines[0].size(), 64u);
    EXPECT_EQ(d.lines[0].at(0), 480);
    EXPECT_EQ(d.lines[0].at(63), 480);
}

TEST_F(PlateTest, PlateImagesFromFiles) {
    TempDir tmp;
    // Our own image file: width, height, pixels, little-endian.
    std::string raw;
    auto put16 = [&](uint16_t v) { raw += char(v & 0xFF); raw += char(v >> 8); };
    put16(4);
    put16(2);
    for (uint16_t v : {1, 2, 3, 4, 500, 600, 700, 0xFFFF}) put16(v);
    WriteFile(tmp.file("plate.xyz"), raw);
    lumora_emu::PlateEntry entry;
    entry.image = tmp.file("plate.xyz");
    lumora_emu::PlateImage im;
    std::string error;
    ASSERT_TRUE(lumora_emu::Device::LoadPlateImage(entry, &im, &error)) << error;
    EXPECT_EQ(im.width, 4);
    EXPECT_EQ(im.height, 2);
    EXPECT_EQ(im.At(3, 1), 0xFFFF);
    EXPECT_EQ(im.At(0, 1), 500);

    WriteFile(tmp.file("short.xyz"), raw.substr(0, 10));
    entry.image = tmp.file("short.xyz");
    EXPECT_FALSE(lumora_emu::Device::LoadPlateImage(entry, &im, &error));
    EXPECT_NE(error.find("shorter"), std::string::npos);

    // A 16-bit grey PNG.
    std::vector<uint16_t> px = {0, 1000, 40000, 65535, 7, 8};
    png_image out;
    std::memset(&out, 0, sizeof out);
    out.version = PNG_IMAGE_VERSION;
    out.width = 3;
    out.height = 2;
    out.format = PNG_FORMAT_LINEAR_Y;
    ASSERT_TRUE(png_image_write_to_file(&out, tmp.file("plate.png").c_str(), 0, px.data(), 0, nullptr));
    entry.image = tmp.file("plate.png");
    ASSERT_TRUE(lumora_emu::Device::LoadPlateImage(entry, &im, &error)) << error;
    EXPECT_EQ(im.width, 3);
    EXPECT_EQ(im.pixels, px);

    entry.image = "phantom:unknown";
    EXPECT_FALSE(lumora_emu::Device::LoadPlateImage(entry, &im, &error));
}

}  // namespace

namespace {

TEST_F(PlateTest, TypeLockKeepsOutPlatesOfOtherTypes) {
    lumora_emu::PlateEntry entry;
    entry.slot = 1;
    entry.atSeconds = 0.1;
    entry.width = 16;
    entry.height = 8;
    entry.type = 2;  // extra-oral
    dev.FeedPlate(entry);
    dev.WriteRegister8(0xA4, 0x4F);  // intra-oral plates only
    Arm(15, 100, kDark);
    dev.AdvanceMs(20000);
    EXPECT_EQ(dev.Plates()[0].stage, lumora_emu::PlateStage::AtInlet);
    dev.WriteRegister8(0xA4, 0xCF);
    dev.AdvanceMs(20000);
    EXPECT_EQ(dev.Plates()[0].stage, lumora_emu::PlateStage::Done);
    EXPECT_GT(dev.FifoWords(), 0u);
}

TEST_F(PlateTest, NoDataWithoutAcquisitionButLinesAreCounted) {
    lumora_emu::PlateEntry entry;
    entry.atSeconds = 0.1;
    entry.width = 16;
    entry.height = 8;
    dev.FeedPlate(entry);
    Arm(15, 100, kDark);
    dev.AdvanceMs(3200);  // travelling: distance A at 3.33 mm/s
    ASSERT_EQ(dev.Plates()[0].stage, lumora_emu::PlateStage::InScan);
    size_t before = dev.FifoWords();
    dev.WriteRegister8(0xB0, 0x20);  // acquisition off: the plate passes, nothing is recorded
    dev.AdvanceMs(20000);
    EXPECT_EQ(dev.Plates()[0].stage, lumora_emu::PlateStage::Done);
    EXPECT_EQ(dev.FifoWords(), before);
    EXPECT_EQ(dev.LineCounter(), 8u + 8 + 12);
}

}  // namespace

namespace {

TEST_F(PlateTest, PlateReachingPastTheLineEndIsCut) {
    lumora_emu::PlateEntry entry;
    entry.image = "phantom:stepwedge";
    entry.slot = 4;
    entry.atSeconds = 0.1;
    entry.width = 128;
    entry.height = 8;
    dev.FeedPlate(entry);
    Arm(15, 100, kDark);
    dev.WriteRegister16(0xC2, 441);  // odd pixel count; slot 4 starts at 346
    std::vector<uint32_t> stream;
    dev.AdvanceMs(20000);
    while (dev.FifoWords()) Drain(stream);
    Decoded d = Walk(stream);
    ASSERT_TRUE(d.wellFormed);
    ASSERT_EQ(d.lines.size(), 8u + 8 + 12);
    EXPECT_EQ(dev.Plates()[0].xOffset, 346u);
    for (const auto& line : d.lines)
        for (const auto& [x, v] : line) EXPECT_LT(x, 441u);
    EXPECT_EQ(d.lines[8].size(), 94u);  // whole pairs before position 441
}

}  // namespace

namespace {

TEST_F(PlateTest, PlateFedWhileArmedArrivesAfterItsDelayFromNow) {
    Arm(15, 100, kDark);
    dev.AdvanceMs(10000);
    lumora_emu::PlateEntry entry;
    entry.atSeconds = 2.0;
    entry.width = 16;
    entry.height = 8;
    dev.FeedPlate(entry);
    dev.AdvanceMs(1999);
    EXPECT_EQ(dev.Plates()[0].stage, lumora_emu::PlateStage::Pending);
    dev.AdvanceMs(1);
    EXPECT_NE(dev.Plates()[0].stage, lumora_emu::PlateStage::Pending);
    EXPECT_EQ(dev.FifoWords(), 0u);  // no burst of lines from the past
}

}  // namespace

// ---- optics: gain, dark signal, noise, light-collection profile; staying plates ---------

class OpticsTest : public PlateTest {
protected:
    void Describe(const std::string& text) {
        std::vector<std::string> warnings;
        dev.LoadDescriptionText("[Clock]\nMode=stepped\n[Firmware]\nRunning=1\n" + text, &warnings);
        EXPECT_TRUE(warnings.empty()) << warnings[0];
        dev.SetDarkLevel(kDark);
    }
    void SetDac(uint8_t value) {
        dev.I2cStart(0x90);
        dev.I2cWrite(0x40);
        dev.I2cWrite(value);
        dev.I2cStop();
    }
    // One test line (every position, ambient light) at the DAC value.
    std::vector<uint16_t> TestLine(uint8_t dac) {
        SetDac(dac);
        dev.WriteRegister8(0xF0, 0x88);
        dev.WriteRegister8(0xF0, 0x08);
        dev.WriteRegister8(0xC4, 1);
        std::vector<uint32_t> units;
        Drain(units);
        Decoded d = Walk(units);
        std::vector<uint16_t> out;
        if (d.lines.empty()) return out;
        for (auto& [x, v] : d.lines[0]) out.push_back(v);
        return out;
    }
    static double Gain(uint8_t dac) { return std::pow(dac * 4.883 / 650.0, 7.0); }
};

TEST_F(OpticsTest, PlateValuesFollowTheGainAndTheLightCollectionProfile) {
    Describe("[Optics]\nGainExponent=7\nGainReference=650\nProfileFalloff=0.1\n"
             "ProfileRipple=0.03\nRipplePeriods=5\n");
    lumora_emu::PlateEntry entry;
    entry.image = "phantom:flat";
    entry.level = 20000;
    entry.width = 1180;
    entry.height = 8;
    entry.atSeconds = 0.1;
    dev.FeedPlate(entry);
    Arm(15, 100, kDark);  // 16 samples, offset = dark: a stream value is the signal
    Decoded d = Walk(RunScan());
    ASSERT_EQ(d.lines.size(), 8u + 8 + 12);
    const double gain = Gain(150);
    for (uint32_t pos : {16u, 100u, 333u, 600u, 901u, 1195u}) {
        const double u = pos / double(kAnzPix - 1), x = 2 * u - 1;
        const double profile = (1 - 0.1 * x * x) * (1 + 0.03 * std::sin(2 * M_PI * 5 * u));
        const double expected = std::min(65519.0, 20000 * profile * gain);
        EXPECT_NEAR(expected, d.lines[9].at(pos), 1.0) << pos;
    }
}

TEST_F(OpticsTest, DarkSignalAndNoiseGrowWithTheGain) {
    Describe("[Optics]\nGainExponent=7\nGainReference=650\nDarkSignal=100\nNoise=40\n");
    Arm(31, 0, kDark);
    dev.WriteRegister8(0xD2, 0);  // no offset: value = (signal + dark) x 32 / 32
    dev.WriteRegister8(0xD3, 0);
    auto stats = [](const std::vector<uint16_t>& v, double* sd) {
        double sum = 0, sq = 0;
        for (uint16_t x : v) sum += x;
        const double mean = sum / double(v.size());
        for (uint16_t x : v) sq += (x - mean) * (x - mean);
        *sd = std::sqrt(sq / double(v.size()));
        return mean;
    };
    double sdLow, sdHigh;
    const auto low = TestLine(133), high = TestLine(170);  // about 650 V and 830 V
    ASSERT_EQ(low.size(), kAnzPix);
    ASSERT_EQ(high.size(), kAnzPix);
    const double meanLow = stats(low, &sdLow), meanHigh = stats(high, &sdHigh);
    EXPECT_NEAR(kDark + Gain(133) * (48 + 100), meanLow, 10);   // ambient 48 + dark signal
    EXPECT_NEAR(kDark + Gain(170) * (48 + 100), meanHigh, 20);
    EXPECT_NEAR(Gain(133) * 40, sdLow, 0.15 * Gain(133) * 40);
    EXPECT_NEAR(Gain(170) * 40, sdHigh, 0.15 * Gain(170) * 40);
}

TEST_F(OpticsTest, StayingPlateIsHeldWhileTheTransportRunsAndPutBackWhenItStops) {
    lumora_emu::PlateEntry entry;
    entry.image = "phantom:flat";
    entry.level = 30000;
    entry.slot = 2;
    entry.width = 64;
    entry.height = 10;
    entry.atSeconds = 0.2;
    entry.stay = true;
    dev.FeedPlate(entry);
    dev.AdvanceMs(300);  // put into its inlet by hand, no transport needed
    EXPECT_EQ(dev.ReadRegister8(0xA4) & 0x0F, 0x02);
    Arm(15, 100, kDark);
    dev.AdvanceMs(20000);  // far longer than its ten rows take
    EXPECT_EQ(dev.Plates()[0].stage, lumora_emu::PlateStage::InScan);
    EXPECT_EQ(dev.ReadRegister8(0xA4) & 0x0F, 0x02);
    EXPECT_EQ(dev.ReadRegister8(0xF8) & 0x01, 0x01);
    dev.WriteRegister8(0xA3, 0x72);  // the transport stops: the plate is taken out
    dev.AdvanceMs(100);
    EXPECT_EQ(dev.Plates()[0].stage, lumora_emu::PlateStage::Pending);
    EXPECT_EQ(dev.ReadRegister8(0xA4) & 0x0F, 0);
    EXPECT_EQ(dev.ReadRegister8(0xF8) & 0x09, 0x08);
    dev.AdvanceMs(200);  // and put back
    EXPECT_EQ(dev.Plates()[0].stage, lumora_emu::PlateStage::AtInlet);
}

TEST_F(OpticsTest, TransferTestPatternOnARewindAndAsAStream) {
    Arm(15, 100, kDark);
    dev.WriteRegister8(0xB0, 0x00);  // acquisition off
    dev.WriteRegister8(0xF0, 0x88);
    dev.WriteRegister8(0xF0, 0x08);
    EXPECT_EQ(dev.ReadRegister32(0x33), 0u);
    dev.WriteRegister32(0x08, dev.ReadRegister32(0x08) - 1024);
    EXPECT_EQ(dev.ReadRegister32(0x33), 0u);  // not in the test: nothing comes back
    dev.WriteRegister8(0x04, 1);
    dev.WriteRegister32(0x08, dev.ReadRegister32(0x08) - 1024);
    EXPECT_EQ(dev.ReadRegister32(0x33), 1024u);
    dev.WriteRegister8(0x05, 1);
    EXPECT_GE(dev.ReadRegister32(0x33), 16384u);
    std::vector<uint32_t> units;
    Drain(units);
    EXPECT_EQ(dev.ReadRegister32(0x33), 16384u);  // kept full while the USB test runs
}

// The high-voltage wizard and the high-voltage calibration on an emulator whose
// photomultiplier gain follows (V / 650 V)^7: they find the voltage the gain model predicts
// for their target levels, and fail in the situations made for them.
#include <cmath>
#include <cstdlib>

#include "diagnostics/service_fixture.h"

namespace {

constexpr double kReference = 650.0, kExponent = 7.0;
constexpr double kVoltsPerCount = 4.883;
// A search ends within its last step of the voltage it looks for; the DAC's steps of 4.883 V
// come on top.
constexpr double kWizardTolerance = 300.0 / 64 + kVoltsPerCount;
constexpr double kCalibrationTolerance = 1.0 + kVoltsPerCount;

double Gain(double volts) { return std::pow(volts / kReference, kExponent); }
double Applied(int volts) { return std::floor(volts / kVoltsPerCount) * kVoltsPerCount; }
// The voltage at which a plate of this level reaches target.
double VoltageFor(double target, double level) {
    return kReference * std::pow(target / level, 1.0 / kExponent);
}

class HighVoltage : public ServiceTest {
public:
    void SetUp() override {
        ServiceTest::SetUp();
        // Set 3 (extra-oral) at 67 um: 16 ADC samples, so a stream value is the plate level.
        Config({{"Param_3", "Res_X", "67"}, {"Param_3", "Res_Y", "67"}});
    }
    void Optics(const std::string& more = "") {
        Emulator("[Optics]\nGainExponent=7\nGainReference=650\n" + more);
    }
    static lumora_emu::PlateEntry Reference(int slot, uint16_t level, double at) {
        lumora_emu::PlateEntry p;
        p.image = "phantom:flat";
        p.level = level;
        p.slot = slot;
        p.atSeconds = at;
        p.width = 2000;
        p.height = 600;
        p.stay = true;
        return p;
    }
    // The voltages a search step of the measurement file names, in order.
    std::vector<int> StepVoltages(const std::string& what) const {
        std::vector<int> volts;
        for (const std::string& line : Measurements(what)) {
            size_t colon = line.find(": ");
            if (colon != std::string::npos) volts.push_back(std::atoi(line.c_str() + colon + 2));
        }
        return volts;
    }
};

TEST_F(HighVoltage, WizardFindsTheVoltageAtWhichThePlateReachesTheExtraOralLimit) {
    Optics();
    ASSERT_EQ(0, Open_Scanner(3));
    Emu().FeedPlate(Reference(1, 20000, 0.5));
    Reply r = Service(0x1011, {}, 4);
    ASSERT_EQ(0, r.result) << Log().substr(Log().size() > 3000 ? Log().size() - 3000 : 0);
    EXPECT_EQ(4, r.outLen);
    const double predicted = VoltageFor(58981, 20000);
    printf("wizard: %u V, the gain model predicts %.1f V\n", r.U32(), predicted);
    EXPECT_NEAR(predicted, r.U32(), kWizardTolerance);
    // Run twice: two coarse searches, two fine searches of eight steps.
    EXPECT_EQ(10u, Measurements("hv-wizard coarse").size());
    EXPECT_EQ(16u, Measurements("hv-wizard fine").size());
    EXPECT_EQ(2u, Measurements("hv-wizard result").size());
    EXPECT_TRUE(Logged(5, "Starting HV-Wizard_Ex, finding Lightlevel"));
    EXPECT_EQ(0.0, Emu().HighVoltage());
}

TEST_F(HighVoltage, WizardCoarseSearchHalvesItsStepAndTimesOutWithoutAPlate) {
    // A dark signal of 1000 at gain 1: above the dark limit 6553 from about 850 V.
    Optics("DarkSignal=1000\n");
    ASSERT_EQ(0, Open_Scanner(3));
    const uint64_t start = Emu().NowMs();
    EXPECT_EQ(-1011, Service(0x1011, {}, 4).result);
    EXPECT_EQ((std::vector<int>{900, 750, 825, 862, 844}), StepVoltages("hv-wizard coarse"));
    for (int v : StepVoltages("hv-wizard coarse"))  // the model agrees with each turn
        EXPECT_EQ(Gain(Applied(v)) * 1000 > 6553, v == 900 || v == 862) << v;
    EXPECT_GE(Emu().NowMs() - start, 20000u);
    EXPECT_TRUE(Logged(5, "Timeout"));
    EXPECT_EQ(0.0, Emu().HighVoltage());
}

TEST_F(HighVoltage, WizardFindsNoVoltageWhenTheDarkSignalIsTooHighAndRefusesWhileArmed) {
    Optics("DarkSignal=20000\n");
    ASSERT_EQ(0, Open_Scanner(3));
    EXPECT_EQ(-10000, Service(0x1011, {}, 4).result);
    EXPECT_EQ((std::vector<int>{900, 750, 675, 638, 620}), StepVoltages("hv-wizard coarse"));
    ASSERT_EQ(-10000, Aktivate_Scanner());  // armed, the dark signal taken for ambient light
    EXPECT_EQ(-6, Service(0x1011, {}, 4).result);
}

TEST_F(HighVoltage, CalibrationFindsTheVoltageOfTheTargetLevelForThePixelSize) {
    Optics();
    ASSERT_EQ(0, Open_Scanner(3));
    Emu().FeedPlate(Reference(2, 20000, 0.1));
    Reply r = Service(0x1000, U32Arg(50000), 4);
    ASSERT_EQ(0, r.result) << Log().substr(Log().size() > 3000 ? Log().size() - 3000 : 0);
    EXPECT_EQ(4, r.outLen);
    // 50 um pixels take 12 ADC samples: a stream value is 0.75 x the plate level, and the
    // target is 2700 per sample.
    const double predicted = VoltageFor(2700.0 * 12 / 0.75, 20000);
    printf("calibration: %u V, the gain model predicts %.1f V\n", r.U32(), predicted);
    EXPECT_NEAR(predicted, r.U32(), kCalibrationTolerance);
    EXPECT_EQ(2u, Measurements("hv-calibration result").size());
    // The first dark search reads the level with the open's 16 samples, which the level
    // reading counts twice (3434 x 2 is above 6554 at 1200 V); the second with 12.
    EXPECT_EQ((std::vector<int>{1200, 1100, 1200}), StepVoltages("hv-calibration dark"));
    EXPECT_EQ(0.0, Emu().HighVoltage());
}

TEST_F(HighVoltage, CalibrationRefusesABusyInletAndFailsWithoutPlateOrUsableVoltage) {
    Optics();
    ASSERT_EQ(0, Open_Scanner(3));
    EXPECT_EQ(-102, Service(0x1000, U32Arg(0), 4).result);
    EXPECT_EQ(-102, Service(0x1000, U32Arg(400000), 4).result);  // 96 samples a pixel

    const uint64_t start = Emu().NowMs();
    EXPECT_EQ(-1011, Service(0x1000, U32Arg(50000), 4).result);  // no plate within 20 s
    EXPECT_GE(Emu().NowMs() - start, 20000u);

    Emu().FeedPlate(Reference(3, 20000, 0));  // left in its inlet
    Reply r = Service(0x1000, U32Arg(50000), 4);
    EXPECT_EQ(-1009, r.result);
    EXPECT_EQ(0, r.outLen);
    EXPECT_EQ(0, Close_Scanner());

    Optics("DarkSignal=60000\n");
    ASSERT_EQ(0, Open_Scanner(3));
    EXPECT_EQ(-10000, Service(0x1000, U32Arg(50000), 4).result);
    EXPECT_EQ(0.0, Emu().HighVoltage());
}

}  // namespace

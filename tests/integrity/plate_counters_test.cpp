// Plate counters of the data memory are written during the session, so that a session that
// is killed loses at most a few counts.
#include "scanner/scanner_fixture.h"

namespace {

class PlateCounters : public ScannerTest {
public:
    // The intra-oral plate counter of the emulated data memory.
    static uint32_t IntraCounter() {
        const std::vector<uint8_t> d = Emu().Datprom();
        return d[0] | d[1] << 8 | d[2] << 16 | uint32_t(d[3]) << 24;
    }
    // The four plate counters added up.
    static uint32_t TotalCounter() {
        const std::vector<uint8_t> d = Emu().Datprom();
        uint32_t total = 0;
        for (int o : {0, 4, 8, 12}) total += d[o] | d[o + 1] << 8 | d[o + 2] << 16 | uint32_t(d[o + 3]) << 24;
        return total;
    }
};

TEST_F(PlateCounters, WrittenAfterEveryTenthPlateWithoutWaitingForClose) {
    Config({{"Scanner", "MinBild", "1"}});
    std::string plates;
    for (int i = 0; i < 12; i++)
        plates += "[Plate_" + std::to_string(i + 1) + "]\nImage=phantom:bars\nSlot=1\nAt=" +
                  std::to_string(0.5 + 8 * i) + "\nType=intra\n";
    Emulator(plates);
    const uint32_t before = IntraCounter();
    ASSERT_EQ(0, Open_Scanner(1));
    ASSERT_EQ(0, Aktivate_Scanner());
    std::vector<std::string> names;
    ASSERT_GE(ScanImages(9, &names), 0);
    EXPECT_EQ(before, IntraCounter());  // nine plates: nothing written yet
    ASSERT_GE(ScanImages(12, &names), 0);
    ASSERT_EQ(12u, names.size());
    // Killed now, the session would have lost two counts, not twelve.
    EXPECT_EQ(before + 10, IntraCounter());
    EXPECT_EQ(0, Close_Scanner());
    EXPECT_EQ(before + 12, IntraCounter());
}

TEST_F(PlateCounters, WrittenOnTheRecoveryPath) {
    Config({{"Scanner", "MinBild", "1"}});
    Emulator("[Firmware]\nRunning=1\nOldDataWords=50000\n");
    const uint32_t before = TotalCounter();
    ASSERT_EQ(LUMORA_E_OLD_DATA, Open_Scanner(1));
    ASSERT_TRUE(Logged(5, "1 images succesfull recovered from scanner memory"));
    EXPECT_EQ(before + 1, TotalCounter());  // counted in the device memory at once
}

}  // namespace

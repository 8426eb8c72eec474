// Layout of the scanner's identification PROM (IDPROM) and data PROM (DATPROM).
#pragma once

constexpr int IDPROM_SIZE = 256;
constexpr int DATPROM_SIZE = 32;

// IDPROM offsets.
namespace idprom {
constexpr int SERIAL = 0;          // 16 bytes
constexpr int MFG_DAY = 128, MFG_MONTH = 129, MFG_YEAR = 130, FINAL_CHECK = 132;
constexpr int TYPE_ID = 144;       // u16; 12 = second model; 0xFFFF = none
constexpr int FEATURES = 146;      // u16
constexpr int REFLECTOR = 148;     // u16, tenths of a millimetre
constexpr int SMOT_STEP = 150;     // u16, nanometres
constexpr int DIST_A = 152, DIST_B = 153, SOL_POS = 154, SCAN_RANGE = 155;
constexpr int LASER_ERR_TEMP = 156, LASER_WARN_TEMP = 157, SLOT_MASK = 158, LASER_POWER = 159;
constexpr int PMT_CORR_A = 240, PMT_CORR_B = 244;
constexpr int PMT_HV = 0xFE;       // u16 PMT high voltage (bytes 0xFE, 0xFF)
}  // namespace idprom

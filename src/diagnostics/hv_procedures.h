// The two searches for a photomultiplier high voltage. Both block the caller for many
// seconds (waits of 250 and 600 ms per step, plus the wait for a plate), every wait going
// through the library clock.
#pragma once
#include <cstdint>

struct ServiceContext;

// The high-voltage wizard: checks that the dark signal allows a usable voltage, waits for a
// plate and searches the voltage at which the plate's brightest part reaches the limit of the
// scan mode. The voltage (volts); -6 while a scan is armed; -10000 when no usable voltage
// exists; -1011 when no plate came within timeoutMs; or a block-read code.
int HighVoltageWizard(const ServiceContext& context, uint32_t timeoutMs);
constexpr uint32_t HV_WIZARD_TIMEOUT_MS = 20000;

// The high-voltage calibration for a pixel size (nm) on a reference plate held in slot 2 or
// 3. The voltage (volts); -102 for a pixel size the ADC cannot be set up for; -1009 when an
// inlet is not free at the start; -10000 when the dark signal allows no usable voltage;
// -1011 when no plate came in time or the plate left the scan; or a block-read code.
int HighVoltageCalibration(const ServiceContext& context, uint32_t pixelNm);

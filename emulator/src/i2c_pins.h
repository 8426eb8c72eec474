// Pin-level I2C decoder of register 0x80 (written: bit 7 SDA, 1 = released; bit 1 SCL; read:
// the SDA line as 0 or 1). Start: SDA falls while SCL is high; stop: SDA rises while SCL is
// high; bits are sampled on the rising SCL edge; the slave drives the acknowledge on the
// ninth clock and the data bits of a read.
#pragma once
#include <cstdint>

#include "i2c_bus.h"

namespace lumora_emu {

class I2cPins {
public:
    explicit I2cPins(I2cBus& bus) : bus_(bus) {}
    void Reset();
    void WritePins(uint8_t value);
    uint8_t ReadSda() const { return Line(); }

private:
    enum class Phase { Idle, Receive, SlaveAck, Transmit, MasterAck, Ignore };
    uint8_t Line() const { return (masterSda_ && slaveSda_) ? 1 : 0; }
    void OnStart();
    void OnStop();
    void OnClockRise();
    void OnClockFall();
    void LoadByte();

    I2cBus& bus_;
    bool masterSda_ = true, slaveSda_ = true, scl_ = true;
    Phase phase_ = Phase::Idle;
    bool addressPhase_ = false, reading_ = false, acked_ = false, masterAck_ = false;
    int bits_ = 0;
    uint8_t shift_ = 0;
};

}  // namespace lumora_emu

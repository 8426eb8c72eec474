#include "i2c_pins.h"

#include "device_map.h"

namespace lumora_emu {

void I2cPins::Reset() {
    masterSda_ = slaveSda_ = scl_ = true;
    phase_ = Phase::Idle;
    bits_ = 0;
}

void I2cPins::WritePins(uint8_t value) {
    bool sda = (value & bits::kSda) != 0;
    bool scl = (value & bits::kScl) != 0;
    if (scl_ && scl) {
        // Clock stays high: an SDA edge is a start or stop condition.
        uint8_t before = Line();
        masterSda_ = sda;
        uint8_t after = Line();
        if (before && !after) OnStart();
        if (!before && after) OnStop();
        return;
    }
    if (scl_ && !scl) {  // falling clock first, then data with the clock low
        scl_ = false;
        OnClockFall();
        masterSda_ = sda;
        return;
    }
    masterSda_ = sda;  // data first with the clock low, then a rising clock
    if (!scl_ && scl) {
        scl_ = true;
        OnClockRise();
    }
}

void I2cPins::OnStart() {
    phase_ = Phase::Receive;
    addressPhase_ = true;
    bits_ = 0;
    shift_ = 0;
    slaveSda_ = true;
}

void I2cPins::OnStop() {
    bus_.Stop();
    phase_ = Phase::Idle;
    slaveSda_ = true;
}

void I2cPins::OnClockRise() {
    switch (phase_) {
        case Phase::Receive:
            if (bits_ < 8) {
                shift_ = uint8_t((shift_ << 1) | Line());
                ++bits_;
            }
            break;
        case Phase::Transmit:
            ++bits_;
            break;
        case Phase::MasterAck:
            masterAck_ = Line() == 0;
            bus_.MasterAck(masterAck_);
            break;
        default:
            break;
    }
}

void I2cPins::LoadByte() {
    shift_ = bus_.Read();
    bits_ = 0;
    slaveSda_ = (shift_ & 0x80) != 0;
    phase_ = Phase::Transmit;
}

void I2cPins::OnClockFall() {
    switch (phase_) {
        case Phase::Receive:
            if (bits_ == 8) {
                if (addressPhase_) {
                    reading_ = (shift_ & 1) != 0;
                    acked_ = bus_.Start(shift_);
                } else {
                    acked_ = bus_.Write(shift_);
                }
                slaveSda_ = !acked_;
                phase_ = Phase::SlaveAck;
            }
            break;
        case Phase::SlaveAck:
            slaveSda_ = true;
            if (!acked_) {
                phase_ = Phase::Ignore;
            } else if (addressPhase_ && reading_) {
                addressPhase_ = false;
                LoadByte();
            } else {
                addressPhase_ = false;
                phase_ = Phase::Receive;
                bits_ = 0;
                shift_ = 0;
            }
            break;
        case Phase::Transmit:
            if (bits_ >= 8) {
                slaveSda_ = true;
                phase_ = Phase::MasterAck;
            } else {
                slaveSda_ = ((shift_ << bits_) & 0x80) != 0;
            }
            break;
        case Phase::MasterAck:
            if (masterAck_) {
                LoadByte();
            } else {
                slaveSda_ = true;
                phase_ = Phase::Ignore;
            }
            break;
        default:
            break;
    }
}

}  // namespace lumora_emu

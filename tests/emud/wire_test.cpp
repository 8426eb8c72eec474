// The driver side and lumora-emud keep their own copies of the wire; they must agree.
#include <gtest/gtest.h>

#include <cstddef>

#include "../../emulator/daemon/wire.h"
#include "platform/emulator_daemon.h"

namespace {

namespace c = platform::daemon_wire;

TEST(EmudWire, BothSidesAgree) {
    EXPECT_EQ(emud::kMagic, c::kMagic);
    EXPECT_EQ(emud::kMaxPayload, c::kMaxPayload);
    const std::pair<uint32_t, uint32_t> ops[] = {
        {emud::kOpen, c::kOpen},         {emud::kRequest, c::kRequest},     {emud::kClose, c::kClose},
        {emud::kWaitMs, c::kWaitMs},     {emud::kNowMs, c::kNowMs},         {emud::kI2cStart, c::kI2cStart},
        {emud::kI2cWrite, c::kI2cWrite}, {emud::kI2cRead, c::kI2cRead},     {emud::kI2cStop, c::kI2cStop},
        {emud::kMotorWord, c::kMotorWord},
    };
    for (auto [daemon, client] : ops) EXPECT_EQ(daemon, client);
#define SAME_FIELD(type, field) EXPECT_EQ(offsetof(emud::type, field), offsetof(c::type, field)) << #type "." #field
    SAME_FIELD(Request, magic);
    SAME_FIELD(Request, op);
    SAME_FIELD(Request, arg);
    SAME_FIELD(Request, handle);
    SAME_FIELD(Request, code);
    SAME_FIELD(Request, inSize);
    SAME_FIELD(Request, outSize);
    SAME_FIELD(Reply, magic);
    SAME_FIELD(Reply, result);
    SAME_FIELD(Reply, returned);
    SAME_FIELD(Reply, value);
#undef SAME_FIELD
    EXPECT_EQ(sizeof(emud::Request), sizeof(c::Request));
    EXPECT_EQ(sizeof(emud::Reply), sizeof(c::Reply));
}

}  // namespace

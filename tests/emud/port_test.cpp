// The kernel-driver port and the clock through lumora-emud: requests, errors and waits as
// with the emulator in-process; a daemon that goes away gives errors, never a hang; a
// connection owns its device handles and loses them when it ends.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "common/temp_dir.h"
#include "devicelink/driver_codes.h"
#include "emud/daemon.h"
#include "platform/clock.h"
#include "platform/driver_port.h"
#include "platform/emulator_daemon.h"

namespace {

namespace w = platform::daemon_wire;

class EmudPort : public ::testing::Test {
public:
    void SetUp() override {
        dir.write("device.ini", "[Clock]\nMode=stepped\n[Firmware]\nRunning=1\n");
        daemon = std::make_unique<EmudProcess>(dir.path(), dir.file("device.ini"));
        ASSERT_GT(daemon->pid(), 0) << daemon->output();
        setenv("LUMORA_EPP_DEVICE", daemon->address().c_str(), 1);
    }
    void TearDown() override { platform::SetClockBackend(nullptr); }

    TempDir dir;
    std::unique_ptr<EmudProcess> daemon;
};

// A raw connection speaking the wire, as a second process would.
struct RawClient {
    explicit RawClient(const std::string& path) {
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
        fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            close(fd);
            fd = -1;
        }
    }
    ~RawClient() {
        if (fd >= 0) close(fd);
    }
    // One call; false when the daemon hung up.
    bool Call(uint32_t op, int handle, uint32_t code, uint32_t outSize, w::Reply* r) {
        w::Request q{w::kMagic, op, 0, handle, code, 0, outSize, 0};
        if (write(fd, &q, sizeof q) != ssize_t(sizeof q)) return false;
        if (read(fd, r, sizeof *r) != ssize_t(sizeof *r)) return false;
        std::vector<uint8_t> out(r->returned);
        return r->returned == 0 || read(fd, out.data(), out.size()) == ssize_t(out.size());
    }
    int fd = -1;
};

TEST_F(EmudPort, RequestsAnswerAsTheDeviceDoes) {
    std::unique_ptr<platform::DriverPort> port(platform::DriverPort::Open());
    ASSERT_TRUE(port) << platform::LastError();
    EXPECT_EQ(daemon->address(), port->Name());
    EXPECT_EQ("1", daemon->State("drivers"));

    uint32_t status = 0, got = 0;
    ASSERT_TRUE(port->Request(IOCTL_INTERFACE_STATUS, nullptr, 0, &status, sizeof status, &got));
    EXPECT_EQ(4u, got);
    EXPECT_NE(0u, status & STATUS_BIT_RUNNING);

    // A register written and read back, through select-then-write.
    uint32_t reg = 0xC2;
    uint8_t value = 0x5A, back = 0;
    ASSERT_TRUE(port->Request(IOCTL_SELECT, &reg, 4, nullptr, 0, &got));
    ASSERT_TRUE(port->Request(IOCTL_WRITE8, &value, 1, nullptr, 0, &got));
    ASSERT_TRUE(port->Request(IOCTL_READ8, &reg, 4, &back, 1, &got));
    EXPECT_EQ(0x5A, back);
    EXPECT_EQ("ok 90", daemon->Command("peek 194"));

    // The device's own refusals come through unchanged.
    EXPECT_FALSE(port->Request(0x222FFC, nullptr, 0, nullptr, 0, &got));
    EXPECT_EQ(ENOTTY, platform::LastError());
    EXPECT_FALSE(port->Request(IOCTL_READ8, &reg, 2, &back, 1, &got));
    EXPECT_EQ(EINVAL, platform::LastError());
    EXPECT_EQ(0u, got);

    // Waits move the daemon's stepped clock, and the driver's clock is the daemon's.
    uint64_t before = platform::NowMs();
    platform::WaitMs(1500);
    EXPECT_EQ(before + 1500, platform::NowMs());
    EXPECT_EQ(std::to_string(before + 1500), daemon->State("now"));

    port.reset();
    EXPECT_EQ("1", daemon->State("drivers"));  // the connection stays for the next open
}

TEST_F(EmudPort, HandlesBelongToTheirConnection) {
    RawClient first(daemon->socket()), second(daemon->socket());
    ASSERT_GE(first.fd, 0);
    ASSERT_GE(second.fd, 0);
    w::Reply r{};
    ASSERT_TRUE(first.Call(w::kOpen, 0, 0, 0, &r));
    const int handle = r.result;
    ASSERT_GT(handle, 0);
    ASSERT_TRUE(first.Call(w::kRequest, handle, IOCTL_INTERFACE_STATUS, 4, &r));
    EXPECT_EQ(0, r.result);
    EXPECT_EQ(4u, r.returned);
    ASSERT_TRUE(second.Call(w::kRequest, handle, IOCTL_INTERFACE_STATUS, 4, &r));
    EXPECT_EQ(EBADF, r.result);
    EXPECT_EQ(0u, r.returned);
    // An unknown call is answered, a message of another protocol ends the connection.
    ASSERT_TRUE(second.Call(77, 0, 0, 0, &r));
    EXPECT_EQ(-ENOSYS, r.result);
    const char junk[32] = "GET / HTTP/1.0\r\n\r\n";
    ASSERT_EQ(ssize_t(sizeof junk), write(second.fd, junk, sizeof junk));
    char c;
    EXPECT_EQ(0, read(second.fd, &c, 1));
    // So does a request larger than any the device takes.
    RawClient third(daemon->socket());
    w::Request huge{w::kMagic, w::kRequest, 0, handle, IOCTL_DOWNLOAD, w::kMaxPayload + 1, 4, 0};
    ASSERT_EQ(ssize_t(sizeof huge), write(third.fd, &huge, sizeof huge));
    EXPECT_EQ(0, read(third.fd, &c, 1));
    // The daemon serves on.
    EXPECT_TRUE(daemon->WaitFor([&] { return daemon->State("drivers") == "1"; }));
    ASSERT_TRUE(first.Call(w::kRequest, handle, IOCTL_INTERFACE_STATUS, 4, &r));
    EXPECT_EQ(0, r.result);
}

TEST_F(EmudPort, ADaemonThatEndsGivesErrorsNotAHang) {
    std::unique_ptr<platform::DriverPort> port(platform::DriverPort::Open());
    ASSERT_TRUE(port);
    platform::WaitMs(200);
    const uint64_t last = platform::NowMs();
    EXPECT_EQ(0, daemon->Stop());
    uint32_t status = 0, got = 7;
    EXPECT_FALSE(port->Request(IOCTL_INTERFACE_STATUS, nullptr, 0, &status, sizeof status, &got));
    EXPECT_EQ(EIO, platform::LastError());
    EXPECT_EQ(0u, got);
    // The clock goes on with the wall clock, so that waits with a time limit end.
    platform::WaitMs(20);
    EXPECT_GE(platform::NowMs(), last + 20);
    port.reset();
    // A new open finds nobody there.
    EXPECT_EQ(nullptr, platform::DriverPort::Open());
    EXPECT_EQ(ENOENT, platform::LastError());  // the daemon removed its socket
}

TEST(EmudAddress, APathLongerThanASocketTakesIsRefused) {
    setenv("LUMORA_EPP_DEVICE", ("unix:/tmp/" + std::string(120, 'x')).c_str(), 1);
    EXPECT_EQ(nullptr, platform::DriverPort::Open());
    EXPECT_EQ(ENAMETOOLONG, platform::LastError());
}

TEST(EmudDaemon, RefusesASocketInUseAndReplacesAStaleOne) {
    TempDir dir;
    EmudProcess first(dir.path(), "");
    ASSERT_GT(first.pid(), 0) << first.output();
    EmudProcess second(dir.path(), "");
    EXPECT_EQ(0, second.pid());
    EXPECT_NE(std::string::npos, second.output().find("a daemon already answers on"));
    // A daemon killed outright leaves its socket file; the next one takes the place.
    kill(first.pid(), SIGKILL);
    waitpid(first.pid(), nullptr, 0);
    EmudProcess third(dir.path(), "");
    EXPECT_GT(third.pid(), 0) << third.output();
}

TEST(EmudDaemon, ControlCommands) {
    TempDir dir;
    dir.write("device.ini", "[Clock]\nMode=stepped\n");
    EmudProcess d(dir.path(), dir.file("device.ini"));
    ASSERT_GT(d.pid(), 0) << d.output();
    EXPECT_EQ("-", d.State("plates"));
    EXPECT_EQ("ok plate 1", d.Command("feed phantom:bars slot=2 at=0.5 width=64 height=32 type=intra"));
    EXPECT_EQ("pending", d.State("plates"));
    EXPECT_EQ("ok now=2500", d.Command("advance 2500"));
    const char* refused[] = {"feed phantom:nothing", "feed phantom:bars slot=5", "feed phantom:bars at=-1",
                             "advance x", "advance -5", "clock sometimes", "clock fast 0", "hold 0", "hold 1 -2", "hold 1 x",
                             "peek 256", "fault corrupt", "fault olddata -3", "frobnicate", "",
                             "feed /no/such/plate.png"};
    for (const char* command : refused) EXPECT_EQ(0u, d.Command(command).rfind("error: ", 0)) << command;
    EXPECT_EQ("ok", d.Command("fault firmware 1"));
    EXPECT_EQ("1", d.State("firmware"));
    EXPECT_EQ("ok", d.Command("fault olddata 5000"));
    EXPECT_EQ("5000", d.State("fifo"));
    EXPECT_EQ("ok", d.Command("reset"));  // the description file again: no plates, no data
    EXPECT_EQ("0", d.State("fifo"));
    EXPECT_EQ("-", d.State("plates"));
    // In the real-time modes the scanner goes on with no driver calling.
    EXPECT_EQ("ok", d.Command("clock fast 100"));
    EXPECT_TRUE(d.WaitFor([&] { return std::stoull(d.State("now")) >= 2000; }, 30)) << d.Command("state");
    EXPECT_EQ("ok", d.Command("quit"));
    EXPECT_EQ(0, d.WaitExit(30));
    EXPECT_FALSE(std::filesystem::exists(d.socket()));
}

TEST(EmudDaemon, QuitsAlsoWhenTheAskerDoesNotWait) {
    TempDir dir;
    EmudProcess d(dir.path(), "");
    ASSERT_GT(d.pid(), 0) << d.output();
    RawClient control(d.socket() + ".ctl");
    ASSERT_GE(control.fd, 0);
    ASSERT_EQ(5, write(control.fd, "quit\n", 5));
    close(control.fd);
    control.fd = -1;
    EXPECT_EQ(0, d.WaitExit(30));
}

}  // namespace

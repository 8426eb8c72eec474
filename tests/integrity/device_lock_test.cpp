// One owner per scanner on the EPP path: a second process is refused while the first has the
// scanner open, and a killed owner frees it.
#include <signal.h>
#include <unistd.h>

#include "common/child_process.h"
#include "scanner/scanner_fixture.h"

namespace {

using DeviceLock = ScannerTest;

TEST_F(DeviceLock, SecondProcessIsRefusedUntilTheOwnerIsKilled) {
    int ready[2];
    ASSERT_EQ(0, pipe(ready));
    // The first application: opens the scanner and keeps it.
    const pid_t owner = StartInChild([&]() -> int {
        close(ready[0]);
        const int r = Open_Scanner(1);
        if (write(ready[1], &r, sizeof r) != sizeof r) return 2;
        for (;;) pause();
    });
    ASSERT_GE(owner, 0);
    close(ready[1]);
    int opened = -1;
    ASSERT_EQ(ssize_t(sizeof opened), read(ready[0], &opened, sizeof opened));
    close(ready[0]);
    ASSERT_EQ(0, opened);

    EXPECT_EQ(LUMORA_E_INIT, Open_Scanner(1));
    EXPECT_TRUE(Logged(3, "scanner emulator:" + dir.file("emulator.ini") + " is in use by process " +
                              std::to_string(owner)));

    kill(owner, SIGKILL);  // the kernel drops the dead owner's lock
    ASSERT_EQ(128 + SIGKILL, WaitForExit(owner));
    EXPECT_EQ(0, Open_Scanner(1));
    // Closing and opening again in the same process keeps working.
    EXPECT_EQ(0, Close_Scanner());
    EXPECT_EQ(0, Open_Scanner(1));
}

}  // namespace

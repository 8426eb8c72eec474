// One owner per scanner on the EPP path: a second process is refused while the first has the
// scanner open, and a killed owner frees it.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "scanner/scanner_fixture.h"

namespace {

using DeviceLock = ScannerTest;

TEST_F(DeviceLock, SecondProcessIsRefusedUntilTheOwnerIsKilled) {
    int ready[2];
    ASSERT_EQ(0, pipe(ready));
    const pid_t owner = fork();
    ASSERT_GE(owner, 0);
    if (owner == 0) {  // the first application: opens the scanner and keeps it
        close(ready[0]);
        const int r = Open_Scanner(1);
        if (write(ready[1], &r, sizeof r) != sizeof r) _exit(2);
        for (;;) pause();
    }
    close(ready[1]);
    int opened = -1;
    ASSERT_EQ(ssize_t(sizeof opened), read(ready[0], &opened, sizeof opened));
    close(ready[0]);
    ASSERT_EQ(0, opened);

    EXPECT_EQ(LUMORA_E_INIT, Open_Scanner(1));
    EXPECT_TRUE(Logged(3, "scanner emulator:" + dir.file("emulator.ini") + " is in use by process " +
                              std::to_string(owner)));

    kill(owner, SIGKILL);  // the kernel drops the dead owner's lock
    int status = 0;
    ASSERT_EQ(owner, waitpid(owner, &status, 0));
    EXPECT_EQ(0, Open_Scanner(1));
    // Closing and opening again in the same process keeps working.
    EXPECT_EQ(0, Close_Scanner());
    EXPECT_EQ(0, Open_Scanner(1));
}

}  // namespace

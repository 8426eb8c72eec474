// Files left by a session that was killed: its temporary file and hidden partial image files
// go at the next open, with a line each; those of live processes and of an image folder that
// another live session holds stay.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

#include "common/child_process.h"
#include "scanner/scanner_fixture.h"

namespace {

namespace fs = std::filesystem;

// The id of a process that has ended.
pid_t EndedProcess() {
    const pid_t pid = StartInChild([] { return 0; });
    WaitForExit(pid);
    return pid;
}

class Leftovers : public ScannerTest {
public:
    std::string Plant(const std::string& name) { return dir.write("images/" + name, std::string(4096, 'x')); }
};

TEST_F(Leftovers, FilesOfEndedSessionsGoAtOpen) {
    const pid_t dead = EndedProcess();
    const std::string deadTemp = Plant("Lumora-" + std::to_string(dead) + ".tmp");
    const std::string liveTemp = Plant("Lumora-1.tmp");  // init never ends
    const std::string otherName = Plant("Other-" + std::to_string(dead) + ".tmp");
    const std::string notAPid = Plant("Lumora-12x.tmp");
    const std::string partialImage = Plant(".LM000004.XYZ.part");
    const std::string partialInfo = Plant(".LM000004.txt.part");
    const std::string notPartial = Plant(".lumora.part");

    ASSERT_EQ(0, Open_Scanner(1));
    EXPECT_FALSE(fs::exists(deadTemp));
    EXPECT_TRUE(Logged(5, "temporary file " + deadTemp + " of process " + std::to_string(dead) +
                              ", which has ended, removed"));
    EXPECT_FALSE(fs::exists(partialImage));
    EXPECT_FALSE(fs::exists(partialInfo));
    EXPECT_TRUE(Logged(5, "partial image file " + partialImage + " of a session that has ended removed"));
    EXPECT_TRUE(Logged(5, "partial image file " + partialInfo + " of a session that has ended removed"));
    for (const std::string& kept : {liveTemp, otherName, notAPid, notPartial})
        EXPECT_TRUE(fs::exists(kept)) << kept;
    // Our own temporary file is in use, and goes at the close.
    const std::string own = ImageDir() + "/Lumora-" + std::to_string(getpid()) + ".tmp";
    EXPECT_TRUE(fs::exists(own));
    EXPECT_EQ(0, Close_Scanner());
    EXPECT_FALSE(fs::exists(own));
}

TEST_F(Leftovers, PartialFilesStayWhileAnotherSessionHoldsTheFolder) {
    const std::string partial = Plant(".LM000009.XYZ.part");
    // Another live session: it holds the image folder shared while its scanner is open.
    int other = open(ImageDir().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(0, flock(other, LOCK_SH));

    ASSERT_EQ(0, Open_Scanner(1));
    EXPECT_TRUE(fs::exists(partial));
    // While we hold it, a further session cannot take the folder alone either.
    int third = open(ImageDir().c_str(), O_RDONLY | O_DIRECTORY);
    EXPECT_NE(0, flock(third, LOCK_EX | LOCK_NB));
    close(third);
    EXPECT_EQ(0, Close_Scanner());

    close(other);  // that session ended
    ASSERT_EQ(0, Open_Scanner(1));
    EXPECT_FALSE(fs::exists(partial));
    EXPECT_EQ(0, Close_Scanner());
    // Closed: the folder is free again.
    int after = open(ImageDir().c_str(), O_RDONLY | O_DIRECTORY);
    EXPECT_EQ(0, flock(after, LOCK_EX | LOCK_NB));
    close(after);
}

}  // namespace

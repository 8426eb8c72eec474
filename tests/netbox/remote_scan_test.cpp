// A scan session through the network box: the lumora command with a configuration naming the
// box scans the emulated plates that lumora-boxd drives locally. The images and info files
// equal those of a local scan of the same plates, and the box keeps none of them.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <set>

#include "box_process.h"

#ifndef LUMORA_CLI
#error "LUMORA_CLI must name the lumora command"
#endif

namespace {

namespace fs = std::filesystem;

// The three plates of the demo, on an emulated clock a hundred times faster than real time.
const char* const kPlates =
    "[Clock]\nMode=fast\nFactor=100\n"
    "[Plate_1]\nImage=phantom:stepwedge\nType=intra\nSlot=1\nAt=0.5\nWidth=1240\nHeight=1640\n"
    "[Plate_2]\nImage=phantom:bars\nType=intra\nSlot=3\nAt=30\nWidth=880\nHeight=1400\n"
    "[Plate_3]\nImage=phantom:shapes\nType=extra\nSlot=2\nAt=60\nWidth=2280\nHeight=3040\n";

// A folder with the configuration service's settings and the example configuration, with
// Network and Server as given; returns the settings file.
std::string Station(const TempDir& dir, const std::string& name, const std::string& network) {
    dir.write(name + "/zrconfig.ini",
              "[Paths]\nConfig=lumora.ini\nDeviceDir=devices\nImageDir=images\nScriptDir=scripts\n"
              "[Log]\nTarget=file:lumora.log\nLevel=5\n");
    dir.write(name + "/devices/Lumora.mcs", ":0400000001020304F2\n:00000001FF\n");
    std::string config = TempDir::read(std::string(LUMORA_SOURCE_DIR) + "/examples/lumora.ini");
    dir.write(name + "/lumora.ini", config + "\n[Interface]\n" + network);
    return dir.file(name + "/zrconfig.ini");
}

// Runs "lumora scan" for three plates with the given settings, polling every interval ms;
// its exit status.
int Scan(const std::string& settings, const std::string& emulatorIni, const std::string& output,
         const char* interval) {
    pid_t pid = fork();
    if (pid == 0) {
        setenv("LUMORA_ZRCONFIG", settings.c_str(), 1);
        setenv("LUMORA_EPP_DEVICE", "emulator", 1);
        setenv("LUMORA_EMULATOR", emulatorIni.c_str(), 1);
        freopen(output.c_str(), "w", stdout);
        execl(LUMORA_CLI, LUMORA_CLI, "scan", "--set", "1", "--plates", "3", "--seconds", "240",
              "--interval", interval, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) names.insert(e.path().filename().string());
    return names;
}

// An info file with its acquisition time (date, clock time, scan duration) blanked.
std::string Timeless(std::string info) {
    for (size_t i : {27, 28, 29, 30, 31, 32, 33, 66, 67})
        if (i < info.size()) info[i] = 0;
    return info;
}

TEST(RemoteScan, ImagesEqualThoseOfALocalScanAndLeaveTheBox) {
    TempDir dir;
    const std::string emulator = dir.write("emulator.ini", kPlates);

    const std::string local = Station(dir, "local", "Network=0\n");
    ASSERT_EQ(Scan(local, emulator, dir.file("local.out"), "5"), 0) << TempDir::read(dir.file("local.out"));

    BoxProcess box(dir, emulator);
    ASSERT_GT(box.port(), 0);
    const std::string remote = Station(dir, "remote", "Network=1\nServer=" + box.server() + "\n");
    // Remotely the status thread sets the pace of the polls.
    ASSERT_EQ(Scan(remote, emulator, dir.file("remote.out"), "20"), 0) << TempDir::read(dir.file("remote.out"));

    const std::string localImages = dir.file("local/images"), remoteImages = dir.file("remote/images");
    const std::set<std::string> names = Names(localImages);
    std::set<std::string> images;
    for (const std::string& n : names)
        if (n.size() > 4 && n.substr(n.size() - 4) == ".XYZ") images.insert(n);
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(Names(remoteImages), names);
    for (const std::string& image : images) {
        std::string info = image.substr(0, image.size() - 3) + "txt";
        EXPECT_TRUE(TempDir::read(remoteImages + "/" + image) == TempDir::read(localImages + "/" + image))
            << image << " differs";
        EXPECT_EQ(Timeless(TempDir::read(remoteImages + "/" + info)),
                  Timeless(TempDir::read(localImages + "/" + info)))
            << info;
    }
    // The box deleted its copies once they were fetched.
    std::set<std::string> left;
    for (const std::string& n : Names(box.folder() + "/images"))
        if (n.rfind("LM", 0) == 0) left.insert(n);
    EXPECT_TRUE(left.empty()) << *left.begin();
    EXPECT_EQ(box.Stop(), 0);
}

}  // namespace

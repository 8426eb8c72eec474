// Sessions through the network box: the lumora command with a configuration naming the box
// scans the emulated plates that lumora-boxd drives locally. The images and info files equal
// those of a local scan of the same plates, and the box keeps none of them; one box serves
// session after session, and no name comes twice, also after the box restarted; its device
// report equals a local one, on either interface of the box's scanner.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "box_process.h"
#include "config/image_numbering.h"
#include "emud/daemon.h"
#include "example_configuration.h"

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
std::string Station(const TempDir& dir, const std::string& name, const std::string& network,
                    const std::string& server = "", std::vector<IniKey> keys = {}) {
    dir.write(name + "/zrconfig.ini",
              "[Paths]\nConfig=lumora.ini\nDeviceDir=devices\nImageDir=images\nScriptDir=scripts\n"
              "[Log]\nTarget=file:lumora.log\nLevel=5\n");
    for (const char* firmware : {"Lumora.mcs", "LumoraUSB.mcs"})
        dir.write(name + "/devices/" + firmware, ":0400000001020304F2\n:00000001FF\n");
    keys.push_back({"Interface", "Network", network});
    if (!server.empty()) keys.push_back({"Interface", "Server", server});
    WriteExampleConfiguration(dir, name + "/lumora.ini", keys);
    return dir.file(name + "/zrconfig.ini");
}

// Runs the lumora command with the given settings and arguments; its exit status.
int Lumora(const std::string& settings, const std::string& emulatorIni, const std::string& output,
           std::vector<std::string> args) {
    args.insert(args.begin(), LUMORA_CLI);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        setenv("LUMORA_ZRCONFIG", settings.c_str(), 1);
        setenv("LUMORA_EPP_DEVICE", "emulator", 1);
        setenv("LUMORA_EMULATOR", emulatorIni.c_str(), 1);
        freopen(output.c_str(), "w", stdout);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs "lumora scan" for a number of plates, polling every interval ms; its exit status.
int Scan(const std::string& settings, const std::string& emulatorIni, const std::string& output,
         const char* interval, int plates = 3) {
    return Lumora(settings, emulatorIni, output,
                  {"scan", "--set", "1", "--plates", std::to_string(plates), "--seconds", "240",
                   "--interval", interval});
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

    const std::string local = Station(dir, "local", "0");
    ASSERT_EQ(Scan(local, emulator, dir.file("local.out"), "5"), 0) << TempDir::read(dir.file("local.out"));

    BoxProcess box(dir, emulator);
    ASSERT_GT(box.port(), 0);
    const std::string remote = Station(dir, "remote", "1", box.server());
    // Remotely the status thread sets the pace of the polls.
    ASSERT_EQ(Scan(remote, emulator, dir.file("remote.out"), "20"), 0) << TempDir::read(dir.file("remote.out"));

    const std::string localImages = dir.file("local/images"), remoteImages = dir.file("remote/images");
    // The image and info files and the numbering record, which the client keeps as the
    // local driver does.
    std::set<std::string> names, images;
    for (const std::string& n : Names(localImages)) {
        if (n.rfind("LM", 0) == 0 || n == NUMBERING_FILE) names.insert(n);
        if (n.size() > 4 && n.substr(n.size() - 4) == ".XYZ") images.insert(n);
    }
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(Names(remoteImages), names);
    EXPECT_EQ(TempDir::read(remoteImages + "/" + NUMBERING_FILE),
              TempDir::read(localImages + "/" + NUMBERING_FILE));
    for (const std::string& image : images) {
        std::string info = image.substr(0, image.size() - 3) + "txt";
        EXPECT_TRUE(TempDir::read(remoteImages + "/" + image) == TempDir::read(localImages + "/" + image))
            << image << " differs";
        EXPECT_EQ(Timeless(TempDir::read(remoteImages + "/" + info)),
                  Timeless(TempDir::read(localImages + "/" + info)))
            << info;
    }
    EXPECT_NE(box.Log().find("session of 127.0.0.1 opened with set 1"), std::string::npos) << box.Log();
    // The box deleted its copies once they were fetched.
    std::set<std::string> left;
    for (const std::string& n : Names(box.folder() + "/images"))
        if (n.rfind("LM", 0) == 0) left.insert(n);
    EXPECT_TRUE(left.empty()) << *left.begin();
    EXPECT_EQ(box.Stop(), 0);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The report through a box on either interface of its scanner equals the report of a local
// scanner on that interface (the USB library over the built-in emulator, its lock in the test's
// folder).
class RemoteReport : public testing::TestWithParam<const char*> {};

TEST_P(RemoteReport, EqualsALocalOne) {
    TempDir dir;
    const std::string type = GetParam();
    setenv("LUMORA_RUNTIME_DIR", dir.path().c_str(), 1);
    const std::string emulator = dir.write("emulator.ini", "[Clock]\nMode=fast\nFactor=100\n");
    const std::string local = Station(dir, "local", "0", "", {{"Interface", "Type", type}});
    const std::string localReport = dir.file("local-report.txt");
    ASSERT_EQ(Lumora(local, emulator, dir.file("local.out"), {"service", "report", localReport}), 0)
        << TempDir::read(dir.file("local.out"));

    BoxProcess box(dir, emulator, {"--interface", type});
    ASSERT_GT(box.port(), 0);
    const std::string remote = Station(dir, "remote", "1", box.server());
    const std::string remoteReport = dir.file("remote-report.txt");
    ASSERT_EQ(Lumora(remote, emulator, dir.file("remote.out"), {"service", "report", remoteReport}), 0)
        << TempDir::read(dir.file("remote.out"));

    const std::vector<std::string> want = Lines(TempDir::read(localReport));
    const std::vector<std::string> got = Lines(TempDir::read(remoteReport));
    ASSERT_GT(want.size(), 30u);
    ASSERT_EQ(got.size(), want.size()) << TempDir::read(remoteReport);
    // Two lines name the files of the machine that wrote the report: the first (with the date)
    // names the box's own report file, "using ... for settings" the box's configuration.
    EXPECT_EQ(got[0].rfind("Scanner Reportfile " + box.folder() + "/report.txt generated: ", 0), 0u) << got[0];
    EXPECT_EQ(want[0].rfind("Scanner Reportfile " + localReport + " generated: ", 0), 0u) << want[0];
    int settingsLines = 0;
    for (size_t i = 1; i < want.size(); ++i) {
        if (want[i] == "using " + dir.file("local/lumora.ini") + " for settings") {
            EXPECT_EQ(got[i], "using " + box.folder() + "/lumora.ini for settings");
            ++settingsLines;
            continue;
        }
        EXPECT_EQ(got[i], want[i]) << "line " << i + 1;
    }
    EXPECT_EQ(settingsLines, 1);
    EXPECT_EQ(got[3], "connected to " + type + " port");
    EXPECT_FALSE(fs::exists(box.folder() + "/report.txt"));
    EXPECT_EQ(box.Stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(Interfaces, RemoteReport, testing::Values("EPP", "USB"));

// Client image files by name with their contents.
std::map<std::string, std::string> Files(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const std::string& n : Names(folder)) files[n] = TempDir::read(folder + "/" + n);
    return files;
}

TEST(RemoteScan, OneBoxServesSessionAfterSessionAndNamesStayUniqueOverARestart) {
    TempDir dir;
    // The box's scanner is lumora-emud, fed with two plates before each session.
    const std::string device = dir.write("device.ini", "[Clock]\nMode=fast\nFactor=100\n");
    EmudProcess emud(dir.path(), device);
    ASSERT_GT(emud.pid(), 0) << emud.output();
    auto feed = [&emud] {
        for (const char* plate : {"phantom:stepwedge slot=1 at=0.5 width=1240 height=1640 type=intra",
                                  "phantom:bars slot=3 at=30 width=880 height=1400 type=intra"})
            EXPECT_EQ(emud.Command(std::string("feed ") + plate).rfind("ok plate", 0), 0u);
    };
    auto box = BoxProcess::NewOverDaemon(dir, emud.address());
    ASSERT_GT(box->port(), 0);
    std::string remote = Station(dir, "remote", "1", box->server());
    const std::string images = dir.file("remote/images");
    auto scan = [&](const char* output) {
        return Scan(remote, device, dir.file(output), "20", 2) == 0;
    };
    auto imageNames = [&images](std::initializer_list<int> numbers) {
        std::set<std::string> names = {NUMBERING_FILE};
        char name[16];
        for (int n : numbers)
            for (const char* ext : {"XYZ", "txt"}) {
                std::snprintf(name, sizeof name, "LM%06d.%s", n, ext);
                names.insert(name);
            }
        return names;
    };

    // The workstation already holds image 10; the first session's images follow it.
    dir.write("remote/images/LM000010.XYZ", "an earlier image");
    dir.write("remote/images/LM000010.txt", "its info");
    feed();
    ASSERT_TRUE(scan("first.out")) << TempDir::read(dir.file("first.out"));
    const std::map<std::string, std::string> first = Files(images);
    ASSERT_EQ(Names(images), imageNames({10, 11, 12}));
    EXPECT_EQ(TempDir::read(images + "/" + NUMBERING_FILE), "12\n");

    // The application takes image 12 away; its name is never given again.
    fs::remove(images + "/LM000012.XYZ");
    fs::remove(images + "/LM000012.txt");
    feed();
    ASSERT_TRUE(scan("second.out")) << TempDir::read(dir.file("second.out"));
    const std::map<std::string, std::string> both = Files(images);
    EXPECT_EQ(Names(images), imageNames({10, 11, 13, 14})) << box->Log();
    // The files kept are untouched. The same plates gave the same images (the order in which
    // the waiting plates are drawn in may differ).
    for (const auto& [name, content] : both) {
        if (first.count(name) && name != NUMBERING_FILE) {
            EXPECT_TRUE(first.at(name) == content) << name << " changed";
        }
    }
    std::set<std::string> matched;
    for (const char* second : {"LM000013", "LM000014"}) {
        const std::string image = std::string(second) + ".XYZ", info = std::string(second) + ".txt";
        ASSERT_TRUE(both.count(image) && both.count(info)) << image;
        for (const char* earlier : {"LM000011", "LM000012"})
            if (both.at(image) == first.at(std::string(earlier) + ".XYZ") &&
                Timeless(both.at(info)) == Timeless(first.at(std::string(earlier) + ".txt")))
                matched.insert(earlier);
    }
    EXPECT_EQ(matched.size(), 2u) << "the second session's images differ from the first's";

    // Two sessions opened and closed; the box keeps no image and no temporary file.
    const std::string log = box->Log();
    size_t opened = 0, closed = 0;
    for (size_t at = 0; (at = log.find(" opened with set ", at)) != std::string::npos; ++at) ++opened;
    for (size_t at = 0; (at = log.find(" closed (0)", at)) != std::string::npos; ++at) ++closed;
    EXPECT_EQ(opened, 2u) << log;
    EXPECT_EQ(closed, 2u) << log;
    for (const std::string& n : Names(box->folder() + "/images"))
        EXPECT_TRUE(n.rfind("LM", 0) != 0 && fs::path(n).extension() != ".tmp") << n;
    EXPECT_EQ(box->Stop(), 0);

    // A restarted box knows nothing of the names it gave; the workstation's numbering record
    // keeps 13 and 14 from coming again after the application took them away.
    for (const char* gone : {"LM000013.XYZ", "LM000013.txt", "LM000014.XYZ", "LM000014.txt"})
        fs::remove(images + "/" + gone);
    box = BoxProcess::NewOverDaemon(dir, emud.address());
    ASSERT_GT(box->port(), 0);
    remote = Station(dir, "remote", "1", box->server());
    feed();
    ASSERT_TRUE(scan("third.out")) << TempDir::read(dir.file("third.out"));
    EXPECT_EQ(Names(images), imageNames({10, 11, 15, 16})) << box->Log();
    EXPECT_EQ(TempDir::read(images + "/" + NUMBERING_FILE), "16\n");
    EXPECT_EQ(box->Stop(), 0);
}

}  // namespace

// Faults of the disk while plates are read, seen through the exported functions: the plate
// hit is lost and reported once by Get_Status, the plates before and after come out whole, and
// no name is ever given to two plates.
#include <filesystem>

#include "scanner/scanner_fixture.h"

namespace fs = std::filesystem;

namespace {

class DiskFaults : public ScannerTest {
public:
    void SetUp() override {
        ScannerTest::SetUp();
        Config({{"Scanner", "MinBild", "1"}});
        Emulator("[Plate_1]\nImage=phantom:stepwedge\nSlot=1\nAt=0.5\nType=intra\n"
                 "[Plate_2]\nImage=phantom:bars\nSlot=3\nAt=8\nType=intra\n"
                 "[Plate_3]\nImage=phantom:shapes\nSlot=2\nAt=16\nType=intra\n");
    }
    void TearDown() override {
        unsetenv("LUMORA_FAKE_WRITE_ERROR");
        ScannerTest::TearDown();
    }

    // Polls until plate `index` (from 0) has left the scan and its data are processed; the
    // names handed out meanwhile go to names, the error results to errors.
    void PollPastPlate(size_t index, std::vector<std::string>* names, std::vector<int>* errors) {
        for (long i = 0; i < 400000; i++) {
            const int st = Get_Status();
            if (st < 0) {
                errors->push_back(st);
                continue;
            }
            char name[1024];
            while (Get_ImageName(name) > 0) names->push_back(name);
            if (st & (LUMORA_STATUS_RECEIVING | LUMORA_STATUS_PLATE_IN_SCAN)) continue;
            const auto plates = Emu().Plates();
            if (plates.size() > index && plates[index].stage == lumora_emu::PlateStage::Done) return;
        }
        ADD_FAILURE() << "plate " << index << " never finished";
    }
    static bool Readable(const std::string& name) {
        ImageInfo info{};
        if (Get_ImageInfo(&info, name.c_str()) != 0 || info.width == 0) return false;
        std::vector<uint16_t> pixels(size_t(info.width) * info.height);
        return Read_DiskImage(pixels.data(), name.c_str()) == 0;
    }
    std::string Image(int n) const {
        char file[32];
        snprintf(file, sizeof file, "/LM%06d.XYZ", n);
        return ImageDir() + file;
    }
};

TEST_F(DiskFaults, FullTemporaryVolumeLosesThePlateBeingReadAndIsReportedOnce) {
    ASSERT_EQ(0, Open_Scanner(1));
    ASSERT_EQ(0, Aktivate_Scanner());
    std::vector<std::string> names;
    std::vector<int> errors;
    PollPastPlate(0, &names, &errors);
    setenv("LUMORA_FAKE_WRITE_ERROR", "temp=28", 1);  // the volume fills while plate 2 is read
    PollPastPlate(1, &names, &errors);
    unsetenv("LUMORA_FAKE_WRITE_ERROR");
    PollPastPlate(2, &names, &errors);

    EXPECT_EQ((std::vector<int>{LUMORA_E_DISK_SPACE}), errors);
    ASSERT_EQ((std::vector<std::string>{Image(1), Image(2)}), names);
    for (const std::string& n : names) EXPECT_TRUE(Readable(n)) << n;
    EXPECT_FALSE(fs::exists(Image(3)));
    EXPECT_TRUE(LoggedContaining(3, "not written: No space left on device"));
    EXPECT_TRUE(LoggedContaining(3, "/Lumora-" + std::to_string(getpid()) + ".tmp not written"));
    EXPECT_FALSE(LoggedContaining(3, "missing data in tempfile"));
    EXPECT_EQ(0, Close_Scanner());
}

TEST_F(DiskFaults, ImageFolderRemovedWhileOpenGivesNoNameAndNumbersStayUnique) {
    ASSERT_EQ(0, Open_Scanner(1));
    ASSERT_EQ(0, Aktivate_Scanner());
    std::vector<std::string> names;
    std::vector<int> errors;
    PollPastPlate(0, &names, &errors);
    ASSERT_EQ(1u, names.size());
    ASSERT_TRUE(Readable(names[0]));
    fs::remove_all(ImageDir());  // the folder goes while plate 2 is on its way
    PollPastPlate(1, &names, &errors);
    fs::create_directories(ImageDir());
    PollPastPlate(2, &names, &errors);

    EXPECT_EQ((std::vector<int>{LUMORA_E_FILE}), errors);
    ASSERT_EQ((std::vector<std::string>{Image(1), Image(2)}), names);
    EXPECT_TRUE(Readable(Image(2)));
    EXPECT_TRUE(LoggedContaining(3, "not written: No such file or directory"));
    for (auto& e : fs::directory_iterator(ImageDir()))  // no info file without its image
        EXPECT_TRUE(fs::exists(ImageDir() + "/" + e.path().stem().string() + ".XYZ") ||
                    e.path().filename() == ".lumora-last-image")
            << e.path();
    EXPECT_EQ(0, Close_Scanner());

    // The application deletes what it took over; the next session still goes on from 3.
    EXPECT_EQ(0, Delete_Image(Image(2).c_str()));  // image 1 went with the folder
    Emulator("[Plate_1]\nImage=phantom:bars\nSlot=1\nAt=0.5\nType=intra\n");
    ASSERT_EQ(0, Open_Scanner(1));
    ASSERT_EQ(0, Aktivate_Scanner());
    std::vector<std::string> next;
    PollPastPlate(0, &next, &errors);
    EXPECT_EQ((std::vector<std::string>{Image(3)}), next);
}

TEST_F(DiskFaults, MissingTempFileKeyTakesTheDefaultName) {
    std::string text = TempDir::read(dir.file("lumora.ini"));
    std::string kept;
    std::istringstream lines(text);
    for (std::string l; std::getline(lines, l);)
        if (l.rfind("TempFile", 0) != 0) kept += l + "\n";
    dir.write("lumora.ini", kept);
    ASSERT_EQ(0, Open_Scanner(1));
    EXPECT_TRUE(Logged(4, "no key TempFile in section Scanner, using Lumora.tmp"));
    EXPECT_TRUE(LoggedContaining(5, "use " + ImageDir() + "/Lumora-" + std::to_string(getpid()) +
                                        ".tmp as temporary file"));
}

// Parameter sets whose derived values cannot be programmed are refused at open, naming the
// key, its value and what it gives.
TEST_F(DiskFaults, NonsenseSettingsAreRefusedAtOpenNamingTheKey) {
    struct Case {
        std::vector<IniKey> keys;
        std::string line;
    } cases[] = {
        {{{"Scanner", "SMotStep", "0"}}, "SMotStep=0, Res_Y=25 and Interpolate_Y=1 give a motor divider of 0"},
        {{{"Scanner", "SMotStep", "1e-15"}}, "SMotStep=1e-15, Res_Y=25 and Interpolate_Y=1 give a motor divider of"},
        {{{"Param_1", "Interpolate_Y", "100000000"}},
         "SMotStep=1e-06, Res_Y=25 and Interpolate_Y=100000000 give a motor divider of"},
        {{{"Scanner", "Abtastkreis", "10.0"}},
         "Abtastkreis=10 and Res_X=25 give an ADC oversampling of"},
        {{{"Scanner", "Abtastkreis", "nan"}}, "Abtastkreis=nan and Res_X=25 give an ADC oversampling of nan"},
    };
    for (const Case& c : cases) {
        std::vector<IniKey> keys = c.keys;
        keys.push_back({"Scanner", "IgnorePROM", "1"});
        Config(keys);
        dir.write("log.txt", "");
        EXPECT_EQ(LUMORA_E_RANGE, Open_Scanner(1)) << c.line;
        EXPECT_TRUE(LoggedContaining(3, c.line)) << c.line;
        EXPECT_TRUE(Logged(3, "can't init HW register - error code: -102")) << c.line;
        EXPECT_FALSE(LoggedContaining(5, "Res_Y=-nan")) << c.line;
        EXPECT_FALSE(LoggedContaining(5, "Res_Y=   inf")) << c.line;
        ApiExit();
    }
    // The oversampling line names the usual value.
    EXPECT_TRUE(LoggedContaining(3, "a usual Abtastkreis is about 0.1"));
    // The same keys with sound values open.
    Config({{"Scanner", "IgnorePROM", "1"}});
    EXPECT_EQ(0, Open_Scanner(1));
}

}  // namespace

namespace {

// Image folders with long paths: beyond 260 characters the images are read as any others;
// a folder too long for the interface's 1024-byte names is refused at open.
TEST_F(DiskFaults, LongImagePathsWorkOrAreRefusedAtOpen) {
    std::string deep = dir.path();
    while (deep.size() < 300) deep += "/folder-with-a-long-name";
    dir.write("zrconfig.ini", "[Paths]\nConfig=lumora.ini\nDeviceDir=devices\nImageDir=" + deep +
                                  "\nScriptDir=scripts\n[Log]\nTarget=file:log.txt\nLevel=8\n");
    ApiExit();
    ASSERT_EQ(0, Open_Scanner(1));
    ASSERT_EQ(0, Aktivate_Scanner());
    std::vector<std::string> names;
    std::vector<int> errors;
    PollPastPlate(0, &names, &errors);
    ASSERT_EQ(1u, names.size());
    EXPECT_GT(names[0].size(), 300u);
    EXPECT_TRUE(Readable(names[0]));
    EXPECT_EQ(0, Close_Scanner());

    while (deep.size() < 960) deep += "/folder-with-a-long-name";
    deep += "/" + std::string(1015 - deep.size() - 1, 'x');  // 1015 characters: fits the service
    dir.write("zrconfig.ini", "[Paths]\nConfig=lumora.ini\nDeviceDir=devices\nImageDir=" + deep +
                                  "\nScriptDir=scripts\n[Log]\nTarget=file:log.txt\nLevel=8\n");
    ApiExit();
    EXPECT_EQ(LUMORA_E_NO_FILENAME, Open_Scanner(1));
    EXPECT_TRUE(LoggedContaining(3, "image path too long for image names of at most 1023 characters"));
}

}  // namespace

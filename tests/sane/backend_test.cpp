// The backend through its entry points, loaded and called as SANE's dll backend does.
#include <dlfcn.h>
#include <sane/sane.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "../../sane/backend_config.h"
#include "platform/plugin_loader.h"
#include "sane_fixture.h"

namespace {

struct Backend {
    void* handle = nullptr;
    SANE_Status (*init)(SANE_Int*, SANE_Auth_Callback);
    void (*exit)();
    SANE_Status (*getDevices)(const SANE_Device***, SANE_Bool);
    SANE_Status (*open)(SANE_String_Const, SANE_Handle*);
    void (*close)(SANE_Handle);
    const SANE_Option_Descriptor* (*descriptor)(SANE_Handle, SANE_Int);
    SANE_Status (*control)(SANE_Handle, SANE_Int, SANE_Action, void*, SANE_Int*);
    SANE_Status (*parameters)(SANE_Handle, SANE_Parameters*);
    SANE_Status (*start)(SANE_Handle);
    SANE_Status (*read)(SANE_Handle, SANE_Byte*, SANE_Int, SANE_Int*);
    void (*cancel)(SANE_Handle);

    bool Load() {
        handle = dlopen(SANE_BACKEND, RTLD_NOW | RTLD_LOCAL);
        if (!handle) return false;
        auto bind = [&](auto& f, const char* name) { return platform::ResolveSymbol(handle, name, f); };
        return bind(init, "sane_lumora_init") && bind(exit, "sane_lumora_exit") &&
               bind(getDevices, "sane_lumora_get_devices") && bind(open, "sane_lumora_open") &&
               bind(close, "sane_lumora_close") &&
               bind(descriptor, "sane_lumora_get_option_descriptor") &&
               bind(control, "sane_lumora_control_option") &&
               bind(parameters, "sane_lumora_get_parameters") && bind(start, "sane_lumora_start") &&
               bind(read, "sane_lumora_read") && bind(cancel, "sane_lumora_cancel");
    }
};

TEST(BackendConfig, WithoutTheDriverNoDeviceIsListed) {
    TempDir dir;
    dir.write("sane.d/lumora.conf", "library " + dir.file("none/liblumora.so") + "\n");
    setenv("SANE_CONFIG_DIR", dir.file("sane.d").c_str(), 1);
    Backend sane;
    ASSERT_TRUE(sane.Load());
    // The backend loads the driver once per process: this test runs in a process of its own.
    ASSERT_EQ(SANE_STATUS_GOOD, sane.init(nullptr, nullptr));
    const SANE_Device** devices = nullptr;
    ASSERT_EQ(SANE_STATUS_GOOD, sane.getDevices(&devices, SANE_TRUE));
    EXPECT_EQ(nullptr, devices[0]);
    SANE_Handle h = nullptr;
    EXPECT_EQ(SANE_STATUS_INVAL, sane.open("lumora", &h));
    sane.exit();
}

TEST(BackendConfig, KeysAndBounds) {
    BackendConfig c = ParseBackendConfig(
        "# comment\nlibrary /opt/x/liblumora.so\npoll-interval 5 # fast\nplate-timeout 30\n"
        "keep-images no\nunknown 1\n");
    EXPECT_EQ("/opt/x/liblumora.so", c.library);
    EXPECT_EQ(5, c.pollIntervalMs);
    EXPECT_EQ(30, c.plateTimeoutS);
    EXPECT_FALSE(c.keepImages);
    // Values out of bounds or malformed keep the defaults.
    c = ParseBackendConfig("poll-interval 0\nplate-timeout -1\nkeep-images maybe\npoll-interval 5 6\n");
    EXPECT_EQ(20, c.pollIntervalMs);
    EXPECT_EQ(0, c.plateTimeoutS);
    EXPECT_TRUE(c.keepImages);
}

class Backend_ : public SaneTest {
public:
    void SetUp() override {
        SaneTest::SetUp();
        ASSERT_TRUE(sane.Load()) << dlerror();
        ASSERT_EQ(SANE_STATUS_GOOD, sane.init(nullptr, nullptr));
    }
    void TearDown() override {
        if (h) sane.close(h);
        sane.exit();
        SaneTest::TearDown();
    }

    // Index of the option of that name, -1 when none.
    int Option(const char* name) {
        SANE_Int count = 0;
        sane.control(h, 0, SANE_ACTION_GET_VALUE, &count, nullptr);
        for (int i = 1; i < count; i++)
            if (const SANE_Option_Descriptor* d = sane.descriptor(h, i); d && d->name && !strcmp(d->name, name))
                return i;
        return -1;
    }
    std::string Text(const char* name) {
        char value[512] = "";
        EXPECT_EQ(SANE_STATUS_GOOD, sane.control(h, Option(name), SANE_ACTION_GET_VALUE, value, nullptr));
        return value;
    }
    SANE_Word Word(const char* name) {
        SANE_Word value = -1;
        EXPECT_EQ(SANE_STATUS_GOOD, sane.control(h, Option(name), SANE_ACTION_GET_VALUE, &value, nullptr));
        return value;
    }
    // Reads the frame to its end in small pieces.
    std::vector<SANE_Byte> ReadAll(SANE_Status* last) {
        std::vector<SANE_Byte> all;
        SANE_Byte buffer[4000];
        SANE_Int n = 0;
        while ((*last = sane.read(h, buffer, sizeof buffer, &n)) == SANE_STATUS_GOOD)
            all.insert(all.end(), buffer, buffer + n);
        return all;
    }

    Backend sane;
    SANE_Handle h = nullptr;
};

TEST_F(Backend_, ListsOpensAndDescribesTheParameterSet) {
    const SANE_Device** devices = nullptr;
    ASSERT_EQ(SANE_STATUS_GOOD, sane.getDevices(&devices, SANE_TRUE));
    ASSERT_NE(nullptr, devices[0]);
    EXPECT_STREQ("lumora", devices[0]->name);
    EXPECT_EQ(nullptr, devices[1]);
    ASSERT_EQ(SANE_STATUS_GOOD, sane.open("lumora", &h));
    SANE_Handle second = nullptr;
    EXPECT_EQ(SANE_STATUS_DEVICE_BUSY, sane.open("lumora", &second));
    EXPECT_EQ(SANE_STATUS_INVAL, sane.open("other", &second));

    const SANE_Option_Descriptor* sets = sane.descriptor(h, Option("parameter-set"));
    ASSERT_NE(nullptr, sets);
    ASSERT_EQ(SANE_CONSTRAINT_STRING_LIST, sets->constraint_type);
    std::vector<std::string> names;
    for (auto* s = sets->constraint.string_list; *s; ++s) names.push_back(*s);
    ASSERT_EQ(5u, names.size());
    EXPECT_EQ("Intra-oral high resolution 25um", names[0]);
    EXPECT_EQ(names[0], Text("parameter-set"));
    EXPECT_EQ(1016, Word("resolution"));  // 25 um
    EXPECT_EQ("intra", Text("plate-kind"));
    EXPECT_EQ("Gray", Text("mode"));
    EXPECT_EQ(16, Word("depth"));

    // Read-only options refuse a value; a set of another name is refused.
    SANE_Word dpi = 600;
    EXPECT_EQ(SANE_STATUS_INVAL, sane.control(h, Option("resolution"), SANE_ACTION_SET_VALUE, &dpi, nullptr));
    char bad[64] = "no such set";
    EXPECT_EQ(SANE_STATUS_INVAL, sane.control(h, Option("parameter-set"), SANE_ACTION_SET_VALUE, bad, nullptr));
    SANE_Word depth = 12;
    EXPECT_EQ(SANE_STATUS_INVAL, sane.control(h, Option("depth"), SANE_ACTION_SET_VALUE, &depth, nullptr));

    // Another set reopens the scanner with it.
    char pano[260];
    std::snprintf(pano, sizeof pano, "%s", names[3].c_str());
    SANE_Int info = 0;
    ASSERT_EQ(SANE_STATUS_GOOD, sane.control(h, Option("parameter-set"), SANE_ACTION_SET_VALUE, pano, &info));
    EXPECT_TRUE(info & SANE_INFO_RELOAD_OPTIONS);
    EXPECT_EQ("pano", Text("plate-kind"));
    EXPECT_EQ(508, Word("resolution"));  // 50 um
    EXPECT_TRUE(Logged(6, "Open_Scanner ret=0")) << Log();
}

TEST_F(Backend_, AcquiresThePlateAsTheDriverWroteIt) {
    Emulator("[Plate_1]\nImage=phantom:bars\nSlot=1\nAt=0.5\n[Plate_2]\nImage=phantom:shapes\nSlot=2\nAt=1\n");
    ASSERT_EQ(SANE_STATUS_GOOD, sane.open("", &h));
    SANE_Parameters p{};
    ASSERT_EQ(SANE_STATUS_GOOD, sane.parameters(h, &p));
    EXPECT_EQ(-1, p.lines);  // not known before the plate is read
    ASSERT_EQ(SANE_STATUS_GOOD, sane.start(h));
    ASSERT_EQ(SANE_STATUS_GOOD, sane.parameters(h, &p));
    PlateImage first = DriverImage("LM000001.XYZ");
    EXPECT_EQ(SANE_FRAME_GRAY, p.format);
    EXPECT_TRUE(p.last_frame);
    EXPECT_EQ(16, p.depth);
    EXPECT_EQ(first.width, p.pixels_per_line);
    EXPECT_EQ(first.height, p.lines);
    EXPECT_EQ(2 * first.width, p.bytes_per_line);
    SANE_Status last;
    std::vector<SANE_Byte> bytes = ReadAll(&last);
    EXPECT_EQ(SANE_STATUS_EOF, last);
    ASSERT_EQ(first.pixels.size() * 2, bytes.size());
    EXPECT_EQ(0, std::memcmp(first.pixels.data(), bytes.data(), bytes.size()));  // host order

    // The second plate in 8 bits, negative: the driver's own square-root coding, inverted.
    SANE_Word depth = 8, negative = SANE_TRUE;
    ASSERT_EQ(SANE_STATUS_GOOD, sane.control(h, Option("depth"), SANE_ACTION_SET_VALUE, &depth, nullptr));
    ASSERT_EQ(SANE_STATUS_GOOD, sane.control(h, Option("negative"), SANE_ACTION_SET_VALUE, &negative, nullptr));
    ASSERT_EQ(SANE_STATUS_GOOD, sane.start(h));
    bytes = ReadAll(&last);
    EXPECT_EQ(SANE_STATUS_EOF, last);
    PlateImage second = DriverImage("LM000002.XYZ");
    std::vector<unsigned char> coded(second.pixels.size());
    unsigned short white = 0;
    Convert_Image16_8(second.pixels.data(), coded.data(), second.width, second.height, 0, &white);
    ASSERT_EQ(coded.size(), bytes.size());
    for (size_t i = 0; i < coded.size(); ++i) ASSERT_EQ(255 - coded[i], bytes[i]) << i;
    sane.cancel(h);
    EXPECT_TRUE(Logged(6, "Deaktivate_Scanner ret=0"));
}

TEST_F(Backend_, CancelWhileWaitingDisarmsAndKeepsTheScannerOpen) {
    ASSERT_EQ(SANE_STATUS_GOOD, sane.open("lumora", &h));
    std::thread canceller([this] {
        while (!Logged(6, "Aktivate_Scanner ret=0")) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        sane.cancel(h);
    });
    EXPECT_EQ(SANE_STATUS_CANCELLED, sane.start(h));  // no plate comes
    canceller.join();
    EXPECT_TRUE(Logged(6, "Deaktivate_Scanner ret=0"));
    EXPECT_FALSE(LoggedContaining(6, "Close_Scanner"));

    // The next plate arrives after the cancel: the open scanner reads it.
    lumora_emu::PlateEntry plate;
    plate.image = "phantom:bars";
    plate.slot = 1;
    plate.atSeconds = 0.5;
    Emu().FeedPlate(plate);
    ASSERT_EQ(SANE_STATUS_GOOD, sane.start(h));
    SANE_Status last;
    std::vector<SANE_Byte> bytes = ReadAll(&last);
    EXPECT_EQ(SANE_STATUS_EOF, last);
    EXPECT_EQ(DriverImage("LM000001.XYZ").pixels.size() * 2, bytes.size());
    sane.close(h);
    h = nullptr;
    EXPECT_TRUE(Logged(6, "Close_Scanner ret=0"));
}

TEST_F(Backend_, WithoutKeepImagesTheDriverFilesGoOnceRead) {
    dir.write("sane.d/lumora.conf", "poll-interval 1\nkeep-images no\n");
    sane.exit();
    ASSERT_EQ(SANE_STATUS_GOOD, sane.init(nullptr, nullptr));  // reads the configuration again
    Emulator("[Plate_1]\nImage=phantom:bars\nSlot=1\nAt=0.5\n");
    ASSERT_EQ(SANE_STATUS_GOOD, sane.open("lumora", &h));
    ASSERT_EQ(SANE_STATUS_GOOD, sane.start(h));
    SANE_Status last;
    EXPECT_EQ(320u * 256u * 2u, ReadAll(&last).size());
    EXPECT_EQ(SANE_STATUS_EOF, last);
    for (const std::string& f : ImageFiles()) EXPECT_EQ(std::string::npos, f.find("LM000001")) << f;
}

TEST_F(Backend_, CancelWhileReadingEndsTheFrame) {
    Emulator("[Plate_1]\nImage=phantom:bars\nSlot=1\nAt=0.5\n");
    ASSERT_EQ(SANE_STATUS_GOOD, sane.open("lumora", &h));
    ASSERT_EQ(SANE_STATUS_GOOD, sane.start(h));
    SANE_Byte buffer[100];
    SANE_Int n = 0;
    ASSERT_EQ(SANE_STATUS_GOOD, sane.read(h, buffer, sizeof buffer, &n));
    sane.cancel(h);
    EXPECT_EQ(SANE_STATUS_CANCELLED, sane.read(h, buffer, sizeof buffer, &n));
    EXPECT_EQ(0, n);
    EXPECT_TRUE(Logged(6, "Deaktivate_Scanner ret=0"));
}

}  // namespace

// Operation scripts: which entries run, in which order, with which parameter text; and the
// script run through the image-processing library.
#include <cstring>
#include <string>
#include <vector>

#include "imagefile/image_utilities.h"
#include "hardware/log_capture.h"
#include "imagefile/file_fixture.h"
#include "imagefile/image_desc.h"
#include "imagefile/imo_script.h"
#include "imagefind/image_scripts.h"
#include "imagefile/zrip_wrapper.h"

namespace {

using Calls = std::vector<std::string>;

class ImoScript : public TempDirTest {
protected:
    // Runs the script text and returns the parameter texts passed, in call order.
    std::vector<std::string> Run(const std::string& text, int* result = nullptr) {
        const std::string path = Path("script.imo");
        WriteText(path, text);
        FILE* file = std::fopen(path.c_str(), "r");
        EXPECT_NE(file, nullptr);
        std::vector<std::string> calls;
        int r = RunImoEntries(file, [&](const char* parameter) {
            calls.emplace_back(parameter);
            return int(calls.size());
        });
        std::fclose(file);
        if (result) *result = r;
        return calls;
    }
};



TEST_F(ImoScript, WhichEntriesRun) {
    struct Case {
        const char* name;
        std::string script;
        Calls expected;
    };
    const Case cases[] = {
        {"lower-case section header",
         "[imageoperations]\n0=ZRIP  ST=0 FUNC=\"F\" ZRIPPARAM=\"GAUSS SIGMA=1\"\n", {"GAUSS SIGMA=1"}},
        {"entries in number order, not file order",
         "[ImageOperations]\n3=ZRIP  ST=0 ZRIPPARAM=\"third\"\n0=ZRIP  ST=0 ZRIPPARAM=\"zero\"\n",
         {"ZERO", "THIRD"}},
        {"ST=1 is skipped",
         "[ImageOperations]\n0=ZRIP  ST=1 ZRIPPARAM=\"off\"\n1=ZRIP  ST=0 ZRIPPARAM=\"on\"\n", {"ON"}},
        {"entry 11 matches entry 1", "[ImageOperations]\n11=ZRIP  ST=0 ZRIPPARAM=\"x\"\n", {"X"}},
        {"only the first of two lines for one entry",
         "[ImageOperations]\n2=ZRIP  ST=0 ZRIPPARAM=\"first\"\n2=ZRIP  ST=0 ZRIPPARAM=\"second\"\n",
         {"FIRST"}},
        {"value without opening quote", "[ImageOperations]\n0=ZRIP  ST=0 ZRIPPARAM=sigma=2\"\n",
         {"SIGMA=2"}},
        {"value without closing quote ends at the line end",
         "[ImageOperations]\r\n0=ZRIP  ST=0 ZRIPPARAM=\"median radius=1\r\n", {"MEDIAN RADIUS=1"}},
        {"missing key gives an empty text", "[ImageOperations]\n0=zrip  st=0 FUNC=\"F\"\n", {""}},
        {"one blank before ST never runs", "[ImageOperations]\n0=ZRIP ST=0 ZRIPPARAM=\"a\"\n", {}},
        {"entry 9 never runs", "[ImageOperations]\n9=ZRIP  ST=0 ZRIPPARAM=\"a\"\n", {}},
        {"section ends at the next bracket",
         "[ImageOperations]\n0=ZRIP  ST=0 ZRIPPARAM=\"in\"\n[Other]\n1=ZRIP  ST=0 ZRIPPARAM=\"out\"\n",
         {"IN"}},
        {"lines before the section are ignored",
         "0=ZRIP  ST=0 ZRIPPARAM=\"before\"\n[ImageOperations]\n", {}},
        {"match on the last line without newline", "[ImageOperations]\n4=ZRIP  ST=0 ZRIPPARAM=\"e\"",
         {"E"}},
        {"the key text inside a value does not start a new one",
         "[ImageOperations]\n0=ZRIP  ST=0 ZRIPPARAM=\"A FUNC=B\" FUNC=\"C\"\n", {"A FUNC=B"}},
        {"text after the header on its line",
         "[ImageOperations] ; filters\n\n; comment\n5=ZRIP  ST=0 ZRIPPARAM=\"f\"\n", {"F"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Run(c.script), c.expected);
    }
}

TEST_F(ImoScript, Results) {
    int result = 1;
    EXPECT_EQ(Run("; no section\n0=ZRIP  ST=0 ZRIPPARAM=\"a\"\n", &result), Calls{});
    EXPECT_EQ(result, -2);
    EXPECT_EQ(Run("", &result), Calls{});
    EXPECT_EQ(result, -2);
    EXPECT_EQ(Run("[ImageOperations]\n", &result), Calls{});
    EXPECT_EQ(result, 0);
    // The last call's result is the script's result.
    Run("[ImageOperations]\n1=ZRIP  ST=0\n6=ZRIP  ST=0\n", &result);
    EXPECT_EQ(result, 2);
}

TEST_F(ImoScript, LongLinesAndValues) {
    // Characters after the 259th of a line are dropped, not read as a line of their own.
    const std::string hidden = std::string(259, 'x') + "0=ZRIP  ST=0 ZRIPPARAM=\"hidden\"\n";
    EXPECT_EQ(Run("[ImageOperations]\n" + hidden + "1=ZRIP  ST=0 ZRIPPARAM=\"next\"\n"),
              Calls{"NEXT"});
    // An entry within the first 259 characters still counts; its value is cut there.
    const std::string entry = "0=ZRIP  ST=0 ZRIPPARAM=\"";
    const std::string longValue = entry + std::string(400, 'v') + "\"\n";
    Calls calls = Run("[ImageOperations]\n" + longValue);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], std::string(259 - entry.size(), 'V'));
    // A value is at most 255 characters.
    char value[IMO_VALUE_CHARS + 1];
    ImoValue(("ZRIPPARAM=" + std::string(300, 'W')).c_str(), "ZRIPPARAM=", value);
    EXPECT_EQ(std::string(value), std::string(255, 'W'));
    // A header longer than 259 characters is still a header.
    EXPECT_EQ(Run("[ImageOperations]" + std::string(500, ' ') + "\n3=ZRIP  ST=0 ZRIPPARAM=\"h\"\n"),
              Calls{"H"});
}

TEST_F(ImoScript, BinaryContent) {
    std::string script = "[ImageOperations]\n";
    script += std::string("0=ZRIP  ST=0 ZRIPPARAM=\"a\0b\"\n", 29);
    script += std::string("\xff\xfe\x01\x00\x80[\n", 7);
    script += "1=ZRIP  ST=0 ZRIPPARAM=\"late\"\n";
    // The NUL ends the first line's text; the later line is still read.
    EXPECT_EQ(Run(script), (Calls{"A", "LATE"}));
}

TEST_F(ImoScript, CheckImo) {
    EXPECT_EQ(Local_Check_Imo(Path("missing.imo").c_str()), -10002);
    EXPECT_EQ(Local_Check_Imo(dir_.c_str()), -10002);
    EXPECT_EQ(Local_Check_Imo(""), -10002);
    EXPECT_EQ(Local_Check_Imo(nullptr), -10002);
    WriteText(Path("empty.imo"), "");
    EXPECT_EQ(Local_Check_Imo(Path("empty.imo").c_str()), 0);
    for (const char* name : {"intra.imo", "extra.imo", "smooth.imo"}) {
        EXPECT_EQ(Local_Check_Imo((std::string(EXAMPLE_SCRIPTS_DIR) + "/" + name).c_str()), 0) << name;
    }
}

// Through the process-wide library wrapper, which loads the real libzrip.so of the build.
TEST_F(ImoScript, RunsTheLibraryFilters) {
    char version[ZRIP_VERSION_TEXT] = {};
    ASSERT_EQ(Zrip().Get_Version(version), 0) << "libzrip.so not found: run through ctest, "
                                                 "which sets LUMORA_LIBDIR";
    std::vector<uint16_t> pixels(9 * 9, 1000);
    pixels[4 * 9 + 4] = 30000;
    const uint32_t size = ImageSizeWord(9, 9);
    const std::vector<uint16_t> original = pixels;

    EXPECT_EQ(RunImoScriptFile(size, pixels.data(), ""), 0);
    EXPECT_EQ(RunImoScriptFile(size, pixels.data(), Path("missing.imo").c_str()), -1);
    WriteText(Path("nosection.imo"), "0=ZRIP  ST=0 ZRIPPARAM=\"GAUSS SIGMA=1\"\n");
    EXPECT_EQ(RunImoScriptFile(size, pixels.data(), Path("nosection.imo").c_str()), -2);
    WriteText(Path("bad.imo"), "[ImageOperations]\n0=ZRIP  ST=0 ZRIPPARAM=\"BLUR SIGMA=1\"\n");
    EXPECT_LT(RunImoScriptFile(size, pixels.data(), Path("bad.imo").c_str()), 0);
    EXPECT_EQ(pixels, original);

    // The median removes the single bright pixel.
    WriteText(Path("median.imo"), "[ImageOperations]\n0=ZRIP  ST=0 ZRIPPARAM=\"median radius=1\"\n");
    EXPECT_EQ(RunImoScriptFile(size, pixels.data(), Path("median.imo").c_str()), 0);
    EXPECT_EQ(pixels, std::vector<uint16_t>(81, 1000));

    // The example scripts run through.
    pixels = original;
    EXPECT_EQ(RunImoScriptFile(size, pixels.data(), EXAMPLE_SCRIPTS_DIR "/smooth.imo"), 0);
    EXPECT_LT(pixels[4 * 9 + 4], 30000);
    EXPECT_GT(pixels[4 * 9 + 5], 1000);
    pixels = original;
    EXPECT_EQ(RunImoScriptFile(size, pixels.data(), EXAMPLE_SCRIPTS_DIR "/intra.imo"), 0);
    EXPECT_EQ(RunImoScriptFile(size, pixels.data(), EXAMPLE_SCRIPTS_DIR "/extra.imo"), 0);
}

TEST_F(ImoScript, LogsTheScriptAndEachParameter) {
    LogCapture log;
    std::vector<uint16_t> pixels(4 * 4, 1000);
    const uint32_t size = ImageSizeWord(4, 4);
    const std::string missing = Path("missing.imo");
    EXPECT_EQ(RunImoScriptFile(size, pixels.data(), missing.c_str()), -1);
    EXPECT_TRUE(log.Logged(5, "      WARNING : Imo script not found: " + missing));
    const std::string script = Path("two.imo");
    WriteText(script, "[ImageOperations]\n1=ZRIP  ST=0 ZRIPPARAM=\"gauss sigma=1\"\n"
                      "0=ZRIP  ST=0 ZRIPPARAM=\"median radius=1\"\n");
    EXPECT_EQ(RunImoScriptFile(size, pixels.data(), script.c_str()), 0);
    EXPECT_TRUE(log.Logged(5, "      using Imo Script: " + script));
    EXPECT_TRUE(log.Logged(5, "      run SC-Filter Param: MEDIAN RADIUS=1"));
    EXPECT_TRUE(log.Logged(5, "      run SC-Filter Param: GAUSS SIGMA=1"));
}

}  // namespace

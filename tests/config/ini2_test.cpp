#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "common/temp_dir.h"
#include "platform/ini2.h"

namespace {

std::string Text(const ini2& ini, const char* section, const char* key, const char* def = "?") {
    char buf[1024];
    ini.get(section, key, buf, def);
    return buf;
}

const char* kSample =
    "; clinic configuration\r\n"
    "[Scanner]\r\n"
    "  ScannerType = Lumora  \r\n"
    "# laser limits\r\n"
    "LaserTempMax=450\r\n"
    "Scale = 1.25 ; inline note\r\n"
    "Empty=\r\n"
    "\r\n"
    "[Interface]\r\n"
    "Type=EPP\r\n"
    "Color=#FF;00\r\n"
    "Note=   ; only a comment\r\n";

TEST(Ini2, LookupsIgnoreCaseTrimAndSkipComments) {
    TempDir dir;
    ini2 ini;
    ASSERT_EQ(ini.load(dir.write("a.ini", kSample).c_str()), 0);
    EXPECT_EQ(ini.getSize(), std::string(kSample).size());
    EXPECT_STREQ(ini.getBuffer(), kSample);

    EXPECT_EQ(Text(ini, "scanner", "SCANNERTYPE"), "Lumora");
    EXPECT_EQ(Text(ini, "INTERFACE", "type"), "EPP");
    EXPECT_EQ(Text(ini, "Scanner", "Scale"), "1.25");
    EXPECT_EQ(Text(ini, "Scanner", "Empty"), "");
    EXPECT_EQ(Text(ini, "Interface", "Color"), "#FF;00");
    EXPECT_EQ(Text(ini, "Interface", "Note"), "");
    EXPECT_EQ(Text(ini, "Scanner", "; clinic configuration"), "?");
    EXPECT_EQ(Text(ini, "Scanner", "# laser limits"), "?");

    long l = -1;
    EXPECT_EQ(ini.get("Scanner", "LaserTempMax", &l, 7), 0);
    EXPECT_EQ(l, 450);
    EXPECT_NE(ini.get("Scanner", "Missing", &l, 7), 0);
    EXPECT_EQ(l, 7);
    EXPECT_EQ(ini.get("Scanner", "Empty", &l, 7), 0);
    EXPECT_EQ(l, 0);
    double d = 0;
    EXPECT_EQ(ini.get("Scanner", "Scale", &d, 9.0), 0);
    EXPECT_DOUBLE_EQ(d, 1.25);
    EXPECT_NE(ini.get("Nowhere", "Scale", &d, 9.0), 0);
    EXPECT_DOUBLE_EQ(d, 9.0);

    char buf[8] = "xxxxxxx";
    EXPECT_NE(ini.get("Scanner", "Missing", buf, nullptr, sizeof buf), 0);
    EXPECT_STREQ(buf, "");
}

TEST(Ini2, IntegerParsingFollowsStrtol) {
    TempDir dir;
    ini2 ini;
    ini.load(dir.write("n.ini", "[N]\na=-12abc\nb=+7\nc=0x10\nd=junk\ne=  42  \n").c_str());
    struct { const char* key; long want; } cases[] = {
        {"a", -12}, {"b", 7}, {"c", 0}, {"d", 0}, {"e", 42}};
    for (auto& c : cases) {
        long v = 99;
        EXPECT_EQ(ini.get("N", c.key, &v, 99), 0) << c.key;
        EXPECT_EQ(v, c.want) << c.key;
    }
}

TEST(Ini2, TextLookupIsBoundedAndTerminated) {
    TempDir dir;
    ini2 ini;
    ini.load(dir.write("b.ini", "[S]\nk=0123456789\n").c_str());
    char buf[6];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(ini.get("S", "k", buf, nullptr, sizeof buf), 0);
    EXPECT_STREQ(buf, "01234");
    std::memset(buf, 'x', sizeof buf);
    EXPECT_NE(ini.get("S", "none", buf, "abcdefghij", sizeof buf), 0);
    EXPECT_STREQ(buf, "abcde");
}

TEST(Ini2, WriteChangesOnlyTheSetKeys) {
    TempDir dir;
    std::string path = dir.write("w.ini", kSample);
    ini2 ini;
    ini.load(path.c_str());
    ini.set("SCANNER", "scannertype", "Calyxa");
    ini.set("Scanner", "Scale", 2L);
    ini.set("Scanner", "Empty", "filled");
    ini.set("Scanner", "NewKey", "n");
    ini.set("Extra", "Key", "v");
    ini.set("Scanner", "a=b", "refused");
    ini.set("Bad]", "k", "refused");
    ASSERT_EQ(ini.write(), 0);
    std::string want =
        "; clinic configuration\r\n"
        "[Scanner]\r\n"
        "  ScannerType = Calyxa  \r\n"
        "# laser limits\r\n"
        "LaserTempMax=450\r\n"
        "Scale = 2 ; inline note\r\n"
        "Empty=filled\r\n"
        "NewKey=n\r\n"
        "\r\n"
        "[Interface]\r\n"
        "Type=EPP\r\n"
        "Color=#FF;00\r\n"
        "Note=   ; only a comment\r\n"
        "[Extra]\r\n"
        "Key=v\r\n";
    EXPECT_EQ(TempDir::read(path), want);
    EXPECT_EQ(std::string(ini.getBuffer()), want);

    ini2 again;
    again.load(path.c_str());
    EXPECT_EQ(Text(again, "scanner", "ScannerType"), "Calyxa");
    EXPECT_EQ(Text(again, "Extra", "key"), "v");
    EXPECT_EQ(Text(again, "Scanner", "NewKey"), "n");
}

TEST(Ini2, ByteOrderMarkIsSkippedWhenReadAndKeptWhenWritten) {
    TempDir dir;
    const std::string bom = "\xEF\xBB\xBF";
    struct Case {
        const char* what;
        std::string text;
    } cases[] = {
        {"section first", bom + "[Scanner]\r\nScannerType=Lumora\r\n"},
        {"key before any section", bom + "Top=1\n[Scanner]\nScannerType=Lumora\n"},
        {"mark alone", bom},
    };
    for (const Case& c : cases) {
        const std::string path = dir.write("bom.ini", c.text);
        ini2 ini;
        ASSERT_EQ(ini.load(path.c_str()), 0) << c.what;
        const bool hasScanner = c.text.find("[Scanner]") != std::string::npos;
        EXPECT_EQ(Text(ini, "Scanner", "ScannerType"), hasScanner ? "Lumora" : "?") << c.what;
        if (c.text.find("Top") != std::string::npos) {
            EXPECT_EQ(Text(ini, "", "Top"), "1");
        }
        ini.set("Scanner", "ScannerType", "Calyxa");
        ASSERT_EQ(ini.write(), 0) << c.what;
        const std::string written = TempDir::read(path);
        EXPECT_EQ(written.compare(0, 3, bom), 0) << c.what;
        ini2 again;
        again.load(path.c_str());
        EXPECT_EQ(Text(again, "Scanner", "ScannerType"), "Calyxa") << c.what;
    }
    // A mark anywhere else is content.
    const std::string path = dir.write("late.ini", "[A]\n" + bom + "[Scanner]\nk=v\n");
    ini2 ini;
    ini.load(path.c_str());
    EXPECT_EQ(Text(ini, "Scanner", "k"), "?");
}

TEST(Ini2, WriteToFileWithoutTrailingNewlineAndEmptyDocument) {
    TempDir dir;
    std::string path = dir.write("t.ini", "[A]\nx=1");
    ini2 ini;
    ini.load(path.c_str());
    ini.set("A", "y", "2");
    ini.set("B", "z", "3");
    ASSERT_EQ(ini.write(), 0);
    EXPECT_EQ(TempDir::read(path), "[A]\nx=1\ny=2\n[B]\nz=3\n");

    ini2 empty;
    EXPECT_NE(empty.load(dir.file("missing.ini").c_str()), 0);
    EXPECT_EQ(empty.getSize(), 0u);
    empty.set("S", "k", "v");
    ASSERT_EQ(empty.write(), 0);
    EXPECT_EQ(TempDir::read(dir.file("missing.ini")), "[S]\nk=v\n");
}

TEST(Ini2, FailedWriteLeavesTheOldFile) {
    TempDir dir;
    std::string path = dir.write("ro.ini", "[A]\nx=1\n");
    chmod(path.c_str(), 0444);
    ini2 ini;
    ini.load(path.c_str());
    ini.set("A", "x", "2");
    EXPECT_NE(ini.write(), 0);
    EXPECT_EQ(TempDir::read(path), "[A]\nx=1\n");
    EXPECT_EQ(Text(ini, "A", "x"), "2");  // the in-memory value stays in use
    EXPECT_NE(ini.write(dir.file("no/such/dir/x.ini").c_str()), 0);
    // No temporary file is left behind.
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(Ini2, WriteReplacesAtomicallyKeepingModeAndLinks) {
    TempDir dir;
    std::string real = dir.write("real.ini", "[A]\nx=1\n");
    chmod(real.c_str(), 0640);
    std::string link = dir.file("link.ini");
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    ini2 ini;
    ini.load(link.c_str());
    ini.set("A", "x", "5");
    ASSERT_EQ(ini.write(), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(TempDir::read(real), "[A]\nx=5\n");
    struct stat st{};
    stat(real.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    if (geteuid() == 0) {  // a privileged writer keeps the file's owner
        ASSERT_EQ(chown(real.c_str(), 1234, 1235), 0);
        ini.set("A", "x", "6");
        ASSERT_EQ(ini.write(), 0);
        stat(real.c_str(), &st);
        EXPECT_EQ(st.st_uid, 1234u);
        EXPECT_EQ(st.st_gid, 1235u);
    }
}

TEST(Ini2, DuplicatesFirstOccurrenceWins) {
    TempDir dir;
    std::string path = dir.write("d.ini", "[S]\nk=first\nk=second\n[T]\n[s]\nk=third\nonly=later\n");
    ini2 ini;
    ini.load(path.c_str());
    EXPECT_EQ(Text(ini, "S", "k"), "first");
    EXPECT_EQ(Text(ini, "S", "only"), "later");  // a repeated section adds its new keys
    ini.set("S", "k", "changed");
    ASSERT_EQ(ini.write(), 0);
    EXPECT_EQ(TempDir::read(path), "[S]\nk=changed\nk=second\n[T]\n[s]\nk=third\nonly=later\n");
}

TEST(Ini2, GarbageBinaryAndOverlongLinesDoNotHurt) {
    TempDir dir;
    std::string text = "key_without_section=1\n";
    text += "garbage line without equals\n[unterminated section\n=no key\n";
    text += std::string("[Bin]\nk=a\0b\n", 13);
    text += "\xff\xfe\x01\x02=\x80\n";
    text += "long=" + std::string(200000, 'L') + "\n";
    text += "[" + std::string(5000, 'S') + "]\nx=1\n";
    text += "[Good]\nk=v\n";
    std::string path = dir.write("g.ini", text);
    ini2 ini;
    ini.load(path.c_str());
    EXPECT_EQ(ini.getSize(), text.size());
    EXPECT_EQ(Text(ini, "", "key_without_section"), "1");
    EXPECT_EQ(Text(ini, "Good", "k"), "v");
    EXPECT_EQ(Text(ini, "Bin", "k"), "a");  // stops at the NUL byte
    EXPECT_EQ(Text(ini, "Bin", "long").size(), 1023u);
    EXPECT_EQ(Text(ini, std::string(5000, 's').c_str(), "X"), "1");
    ini.set("Good", "k", "w");
    ASSERT_EQ(ini.write(), 0);
    std::string after = TempDir::read(path);
    std::string want = text;
    want.replace(want.size() - 2, 1, "w");
    EXPECT_EQ(after, want);
}

TEST(Ini2, HundredThousandSections) {
    TempDir dir;
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "[Param_" + std::to_string(i) + "]\nParamName=set " + std::to_string(i) + "\n";
    std::string path = dir.write("big.ini", text);
    ini2 ini;
    ini.load(path.c_str());
    char section[64];
    for (int i = 0; i < 100000; ++i)
        ASSERT_EQ(ini.get(ini2::index(section, "param_#", i), "paramname", section, nullptr,
                          sizeof section), 0);
    ini.set("Param_99999", "Extra", "1");
    EXPECT_EQ(ini.write(), 0);
    EXPECT_EQ(TempDir::read(path).size(), text.size() + 8);
}

TEST(Ini2, IndexReplacesTheHash) {
    char out[64];
    EXPECT_STREQ(ini2::index(out, "Param_#", 3), "Param_3");
    EXPECT_STREQ(ini2::index(out, "Demo_Param_#", 12), "Demo_Param_12");
    EXPECT_STREQ(ini2::index(out, 8, "CalyxParam_#", 12), "CalyxPa");
}

}  // namespace

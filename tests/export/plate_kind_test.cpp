// Parameter-set names and plate kinds from a configuration file read on its own.
#include <gtest/gtest.h>

#include "common/temp_dir.h"
#include "export/plate_kind.h"

namespace {

std::string Example() { return TempDir::read(std::string(LUMORA_SOURCE_DIR) + "/examples/lumora.ini"); }

TEST(PlateKind, SetsOfTheExampleConfiguration) {
    TempDir dir;
    std::string path = dir.write("lumora.ini", Example());
    struct {
        int set;
        const char* name;
        PlateKind kind;
    } cases[] = {{1, "Intra-oral high resolution 25um", PlateKind::Intra},
                 {3, "Extra-oral 50um", PlateKind::Extra},
                 {4, "Panoramic 50um", PlateKind::Pano},
                 {5, "Cephalometric 50um", PlateKind::Ceph}};
    for (const auto& c : cases) {
        ParamSetFacts facts;
        ASSERT_TRUE(ReadParamSetFacts(path.c_str(), c.set, &facts)) << c.set;
        EXPECT_EQ(c.name, facts.name);
        EXPECT_EQ(c.kind, facts.kind);
        EXPECT_EQ(c.set == 1 ? 25.0 : 50.0, facts.resolutionX);
    }
    ParamSetFacts facts;
    EXPECT_FALSE(ReadParamSetFacts(path.c_str(), 99, &facts));
    EXPECT_FALSE(ReadParamSetFacts(path.c_str(), 0, &facts));
    EXPECT_FALSE(ReadParamSetFacts(dir.file("none.ini").c_str(), 1, &facts));
}

TEST(PlateKind, TheModelChoosesTheSections) {
    TempDir dir;
    std::string text = Example();
    size_t at = text.find("ScannerType=Lumora");
    ASSERT_NE(std::string::npos, at);
    text.replace(at, 18, "ScannerType=Calyxa");
    std::string path = dir.write("lumora.ini", text);
    ParamSetFacts facts;
    ASSERT_TRUE(ReadParamSetFacts(path.c_str(), 3, &facts));
    EXPECT_EQ("Calyxa extra-oral 50um", facts.name);
    EXPECT_EQ(PlateKind::Extra, facts.kind);
}

TEST(PlateKind, Names) {
    EXPECT_EQ(PlateKind::Pano, PlateKindFromName("PANO"));
    EXPECT_EQ(PlateKind::Unknown, PlateKindFromName("Intra-oral"));
    EXPECT_STREQ("ceph", PlateKindName(PlateKind::Ceph));
}

}  // namespace

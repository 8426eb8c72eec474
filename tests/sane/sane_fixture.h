// A scanner of its own for each SANE test (the scanner fixture's configuration and emulated
// device) plus a SANE configuration folder naming only this backend.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "export/plate_image.h"
#include "scanner/scanner_fixture.h"

class SaneTest : public ScannerTest {
public:
    void SetUp() override {
        ScannerTest::SetUp();
        Config({{"Scanner", "MinBild", "1"}});
        dir.write("sane.d/dll.conf", "lumora\n");
        dir.write("sane.d/lumora.conf", "poll-interval 1\nkeep-images yes\n");
        setenv("SANE_CONFIG_DIR", dir.file("sane.d").c_str(), 1);
    }

    // The driver's image file (pixels as the file holds them).
    PlateImage DriverImage(const std::string& name) const {
        PlateImage image;
        std::string error;
        EXPECT_EQ(0, LoadPlateImage((ImageDir() + "/" + name).c_str(), &image, &error)) << error;
        return image;
    }
    std::vector<std::string> ImageFiles() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (auto& e : std::filesystem::directory_iterator(ImageDir(), ec))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// Requests of any bytes to the box server: each input is sent as it stands on a fresh loopback
// connection to the box's HTTP front (then the sending side is shut), and the answer is read
// to its end. The box's methods run over a driver of stand-in functions that keep one image
// in the box's image folder. Nothing may crash, hang, or touch a file outside the box folder.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "box_service.h"
#include "common/temp_dir.h"
#include "http_front.h"

namespace {

std::string imagesFolder;

void WriteFile(const std::string& path, const char* text) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fputs(text, f);
        std::fclose(f);
    }
}

int Zero() { return 0; }
void Nothing() {}
int OneInt(int) { return 0; }
int TwoInts(int, int) { return 0; }
int Status() { return 0x00000001; }
int ImageName(char* name) {
    const std::string image = imagesFolder + "/LM000001.XYZ";
    WriteFile(image, "pixels");
    WriteFile(imagesFolder + "/LM000001.txt", "info");
    std::snprintf(name, 1024, "%s", image.c_str());
    return 1;
}
int DeleteImage(const char* name) { return std::remove(name) == 0 ? 0 : -2; }
int ExtraHeader(int, const void*) { return 0; }
int Buffer(void*) { return 0; }
int Diag(ScannerDiag* d) {
    std::memset(d, 1, sizeof *d);
    return 0;
}
int Features(ScannerFeatures* f) {
    std::memset(f, 2, sizeof *f);
    return 0;
}
int Serial(char* text) {
    std::snprintf(text, 64, "LS2026-000117");
    return 0;
}
int Ext(unsigned, const void*, int, void* out, int outSize, int* outLen) {
    if (out && outSize > 0) std::memset(out, 3, size_t(outSize));
    *outLen = outSize;
    return 0;
}
int IniName(char* path) {
    path[0] = 0;
    return 0;
}

struct Box {
    TempDir folder;
    const std::string& dir = folder.path();
    DriverLibrary driver;
    bool remote = false;
    XmlRpc::XmlRpcServer rpc;
    std::unique_ptr<BoxService> service;
    std::unique_ptr<HttpFront> front;
    std::atomic<bool> stop{false};
    std::thread thread;

    Box() {
        if (dir.empty()) std::abort();  // no folder of its own: nothing to fuzz in
        BoxFolders folders(dir);
        imagesFolder = folders.images;
        std::string error;
        BoxService::Prepare(folders, &error);
        driver.ApiInit = Zero;
        driver.ApiExit = Nothing;
        driver.Open_Scanner = OneInt;
        driver.Close_Scanner = Zero;
        driver.Aktivate_Scanner = Zero;
        driver.Deaktivate_Scanner = Zero;
        driver.Get_Status = Status;
        driver.Get_LightStatus = Zero;
        driver.ClearScanner = OneInt;
        driver.Get_ImageName = ImageName;
        driver.Delete_Image = DeleteImage;
        driver.Set_ImageExtraHeader = ExtraHeader;
        driver.Get_Prescanline = Buffer;
        driver.Set_Prescanmode = OneInt;
        driver.Get_ScannerDiag = Diag;
        driver.Get_ScannerFeatures = Features;
        driver.Get_Serialnumber = Serial;
        driver.Run_BeltdriveEx = OneInt;
        driver.SetEraseMode = OneInt;
        driver.Ext_ScannerCTRL = Ext;
        driver.ATRIUM_Mode = TwoInts;
        driver.Get_IniFileName = IniName;
        driver.remote = &remote;
        service = std::make_unique<BoxService>(driver, folders, BoxLimits{}, "", [](const std::string&) {});
        service->Register(rpc);
        HttpLimits limits;
        limits.exchangeSeconds = 2;
        front = std::make_unique<HttpFront>(rpc, limits, PeerFilter{}, [](const std::string&) {});
        front->Listen("127.0.0.1", 0, &error);
        thread = std::thread([this] { front->Run(stop, [this] { service->Tick(); }); });
    }
    ~Box() {
        stop = true;
        thread.join();
    }
};

Box& TheBox() {
    static Box box;
    return box;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Box& box = TheBox();
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(box.front->Port()));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval limit{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        for (size_t sent = 0; sent < size;) {
            ssize_t n = send(fd, data + sent, size - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += size_t(n);
        }
        shutdown(fd, SHUT_WR);
        char buffer[4096];
        while (recv(fd, buffer, sizeof buffer, 0) > 0) {
        }
    }
    close(fd);
    return 0;
}

// Answers of a box of any bytes. The input holds one or more HTTP answers separated by "@@@";
// each goes through the client's answer parsing (libflxmlrpc's header and response parser, as
// an exchange reads them) and becomes the answer to the next remote call. Every client
// operation then runs on those answers: nothing may crash, hang, write outside the scratch
// image folder, or let an exception out.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "netclient/box_connection.h"
#include "netclient/client.h"
#include "netclient/client_timings.h"
#include "netclient/rpc_execute.h"
#include "platform/api_lock.h"
#include "platform/log_channel.h"

namespace {

using XmlRpc::XmlRpcValue;

// The answer side of an exchange, fed from memory.
class AnswerParser : public BoxConnection {
public:
    AnswerParser() : BoxConnection(BoxAddress{"127.0.0.1", 1}) {}
    bool Parse(const std::string& http, XmlRpcValue& result) {
        try {
            _header = http;
            _eof = true;
            if (!parseHeader() || _connectionState != READ_RESPONSE) return false;
            return parseResponse(result) && !isFault();
        } catch (...) {
            return false;
        }
    }
};

std::vector<std::string> answers;
size_t next = 0;

bool Replay(const char*, const XmlRpcValue&, XmlRpcValue& result) {
    if (answers.empty()) return false;
    AnswerParser parser;
    return parser.Parse(answers[next++ % answers.size()], result);
}

struct Scratch {
    TempDir folder;
    const std::string& dir = folder.path();
    Scratch() {
        if (dir.empty()) std::abort();  // no folder of its own: nothing to fuzz in
        ReplaceLogChannel(nullptr);
        CreateApiSemaphore();
        ClientTimings t;
        t.statusPauseMs = t.retryPauseMs = t.passPauseMs = t.lightPauseMs = 0;
        SetClientTimings(t);
        SetRpcTransport(Replay);
    }
};

Scratch& TheScratch() {
    static Scratch scratch;
    return scratch;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Scratch& scratch = TheScratch();
    const std::string input(reinterpret_cast<const char*>(data), size);
    answers.clear();
    next = 0;
    for (size_t from = 0;;) {
        size_t at = input.find("@@@", from);
        answers.push_back(input.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) break;
        from = at + 3;
    }
    const std::string images = scratch.dir + "/images";
    const std::string config = "[Scanner]\nImagePath=" + images + "\n";
    client_open_scanner(1, config.c_str(), int(config.size()) + 1, 0);
    client_ApiInit("fw", 3, config.c_str(), int(config.size()) + 1);
    client_Aktivate_Scanner();
    client_Get_LightStatus();
    char name[1024];
    client_Get_ImageName(name);
    std::vector<char> chunk(102400);
    client_GetFileData("/x", 0, 102400, chunk.data());
    client_GetFileSize("/x");
    char line[1024];
    client_Get_Prescanline(line);
    ScannerFeatures features;
    client_Get_ScannerFeatures(&features);
    ScannerDiag diag;
    client_Get_ScannerDiag(&diag);
    char serial[64];
    client_Get_Serialnumber(serial);
    char out[32];
    int outLen = 0;
    client_Ext_ScannerCTRL(0x1001, "in", 2, out, sizeof out, &outLen);
    if (outLen < 0 || outLen > int(sizeof out)) std::abort();
    client_Report((scratch.dir + "/report.txt").c_str());
    client_Set_ImageExtraHeader(2, "eh");
    client_Deaktivate_Scanner();
    client_Close_Scanner();
    // Nothing but the image folder, its files and the report may appear in the scratch folder.
    std::error_code ec;
    for (const auto& e : std::filesystem::recursive_directory_iterator(scratch.dir, ec)) {
        const std::string p = e.path().string();
        if (p != images && p != scratch.dir + "/report.txt" && e.path().parent_path() != images)
            std::abort();
    }
    std::filesystem::remove_all(images, ec);
    return 0;
}

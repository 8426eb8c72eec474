// lumora-boxd over the emulator, asked directly over XML-RPC: every method of the protocol,
// files outside its image folder, one session at a time, and requests that are not XML-RPC.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "box_process.h"
#include "example_configuration.h"
#include "lumora/lumora.h"
#include "netclient/box_address.h"
#include "netclient/box_connection.h"

namespace {

using XmlRpc::XmlRpcValue;
using Bytes = XmlRpcValue::BinaryData;

const char* const kFirmware = ":0400000001020304F2\n:00000001FF\n";

Bytes WithZero(const std::string& text) {
    Bytes b(text.begin(), text.end());
    b.push_back(0);
    return b;
}

class BoxServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        emulator = dir.write("emulator.ini", "[Clock]\nMode=fast\nFactor=20\n");
        clientImages = dir.file("client-images");
        configuration = WithZero(TempDir::read(
            WriteExampleConfiguration(dir, "client.ini", {{"Scanner", "ImagePath", clientImages}})));
    }

    // One call; false when the box gave no answer or a fault.
    bool Call(BoxProcess& box, const char* method, const XmlRpcValue& params, XmlRpcValue& result) {
        BoxAddress address;
        ParseBoxAddress(box.server().c_str(), &address);
        BoxConnection connection(address);
        return connection.Exchange(method, params, result, 30.0);
    }
    int IntCall(BoxProcess& box, const char* method, const XmlRpcValue& params = XmlRpcValue()) {
        XmlRpcValue result;
        EXPECT_TRUE(Call(box, method, params, result)) << method;
        EXPECT_EQ(result.getType(), XmlRpcValue::TypeInt) << method;
        return result.getType() == XmlRpcValue::TypeInt ? int(result) : -99999;
    }
    XmlRpcValue StructCall(BoxProcess& box, const char* method, const XmlRpcValue& params = XmlRpcValue()) {
        XmlRpcValue result;
        EXPECT_TRUE(Call(box, method, params, result)) << method;
        EXPECT_EQ(result.getType(), XmlRpcValue::TypeStruct) << method;
        return result;
    }
    int Open(BoxProcess& box, int set = 1, int highest = 0) {
        XmlRpcValue init;
        init[0] = XmlRpcValue(WithZero(kFirmware));
        init[1] = XmlRpcValue(configuration);
        EXPECT_EQ(IntCall(box, "api.init", init), 0);
        XmlRpcValue open;
        open[0] = set;
        open[1] = highest;
        open[2] = XmlRpcValue(configuration);
        return IntCall(box, "scanner.open", open);
    }

    TempDir dir;
    std::string emulator, clientImages;
    Bytes configuration;
};

TEST_F(BoxServerTest, EveryMethodAnswersInTheProtocolsTypes) {
    BoxProcess box(dir, emulator);
    ASSERT_GT(box.port(), 0);
    EXPECT_EQ(Open(box), 0);
    // The box keeps the firmware and writes the configuration as its own, local.
    EXPECT_EQ(TempDir::read(box.folder() + "/devices/netbox.mcs"), kFirmware);
    const std::string own = TempDir::read(box.folder() + "/lumora.ini");
    EXPECT_NE(own.find("Network=0"), std::string::npos);
    EXPECT_NE(own.find("ImagePath=" + box.folder() + "/images"), std::string::npos);
    EXPECT_NE(box.Log().find("images for " + clientImages), std::string::npos) << box.Log();

    EXPECT_EQ(IntCall(box, "scanner.start"), 0);
    EXPECT_GE(IntCall(box, "scanner.status"), 0);
    EXPECT_EQ(IntCall(box, "scanner.stop"), 0);
    IntCall(box, "scanner.light_status");

    XmlRpcValue name = StructCall(box, "image.name");
    EXPECT_EQ(int(name["result"]), 0);
    EXPECT_EQ(std::string(name["name"]), "");
    EXPECT_EQ(name["metadata"].size(), 0);

    IntCall(box, "header.set", XmlRpcValue(Bytes{1, 2, 3}));
    IntCall(box, "prescan.mode", XmlRpcValue(0));
    XmlRpcValue prescan = StructCall(box, "prescan.get");
    EXPECT_EQ(prescan["buffer"].size(), 1024);
    XmlRpcValue atrium;
    atrium[0] = 0;
    atrium[1] = 0;
    IntCall(box, "ctrl.ATRIUMMode", atrium);
    IntCall(box, "ctrl.beltdrive", XmlRpcValue(0));
    IntCall(box, "ctrl.clearscanner", XmlRpcValue(0));
    IntCall(box, "erasemode.set", XmlRpcValue(0));
    XmlRpcValue features = StructCall(box, "scannerfeatures.get");
    EXPECT_EQ(int(features["result"]), 0);
    EXPECT_EQ(features["buffer"].size(), 52);
    XmlRpcValue diag = StructCall(box, "scannerdiag.get");
    EXPECT_EQ(diag["buffer"].size(), 24);
    XmlRpcValue serial = StructCall(box, "serial.get");
    EXPECT_EQ(int(serial["result"]), 0);
    EXPECT_EQ(std::string(serial["serial"]), "LS2026-000117");
    XmlRpcValue ext;
    ext[0] = 0x1001;
    ext[1] = 16;
    ext[2] = XmlRpcValue(Bytes{});
    XmlRpcValue extAnswer = StructCall(box, "ctrl.ext", ext);
    EXPECT_EQ(extAnswer["result"].getType(), XmlRpcValue::TypeInt);
    XmlRpcValue report = StructCall(box, "ctrl.report", XmlRpcValue("/client/report.txt"));
    EXPECT_EQ(report["result"].getType(), XmlRpcValue::TypeInt);
    EXPECT_EQ(report["report"].getType(), XmlRpcValue::TypeBase64);
    EXPECT_FALSE(std::filesystem::exists("/client/report.txt"));

    // Parameters of the wrong type are faults; the box goes on.
    XmlRpcValue result;
    EXPECT_FALSE(Call(box, "scanner.open", XmlRpcValue("1"), result));
    EXPECT_FALSE(Call(box, "no.such.method", XmlRpcValue(), result));
    EXPECT_EQ(IntCall(box, "scanner.close"), 0);
    EXPECT_TRUE(box.Running());
    EXPECT_EQ(box.Stop(), 0);
}

TEST_F(BoxServerTest, OnlyItsOwnImagesAreServed) {
    BoxProcess box(dir, emulator);
    ASSERT_EQ(Open(box), 0);
    const std::string secret = dir.write("secret.txt", "not for the network");
    const std::string inFolder = dir.write("box/images/LM000001.XYZ", "box image not handed out");
    for (const std::string& path : {secret, inFolder, box.folder() + "/images/../../secret.txt",
                                    clientImages + "/LM000001.XYZ", std::string("LM000001.XYZ")}) {
        EXPECT_EQ(IntCall(box, "file.getsize", XmlRpcValue(path)), LUMORA_E_NOT_FOUND) << path;
        XmlRpcValue get;
        get[0] = path;
        get[1] = 0;
        get[2] = 100;
        XmlRpcValue data = StructCall(box, "file.getdata", get);
        EXPECT_EQ(int(data["result"]), LUMORA_E_NOT_FOUND) << path;
        EXPECT_EQ(data["data"].size(), 0) << path;
        EXPECT_EQ(IntCall(box, "image.delete", XmlRpcValue(path)), LUMORA_E_NOT_FOUND) << path;
    }
    EXPECT_EQ(TempDir::read(secret), "not for the network");
    EXPECT_EQ(TempDir::read(inFolder), "box image not handed out");
    // A chunk larger than the box serves is refused as out of range.
    XmlRpcValue big;
    big[0] = secret;
    big[1] = 0;
    big[2] = 64 * 1024 * 1024;
    EXPECT_EQ(int(StructCall(box, "file.getdata", big)["result"]), LUMORA_E_RANGE);
}

std::string Raw(int port, const std::string& request, bool readAnswer, const char* from);

TEST_F(BoxServerTest, ASecondOpenIsRefusedWhileOneIsOpen) {
    BoxProcess box(dir, emulator);
    ASSERT_EQ(Open(box), 0);
    XmlRpcValue open;
    open[0] = 1;
    open[1] = 0;
    open[2] = XmlRpcValue(configuration);
    EXPECT_EQ(IntCall(box, "scanner.open", open), LUMORA_E_SCANNER_OPEN);
    EXPECT_NE(box.Log().find("scanner.open from 127.0.0.1 refused"), std::string::npos);
    // Another peer's requests get the same code while the session is open.
    const std::string start = "<?xml version=\"1.0\"?><methodCall><methodName>scanner.start</methodName></methodCall>";
    std::string answer = Raw(box.port(), "POST /RPC2 HTTP/1.1\r\nContent-length: " +
                                             std::to_string(start.size()) + "\r\n\r\n" + start,
                             true, "127.0.0.2");
    EXPECT_NE(answer.find("<i4>-7</i4>"), std::string::npos) << answer;
    EXPECT_EQ(IntCall(box, "scanner.close"), 0);
    EXPECT_EQ(IntCall(box, "scanner.open", open), 0);  // free again

    // SIGTERM with the scanner open: closed, its temporary file gone, a clean exit.
    bool temporary = false;
    for (const auto& e : std::filesystem::directory_iterator(box.folder() + "/images"))
        temporary |= e.path().extension() == ".tmp";
    EXPECT_TRUE(temporary);
    EXPECT_EQ(box.Stop(), 0);
    EXPECT_NE(box.Log().find("scanner closed at the end of the box (0)"), std::string::npos);
    for (const auto& e : std::filesystem::directory_iterator(box.folder() + "/images"))
        EXPECT_NE(e.path().extension(), ".tmp") << e.path();
}

// Sends raw bytes on a new connection and returns what came back before the box closed it.
std::string Raw(int port, const std::string& request, bool readAnswer = true,
                const char* from = nullptr) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (from) {
        sockaddr_in source{};
        source.sin_family = AF_INET;
        inet_pton(AF_INET, from, &source.sin_addr);
        bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source);
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        char buffer[4096];
        ssize_t n;
        while (readAnswer && (n = recv(fd, buffer, sizeof buffer, 0)) > 0) answer.append(buffer, size_t(n));
    }
    close(fd);
    return answer;
}

// One call from the source address from; the raw HTTP answer.
std::string CallFrom(int port, const char* from, const std::string& method, const XmlRpcValue& params) {
    std::string body = "<?xml version=\"1.0\"?><methodCall><methodName>" + method + "</methodName><params>";
    for (int i = 0; params.getType() == XmlRpcValue::TypeArray && i < params.size(); ++i) body += "<param>" + params[i].toXml() + "</param>";
    body += "</params></methodCall>";
    return Raw(port, "POST /RPC2 HTTP/1.1\r\nContent-length: " + std::to_string(body.size()) + "\r\n\r\n" + body,
               true, from);
}

bool HasTemporaryFile(const std::string& folder) {
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().extension() == ".tmp") return true;
    return false;
}

TEST_F(BoxServerTest, ASilentSessionIsClosedAfterItsIdleTime) {
    using Clock = std::chrono::steady_clock;
    constexpr int kIdle = 2;
    BoxProcess box(dir, emulator, {"--idle", std::to_string(kIdle)});
    ASSERT_EQ(Open(box), 0);
    ASSERT_TRUE(HasTemporaryFile(box.folder() + "/images"));
    XmlRpcValue open;
    open[0] = 1;
    open[1] = 0;
    open[2] = XmlRpcValue(configuration);
    const std::string refused = "<i4>" + std::to_string(LUMORA_E_SCANNER_OPEN) + "</i4>";
    const char* const closed = "silent for ";

    // A client that keeps asking keeps its session past the idle time.
    const auto talking = Clock::now();
    while (Clock::now() - talking < std::chrono::seconds(kIdle + 1))
        EXPECT_EQ(int(StructCall(box, "serial.get")["result"]), 0);
    EXPECT_EQ(box.Log().find(closed), std::string::npos) << box.Log();
    EXPECT_NE(CallFrom(box.port(), "127.0.0.2", "scanner.open", open).find(refused), std::string::npos);

    // Silent, it is closed: never before the idle time, and the scanner with it.
    const auto lastSent = Clock::now();
    EXPECT_EQ(int(StructCall(box, "serial.get")["result"]), 0);
    ASSERT_TRUE(box.WaitForLog("session of 127.0.0.1 silent for " + std::to_string(kIdle) +
                               " s: scanner closed (0)\n"))
        << box.Log();
    EXPECT_GE(Clock::now() - lastSent, std::chrono::seconds(kIdle));
    EXPECT_FALSE(HasTemporaryFile(box.folder() + "/images"));

    // Another client may open it now.
    const std::string answer = CallFrom(box.port(), "127.0.0.2", "scanner.open", open);
    EXPECT_NE(answer.find("<i4>0</i4>"), std::string::npos) << answer;
    EXPECT_NE(box.Log().find("session of 127.0.0.2 opened"), std::string::npos);
    EXPECT_NE(CallFrom(box.port(), "127.0.0.2", "scanner.close", XmlRpcValue()).find("<i4>0</i4>"),
              std::string::npos);
    EXPECT_EQ(box.Stop(), 0);
}

TEST_F(BoxServerTest, MalformedRequestsDoNotStopIt) {
    BoxProcess box(dir, emulator);
    ASSERT_GT(box.port(), 0);
    EXPECT_EQ(Raw(box.port(), "GET / HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 405", 0), 0u);
    EXPECT_EQ(Raw(box.port(), "POST /RPC2 HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 411", 0), 0u);
    EXPECT_EQ(Raw(box.port(), "POST /RPC2 HTTP/1.1\r\nContent-length: 999999999\r\n\r\n").rfind("HTTP/1.1 413", 0), 0u);
    const std::string junk = "<methodCall><methodName>scanner.status</methodName><params><param><value><base64>@@@";
    std::string answer = Raw(box.port(), "POST /RPC2 HTTP/1.1\r\nContent-length: " +
                                             std::to_string(junk.size()) + "\r\n\r\n" + junk);
    EXPECT_EQ(answer.rfind("HTTP/1.1 ", 0), 0u);
    // Well-formed XML that the XML-RPC library cannot read: an empty base64 element (it read
    // past its end and the box died), a scalar it rejects inside an array (it leaked the array).
    for (const char* value : {"<base64/>", "<array><data><value><i4>x</i4></value></data></array>"}) {
        const std::string call = std::string("<methodCall><methodName>scanner.status</methodName><params><param><value>") +
                                 value + "</value></param></params></methodCall>";
        EXPECT_EQ(Raw(box.port(), "POST /RPC2 HTTP/1.1\r\nContent-length: " + std::to_string(call.size()) +
                                      "\r\n\r\n" + call)
                      .rfind("HTTP/1.1 400", 0),
                  0u)
            << value;
    }
    Raw(box.port(), std::string(20000, 'x'));  // a header without end
    Raw(box.port(), "POST /RPC2 HTTP/1.1\r\nContent-length: 500\r\n\r\n<method", false);  // gone mid-request

    // A client that sends half a request and waits does not hold up another.
    int slow = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(box.port()));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(slow, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    send(slow, "POST /RPC2 HTTP/1.1\r\nContent-length: 100\r\n\r\n<meth", 50, MSG_NOSIGNAL);
    XmlRpcValue name = StructCall(box, "image.name");
    EXPECT_EQ(int(name["result"]), LUMORA_E_NOT_OPEN);
    close(slow);
    EXPECT_TRUE(box.Running());
}

TEST_F(BoxServerTest, PeersOutsideTheAllowedRangesAreTurnedAway) {
    BoxProcess box(dir, emulator, {"--allow", "192.0.2.0/24", "--allow", "2001:db8::/32"});
    ASSERT_GT(box.port(), 0);
    XmlRpcValue result;
    EXPECT_FALSE(Call(box, "scanner.status", XmlRpcValue(), result));
    EXPECT_NE(box.Log().find("refused a connection from 127.0.0.1 (not in --allow)"), std::string::npos);
    BoxProcess open(dir, emulator, {"--allow", "127.0.0.0/8"});
    EXPECT_EQ(IntCall(open, "scanner.status"), LUMORA_E_NOT_OPEN);
}

}  // namespace

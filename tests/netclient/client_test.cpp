// The client operations against a scripted box: retries, the chunked image fetch, the
// confinement of received files to the image folder, answers cut to the local records, and
// answers of the wrong type.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "client_fixture.h"
#include "config/image_numbering.h"
#include "netclient/box_address.h"
#include "platform/xmlrpc_shape.h"

namespace {

namespace fs = std::filesystem;

TEST(BoxAddress, HostAloneKeepsThePortOfTheProtocol) {
    struct Case {
        const char* server;
        bool ok;
        const char* host;
        int port;
    };
    const Case cases[] = {
        {"box.clinic", true, "box.clinic", 8080}, {"10.1.2.3:9000", true, "10.1.2.3", 9000},
        {"[::1]:9001", true, "::1", 9001},       {"[fe80::1]", true, "fe80::1", 8080},
        {"::1", true, "::1", 8080},              {"host:0", false, "", 0},
        {"host:65536", false, "", 0},           {"host:", false, "", 0},
        {":80", false, "", 0},                  {"[::1", false, "", 0},
        {"[::1]x", false, "", 0},               {"", false, "", 0}};
    for (const Case& c : cases) {
        BoxAddress a;
        ASSERT_EQ(ParseBoxAddress(c.server, &a), c.ok) << c.server;
        if (!c.ok) continue;
        EXPECT_EQ(a.host, c.host) << c.server;
        EXPECT_EQ(a.port, c.port) << c.server;
    }
    EXPECT_EQ(BoxAuthority(BoxAddress{"::1", 8080}), "[::1]:8080");
}

TEST_F(ClientTest, TalksToABoxOnIPv6) {
    FakeBox box("::1");
    if (!box.listening()) GTEST_SKIP() << "no IPv6 loopback here";
    Start(box.server());
    box.Answers("scanner.start", 0);
    EXPECT_EQ(client_Aktivate_Scanner(), 0);
    EXPECT_EQ(box.Count("scanner.start"), 1u);
}

TEST_F(ClientTest, RefusingBoxGivesRemoteErrorAfterSixAttempts) {
    Start("127.0.0.1:" + std::to_string(RefusingPort()));
    EXPECT_EQ(client_Close_Scanner(), LUMORA_E_REMOTE);
    EXPECT_EQ(Lines(5, "xmlrpc scanner.close ret= -2001 retry="), 5);
    EXPECT_EQ(Lines(5, "xmlrpc scanner.close ret= -2001 retry=5"), 1);
    EXPECT_EQ(Lines(3, "rpcexecute -2001"), 1);
    // Every operation reports the failed call; the file size reads as 0.
    EXPECT_EQ(client_GetFileSize("/x"), 0);
    EXPECT_EQ(client_Get_LightStatus(), LUMORA_E_REMOTE);
    EXPECT_EQ(Lines(3, "client_Get_LightStatus -2001 retry="), 3);
    char name[1024] = "junk";
    EXPECT_EQ(client_Get_ImageName(name), LUMORA_E_REMOTE);
    EXPECT_STREQ(name, "");
    int outLen = 7;
    EXPECT_EQ(client_Ext_ScannerCTRL(0x1001, nullptr, 0, nullptr, 0, &outLen), LUMORA_E_REMOTE);
    EXPECT_EQ(outLen, 0);
}

TEST_F(ClientTest, OpenSendsSetHighestNumberAndConfigurationWithItsZero) {
    FakeBox box;
    Start(box.server());
    EXPECT_EQ(Open(3, 41), 0);
    EXPECT_EQ(ClientOpened.load(), 1);
    auto sent = box.Requests("scanner.open");
    ASSERT_EQ(sent.size(), 1u);
    ASSERT_EQ(sent[0].size(), 3);
    EXPECT_EQ(int(sent[0][0]), 3);
    EXPECT_EQ(int(sent[0][1]), 41);
    const XmlRpcValue::BinaryData& config = sent[0][2];
    ASSERT_FALSE(config.empty());
    EXPECT_EQ(config.back(), 0);
    EXPECT_NE(std::string(config.begin(), config.end()).find("ImagePath=" + images), std::string::npos);

    // Opened on warnings too, not on errors; closing clears it before the call.
    for (int answer : {-10001, -4}) {
        ClientOpened = 0;
        box.Answers("scanner.open", answer);
        EXPECT_EQ(Open(), answer);
        EXPECT_EQ(ClientOpened.load(), answer == -4 ? 0 : 1) << answer;
    }
    box.Answers("scanner.close", -2);
    EXPECT_EQ(client_Close_Scanner(), -2);
    EXPECT_EQ(ClientOpened.load(), 0);
}

TEST_F(ClientTest, StartSetsStartedOnArmedAndWarningsStopClearsIt) {
    FakeBox box;
    Start(box.server());
    for (int answer : {0, int(LUMORA_E_ARMED), int(LUMORA_W_AMBIENT_LIGHT), -4}) {
        ClientStarted = 0;
        box.Answers("scanner.start", answer);
        EXPECT_EQ(client_Aktivate_Scanner(), answer);
        EXPECT_EQ(ClientStarted.load(), answer == -4 ? 0 : 1) << answer;
    }
    ClientStarted = 1;
    box.Answers("scanner.stop", -4);
    EXPECT_EQ(client_Deaktivate_Scanner(), -4);
    EXPECT_EQ(ClientStarted.load(), 0);
}

struct Fetch {
    std::string content;
    XmlRpcValue::BinaryData Chunk(int offset, int length) const {
        size_t from = std::min(content.size(), size_t(offset));
        size_t to = std::min(content.size(), from + size_t(length));
        return XmlRpcValue::BinaryData(content.begin() + long(from), content.begin() + long(to));
    }
};

void ServeImage(FakeBox& box, const std::string& name, int result, const Fetch& fetch) {
    box.Answers("image.name", Struct({{"result", result}, {"name", name}, {"metadata", BytesOf("INFO")}}));
    box.Answers("file.getsize", int(fetch.content.size()));
    box.On("file.getdata", [fetch](XmlRpcValue& p, XmlRpcValue& r) {
        r["result"] = 0;
        r["data"] = fetch.Chunk(int(p[1]), int(p[2]));
    });
}

TEST_F(ClientTest, ImageComesInChunksAndIsDeletedOnTheBox) {
    FakeBox box;
    Start(box.server());
    ASSERT_EQ(Open(), 0);
    Fetch fetch;
    for (int i = 0; i < 250000; ++i) fetch.content.push_back(char(i * 7 % 251));
    const std::string name = images + "/LM000007.XYZ";
    ServeImage(box, name, 2, fetch);

    char out[1024] = "";
    EXPECT_EQ(client_Get_ImageName(out), 2);
    EXPECT_EQ(std::string(out), name);
    EXPECT_EQ(TempDir::read(name), fetch.content);
    EXPECT_EQ(TempDir::read(images + "/LM000007.txt"), "INFO");
    auto chunks = box.Requests("file.getdata");
    ASSERT_EQ(chunks.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(std::string(chunks[i][0]), name);
        EXPECT_EQ(int(chunks[i][1]), int(i) * 102400);
        EXPECT_EQ(int(chunks[i][2]), 102400);
    }
    auto deleted = box.Requests("image.delete");
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(std::string(deleted[0][0]), name);

    // The folder keeps the highest number fetched, for the box's numbering at the next open.
    EXPECT_EQ(TempDir::read(images + "/" + NUMBERING_FILE), "7\n");

    // A refused delete replaces the result. A lower number leaves the record as it is.
    ServeImage(box, images + "/LM000003.XYZ", 1, Fetch{"three"});
    box.Answers("image.delete", -2);
    EXPECT_EQ(client_Get_ImageName(out), -2);
    EXPECT_EQ(TempDir::read(images + "/LM000003.XYZ"), "three");
    EXPECT_EQ(TempDir::read(images + "/" + NUMBERING_FILE), "7\n");
}

TEST_F(ClientTest, ResultZeroIsFetchedButNotDeleted) {
    FakeBox box;
    Start(box.server());
    ASSERT_EQ(Open(), 0);
    ServeImage(box, images + "/LM000001.XYZ", 0, Fetch{"pixels"});
    char out[1024] = "";
    EXPECT_EQ(client_Get_ImageName(out), 0);
    EXPECT_EQ(TempDir::read(images + "/LM000001.XYZ"), "pixels");
    EXPECT_EQ(box.Count("image.delete"), 0u);
}

TEST_F(ClientTest, NoImageWaitingWritesNothing) {
    FakeBox box;
    Start(box.server());
    ASSERT_EQ(Open(), 0);
    box.Answers("image.name", Struct({{"result", 0}, {"name", ""}, {"metadata", BytesOf("INFO")}}));
    char out[1024] = "junk";
    EXPECT_EQ(client_Get_ImageName(out), 0);
    EXPECT_STREQ(out, "");
    box.Answers("image.name", Struct({{"result", 1}, {"name", images + "/LM000002.XYZ"}}));
    EXPECT_EQ(client_Get_ImageName(out), 1);  // no metadata: nothing waits
    EXPECT_STREQ(out, "");
    EXPECT_TRUE(fs::is_empty(images));
    EXPECT_EQ(box.Count("file.getsize"), 0u);
}

TEST_F(ClientTest, ChunkFailuresEndTheFetchAfterThreeInARow) {
    FakeBox box;
    Start(box.server());
    ASSERT_EQ(Open(), 0);
    ServeImage(box, images + "/LM000003.XYZ", 1, Fetch{std::string(5000, 'x')});
    box.Answers("file.getdata", Struct({{"result", -100}}));
    char out[1024] = "";
    EXPECT_EQ(client_Get_ImageName(out), -100);
    EXPECT_EQ(std::string(out), images + "/LM000003.XYZ");  // the failed image's path
    EXPECT_EQ(box.Count("file.getdata"), 3u);
    EXPECT_EQ(box.Count("image.delete"), 0u);
    EXPECT_FALSE(fs::exists(images + "/" + NUMBERING_FILE));  // a failed fetch numbers nothing
    // Empty chunks: -1.
    box.Answers("file.getdata", Struct({{"result", 0}}));
    EXPECT_EQ(client_Get_ImageName(out), LUMORA_E_FILE);
    EXPECT_EQ(box.Count("file.getdata"), 6u);
}

TEST_F(ClientTest, NamesOutsideTheImageFolderAreRefused) {
    FakeBox box;
    Start(box.server());
    ASSERT_EQ(Open(), 0);
    const std::string other = dir.file("other");
    fs::create_directories(other);
    fs::create_symlink(other + "/target.XYZ", images + "/link.XYZ");
    fs::create_directory_symlink(other, images + "/linkdir");
    const std::vector<std::string> refused = {
        images + "/../LM000001.XYZ", other + "/LM000001.XYZ", images + "/sub/LM000001.XYZ",
        "LM000001.XYZ", images + "/link.XYZ", images + "/linkdir/LM000001.XYZ", images + "/..",
        images + "/", "/"};
    for (const std::string& name : refused) {
        ServeImage(box, name, 1, Fetch{"data"});
        char out[1024] = "junk";
        EXPECT_EQ(client_Get_ImageName(out), LUMORA_E_FILE) << name;
        EXPECT_STREQ(out, "") << name;
    }
    EXPECT_EQ(Lines(3, "refused"), int(refused.size()));
    EXPECT_TRUE(fs::is_empty(other));
    EXPECT_FALSE(fs::exists(images + "/sub"));
    EXPECT_FALSE(fs::exists(dir.file("LM000001.XYZ")));
    EXPECT_FALSE(fs::exists(dir.file("LM000001.txt")));
    EXPECT_EQ(box.Count("file.getsize"), 0u);

    // Inside the folder, also through "." and a missing folder created on the way.
    fs::remove_all(images);
    ServeImage(box, images + "/./LM000009.XYZ", 1, Fetch{"data"});
    char out[1024] = "";
    EXPECT_EQ(client_Get_ImageName(out), 1);
    EXPECT_EQ(TempDir::read(images + "/LM000009.XYZ"), "data");
}

TEST_F(ClientTest, AnswersAreCutToTheLocalRecords) {
    FakeBox box;
    Start(box.server());
    box.Answers("scannerdiag.get", Struct({{"result", 5}, {"buffer", BytesOf(std::string(40, 'D'))}}));
    unsigned char diag[64];
    std::memset(diag, 0, sizeof diag);
    EXPECT_EQ(client_Get_ScannerDiag(reinterpret_cast<ScannerDiag*>(diag)), 5);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(diag)), std::string(24, 'D'));

    box.Answers("scannerfeatures.get", Struct({{"result", 0}, {"buffer", BytesOf(std::string(60, 'F'))}}));
    unsigned char features[64] = {};
    EXPECT_EQ(client_Get_ScannerFeatures(reinterpret_cast<ScannerFeatures*>(features)), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(features)), std::string(52, 'F'));

    box.Answers("serial.get", Struct({{"result", 0}, {"serial", std::string(100, 'S')}}));
    char serial[80];
    std::memset(serial, 'x', sizeof serial);
    EXPECT_EQ(client_Get_Serialnumber(serial), 0);
    EXPECT_EQ(std::string(serial), std::string(63, 'S'));

    box.Answers("prescan.get", Struct({{"result", 0}, {"buffer", BytesOf(std::string(2000, 'P'))}}));
    std::vector<char> line(1100, 0);
    EXPECT_EQ(client_Get_Prescanline(line.data()), 0);
    EXPECT_EQ(std::string(line.data()), std::string(1024, 'P'));

    // Extended control: the out buffer up to out size; with out size 0 it is ignored.
    box.Answers("ctrl.ext", Struct({{"result", 3}, {"outbuffer", BytesOf("abcdef")}}));
    char out[8] = {};
    int outLen = -1;
    EXPECT_EQ(client_Ext_ScannerCTRL(0x1002, "in", 2, out, 4, &outLen), 3);
    EXPECT_EQ(outLen, 4);
    EXPECT_EQ(std::string(out), "abcd");
    char untouched[4] = {'u', 'u', 'u', 0};
    EXPECT_EQ(client_Ext_ScannerCTRL(0x1002, "in", 2, untouched, 0, &outLen), 3);
    EXPECT_EQ(outLen, 0);
    EXPECT_STREQ(untouched, "uuu");
    auto sent = box.Requests("ctrl.ext");
    ASSERT_EQ(sent[0].size(), 3);
    EXPECT_EQ(int(sent[0][0]), 0x1002);
    EXPECT_EQ(int(sent[0][1]), 4);
    EXPECT_EQ(sent[0][2].size(), 2);
    EXPECT_EQ(Lines(8, "client_Ext_ScannerCTRL 1111 InBufferSize=2, OutbufferSize=4, Bytecount=4"), 1);

    // A data chunk longer than asked is cut to the request.
    box.Answers("file.getdata", Struct({{"result", 0}, {"data", BytesOf(std::string(300, 'c'))}}));
    std::vector<char> chunk(102400, 0);
    EXPECT_EQ(client_GetFileData("/x", 0, 100, chunk.data()), 100);
}

TEST_F(ClientTest, WrongAnswerTypesAreProtocolErrors) {
    FakeBox box;
    Start(box.server());
    box.Answers("scanner.open", "0");
    EXPECT_EQ(Open(), LUMORA_E_BOX_ANSWER);
    EXPECT_EQ(ClientOpened.load(), 0);
    EXPECT_EQ(Lines(3, "scanner.open: unexpected answer from the box (int)"), 1);

    box.Answers("image.name", Struct({{"result", 1}, {"name", 5}, {"metadata", BytesOf("I")}}));
    char out[1024] = "junk";
    EXPECT_EQ(client_Get_ImageName(out), LUMORA_E_BOX_ANSWER);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(Lines(3, "image.name: unexpected answer from the box (name)"), 1);
    box.Answers("image.name", 1);
    EXPECT_EQ(client_Get_ImageName(out), LUMORA_E_BOX_ANSWER);

    box.Answers("serial.get", Struct({{"result", 0}, {"serial", BytesOf("S1")}}));
    char serial[64] = "";
    EXPECT_EQ(client_Get_Serialnumber(serial), LUMORA_E_BOX_ANSWER);
    box.Answers("scannerdiag.get", Struct({{"result", 0}, {"buffer", "text"}}));
    ScannerDiag diag{};
    EXPECT_EQ(client_Get_ScannerDiag(&diag), LUMORA_E_BOX_ANSWER);
    box.Answers("ctrl.ext", Struct({{"result", "0"}}));
    int outLen = 0;
    EXPECT_EQ(client_Ext_ScannerCTRL(0x1001, nullptr, 0, nullptr, 0, &outLen), LUMORA_E_BOX_ANSWER);
    box.Answers("file.getdata", Struct({{"result", 0}, {"data", "text"}}));
    std::vector<char> chunk(102400);
    EXPECT_EQ(client_GetFileData("/x", 0, 102400, chunk.data()), LUMORA_E_BOX_ANSWER);
    box.Answers("scanner.light_status", 2.5);
    EXPECT_EQ(client_Get_LightStatus(), LUMORA_E_BOX_ANSWER);
    EXPECT_EQ(box.Count("scanner.light_status"), 1u);
}

TEST_F(ClientTest, ReportIsWrittenToTheApplicationsPath) {
    FakeBox box;
    Start(box.server());
    box.Answers("ctrl.report", Struct({{"result", 0}, {"report", BytesOf("line 1\nline 2\n")}}));
    const std::string path = dir.file("reports/today/report.txt");
    EXPECT_EQ(client_Report(path.c_str()), 0);
    EXPECT_EQ(TempDir::read(path), "line 1\nline 2\n");
    EXPECT_EQ(std::string(box.Requests("ctrl.report")[0][0]), path);
}

TEST_F(ClientTest, ExtraHeaderNeedsBytes) {
    FakeBox box;
    Start(box.server());
    EXPECT_EQ(client_Set_ImageExtraHeader(0, "x"), LUMORA_E_NOT_FOUND);
    EXPECT_EQ(client_Set_ImageExtraHeader(3, nullptr), LUMORA_E_NOT_FOUND);
    EXPECT_EQ(box.Count("header.set"), 0u);
    EXPECT_EQ(client_Set_ImageExtraHeader(3, "abc"), 0);
    EXPECT_EQ(box.Requests("header.set")[0][0].size(), 3);
    // The simple int calls carry their arguments.
    EXPECT_EQ(client_ATRIUM_Mode(1, 9), 0);
    EXPECT_EQ(int(box.Requests("ctrl.ATRIUMMode")[0][1]), 9);
    EXPECT_EQ(client_Run_BeltdriveEx(-20), 0);
    EXPECT_EQ(int(box.Requests("ctrl.beltdrive")[0][0]), -20);
}

}  // namespace

namespace {

TEST(XmlRpcShape, OnlyWholeProtocolMessagesPass) {
    const std::string v = "<value><struct><member><name>result</name><value><i4>1</i4></value></member>"
                          "<member><name>data</name><value><base64>AAEC\r\nAw==</base64></value></member>"
                          "</struct></value>";
    EXPECT_TRUE(XmlRpcResponseShapeOk("<?xml version=\"1.0\"?>\r\n<methodResponse><params><param>\r\n\t" + v +
                                      "\r\n</param></params></methodResponse>\r\n"));
    EXPECT_TRUE(XmlRpcResponseShapeOk("<methodResponse><fault><value><struct><member><name>faultCode</name>"
                                      "<value><i4>-1</i4></value></member></struct></value></fault></methodResponse>"));
    EXPECT_TRUE(XmlRpcCallShapeOk("<methodCall><methodName>a.b</methodName><params><param><value>text</value>"
                                  "</param><param><value><array><data><value><string/></value></data></array>"
                                  "</value></param></params></methodCall>"));
    EXPECT_TRUE(XmlRpcCallShapeOk("<methodCall><methodName>scanner.status</methodName></methodCall>"));
    const char* const broken[] = {
        "<methodCall><methodName>a</methodName><params><param><value><base64>AAEC</base64></param></params></methodCall>",
        "<methodCall><methodName>a</methodName><params><param><value><i4>1</i4><x/></value></param></params></methodCall>",
        "<methodCall><methodName>a</methodName><params><param><value><array><data><value><i4>1</i4></value>",
        "<methodCall><methodName>a</methodName></methodCall>trailing",
        "<methodCall><methodName>a</methodName><params><param><value><struct><member><value><i4>1</i4></value>"
        "</member></struct></value></param></params></methodCall>",
        ""};
    for (const char* xml : broken) EXPECT_FALSE(XmlRpcCallShapeOk(xml)) << xml;

    // Scalars pass only in forms the library reads as values: it leaks the array or struct
    // around one it cannot read, and reads past the end of an empty <base64/>.
    const struct {
        const char* value;
        bool passes;
    } scalars[] = {{"<i4>5</i4>", true},          {"<int> -3 </int>", true},
                   {"<i4>x</i4>", false},         {"<i4>5x</i4>", false},
                   {"<i4></i4>", false},          {"<i4/>", false},
                   {"<i8>5</i8>", false},         {"<boolean>1</boolean>", true},
                   {"<boolean>2</boolean>", false}, {"<double>-1.5e3</double>", true},
                   {"<double>.5</double>", false}, {"<double>nan</double>", false},
                   {"<string/>", true},           {"<string>a&amp;b</string>", true},
                   {"<base64>QUJD</base64>", true}, {"<base64></base64>", true},
                   {"<base64/>", false},          {"<dateTime.iso8601>20261210T10:11:12</dateTime.iso8601>", true},
                   {"<dateTime.iso8601>2026-12-10</dateTime.iso8601>", false},
                   {"<struct></struct>", true},   {"<struct/>", false},
                   {"<array><data/></array>", true},
                   {"text\x10", false},            {"tab\tand\r\nnewline", true}};
    for (const auto& c : scalars) {
        const std::string inArray = std::string("<value><array><data><value>") + c.value + "</value></data></array></value>";
        for (const std::string& value : {std::string("<value>") + c.value + "</value>", inArray}) {
            EXPECT_EQ(XmlRpcCallShapeOk("<methodCall><methodName>a</methodName><params><param>" + value +
                                        "</param></params></methodCall>"),
                      c.passes)
                << value;
            EXPECT_EQ(XmlRpcResponseShapeOk("<methodResponse><params><param>" + value + "</param></params></methodResponse>"),
                      c.passes)
                << value;
        }
    }
    // A NUL ends the library's scan of a tag: never let one through.
    const char withNul[] = "<methodCall><methodName>a</methodName><params><param><value>a\0b"
                           "</value></param></params></methodCall>";
    EXPECT_TRUE(XmlRpcCallShapeOk(std::string(withNul, sizeof withNul - 1).replace(61, 1, " ")));
    EXPECT_FALSE(XmlRpcCallShapeOk(std::string(withNul, sizeof withNul - 1)));
    std::string deep = "<methodCall><methodName>a</methodName><params><param>";
    for (int i = 0; i < 1000; ++i) deep += "<value><array><data>";
    EXPECT_FALSE(XmlRpcCallShapeOk(deep));
}

}  // namespace

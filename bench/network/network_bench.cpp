// Fetching an extra-oral image (about 14 MB) through the network client from lumora-boxd over
// loopback while the status thread polls the started scanner, against a raw loopback transfer
// of the same number of bytes in the same run. Two forms of the status call: its 45 ms pause
// inside the API lock (as the protocol describes the exchange) and before taking the lock
// (the same requests on the wire). Counters: MB/s and x_raw, the fetch time over the raw time.
//   LUMORA_LIBDIR=build/lib build/bin/network_bench
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "netbox/box_process.h"
#include "netbox/example_configuration.h"
#include "netclient/client.h"
#include "netclient/client_state.h"
#include "netclient/client_timings.h"
#include "netclient/rpc_execute.h"
#include "platform/api_lock.h"
#include "platform/log_channel.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* const kPlate =
    "[Clock]\nMode=fast\nFactor=100\n"
    "[Plate_1]\nImage=phantom:shapes\nType=extra\nSlot=2\nAt=0.5\nWidth=2280\nHeight=3040\n";
const char* const kFirmware = ":0400000001020304F2\n:00000001FF\n";

// The box with one finished extra-oral image, handed out to this client and kept there.
struct Session {
    TempDir dir;
    std::unique_ptr<BoxProcess> box;
    std::string image;
    int size = 0;

    Session() {
        ReplaceLogChannel(nullptr);
        CreateApiSemaphore();
        box = std::make_unique<BoxProcess>(dir, dir.write("emulator.ini", kPlate));
        if (box->port() <= 0 || client_Start(box->server().c_str()) != 0) return;
        const std::string config = TempDir::read(WriteExampleConfiguration(
            dir, "client.ini", {{"Scanner", "ImagePath", dir.file("images")}}));
        std::string firmware = kFirmware;
        if (client_ApiInit(firmware.c_str(), int(firmware.size()) + 1, config.c_str(),
                           int(config.size()) + 1) != 0 ||
            client_open_scanner(1, config.c_str(), int(config.size()) + 1, 0) != 0 ||
            client_Aktivate_Scanner() != 0)
            return;
        auto end = Clock::now() + std::chrono::seconds(120);
        while ((ClientStatus.load() & 0xFF) == 0 && Clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        XmlRpc::XmlRpcValue answer;
        if (rpcexecute("image.name", XmlRpc::XmlRpcValue(), answer) != 0 ||
            answer.getType() != XmlRpc::XmlRpcValue::TypeStruct)
            return;
        image = std::string(answer["name"]);
        size = client_GetFileSize(image.c_str());
        // The scanner stays started: the status thread polls at every pass meanwhile.
    }
    ~Session() {
        client_Deaktivate_Scanner();
        client_Close_Scanner();
        client_Stop();
    }
};

Session& TheSession() {
    static Session session;
    return session;
}

// The whole image in chunks of 102400 bytes, as the image fetch asks for it.
bool Fetch(const Session& s, std::vector<char>& into) {
    into.resize(size_t(s.size));
    for (int offset = 0; offset < s.size;) {
        int n = client_GetFileData(s.image.c_str(), offset, 102400, into.data() + offset);
        if (n <= 0) return false;
        offset += n;
    }
    return true;
}

// Seconds for sending size bytes over a fresh loopback TCP connection, received in full.
double RawLoopback(size_t size) {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    bind(listener, reinterpret_cast<sockaddr*>(&a), n);
    listen(listener, 1);
    getsockname(listener, reinterpret_cast<sockaddr*>(&a), &n);
    std::vector<char> data(size, 'x');
    auto begin = Clock::now();
    std::thread sender([&] {
        int fd = accept(listener, nullptr, nullptr);
        for (size_t sent = 0; sent < size;) {
            ssize_t k = send(fd, data.data() + sent, size - sent, MSG_NOSIGNAL);
            if (k <= 0) break;
            sent += size_t(k);
        }
        close(fd);
    });
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    std::vector<char> buffer(65536);
    size_t got = 0;
    for (ssize_t k; (k = recv(fd, buffer.data(), buffer.size(), 0)) > 0;) got += size_t(k);
    double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    sender.join();
    close(fd);
    close(listener);
    return got == size ? seconds : -1;
}

void RunFetch(benchmark::State& state, bool pauseInsideLock) {
    Session& s = TheSession();
    if (s.size <= 0) {
        state.SkipWithError("no image from the box");
        return;
    }
    ClientTimings t;
    t.statusPauseInsideLock = pauseInsideLock;
    SetClientTimings(t);
    std::vector<char> data;
    double total = 0, rawTotal = 0, ratios = 0;
    for (auto _ : state) {
        // The baseline right before each fetch, so that both see the same load.
        const double raw = RawLoopback(size_t(s.size));
        auto begin = Clock::now();
        if (raw <= 0 || !Fetch(s, data)) {
            state.SkipWithError("transfer failed");
            return;
        }
        double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        state.SetIterationTime(seconds);
        total += seconds;
        rawTotal += raw;
        ratios += seconds / raw;
    }
    const double n = double(state.iterations());
    state.counters["MB/s"] = double(s.size) / (total / n) / 1e6;
    state.counters["x_raw"] = ratios / n;
    state.counters["raw_ms"] = rawTotal / n * 1000;
    state.counters["bytes"] = s.size;
}

void BM_FetchPauseInsideLock(benchmark::State& state) { RunFetch(state, true); }
void BM_FetchPauseOutsideLock(benchmark::State& state) { RunFetch(state, false); }

BENCHMARK(BM_FetchPauseInsideLock)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FetchPauseOutsideLock)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// The status thread: when it polls, what it stores, its retry cycle, and its stop.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "client_fixture.h"

namespace {

// Indices of the polling passes.
std::vector<size_t> Polls(const std::vector<PassRecorder::Pass>& passes) {
    std::vector<size_t> at;
    for (size_t i = 0; i < passes.size(); ++i)
        if (passes[i].polled) at.push_back(i);
    return at;
}

TEST_F(ClientTest, StatusPollsFollowTheBoxState) {
    FakeBox box;
    Start(box.server());
    {
        // Closed: no poll at all, and Get_Status shows 0.
        PassRecorder closed;
        auto passes = closed.WaitPasses(60);
        EXPECT_TRUE(Polls(passes).empty());
        EXPECT_EQ(box.Count("scanner.status"), 0u);
        EXPECT_EQ(client_Get_Status(), 0);
        EXPECT_GE(Lines(8, "client_StatusThread locked state 00000000"), 1);
    }
    box.Answers("scanner.status", 0);
    {
        // Open and idle: one pass in 23 polls.
        PassRecorder idle;
        ClientOpened = 1;
        auto passes = idle.WaitPolls(5);
        ClientOpened = 0;
        auto polls = Polls(passes);
        ASSERT_GE(polls.size(), 5u);
        for (size_t i = 1; i < 5; ++i) EXPECT_EQ(polls[i] - polls[i - 1], 23u) << i;
    }
    {
        // Started: every pass polls, whatever the status.
        PassRecorder started;
        ClientOpened = 1;
        ClientStarted = 1;
        auto passes = started.WaitPolls(30);
        ClientOpened = 0;
        auto polls = Polls(passes);
        ASSERT_GE(polls.size(), 30u);
        size_t first = polls[0];
        for (size_t i = 0; i < 30; ++i) EXPECT_EQ(polls[i], first + i);
    }
    ClientStarted = 0;
    {
        // Open, not started, but the box reports activity: every pass polls.
        box.Answers("scanner.status", int(LUMORA_STATUS_IMAGES_MASK & 2));
        PassRecorder busy;
        ClientOpened = 1;
        auto passes = busy.WaitPolls(30);
        ClientOpened = 0;
        auto polls = Polls(passes);
        ASSERT_GE(polls.size(), 30u);
        EXPECT_LE(polls[29] - polls[1], 28u + 1);  // after the first answer, no more gaps
        EXPECT_EQ(client_Get_Status(), 2);
    }
}

TEST_F(ClientTest, UnreachableBoxShowsAPlateThreeTimesThenTheError) {
    Start("127.0.0.1:" + std::to_string(RefusingPort()));
    PassRecorder recorder;
    ClientOpened = 1;
    ClientStarted = 1;
    auto passes = recorder.WaitPolls(9);
    ClientOpened = 0;
    std::vector<int32_t> seen;
    for (const auto& p : passes)
        if (p.polled) seen.push_back(p.status);
    ASSERT_GE(seen.size(), 9u);
    const int32_t plate = int32_t(LUMORA_STATUS_PLATE_IN_SCAN);
    const std::vector<int32_t> cycle = {plate, plate, plate, LUMORA_E_REMOTE};
    for (size_t i = 0; i < 9; ++i) EXPECT_EQ(seen[i], cycle[i % 4]) << i;
    EXPECT_GE(Lines(4, "client_StatusThread -2001 (retry=1)"), 2);
    EXPECT_GE(Lines(3, "client_StatusThread -2001 (retry=3)"), 2);
}

TEST_F(ClientTest, PrescanBitIsClearedInTheNextStatusOnly) {
    FakeBox box;
    const int32_t word = int32_t(LUMORA_STATUS_PRESCAN) | 5;
    box.Answers("scanner.status", word);
    box.Answers("prescan.get", Struct({{"result", 0}, {"buffer", BytesOf("line")}}));
    Start(box.server());
    PassRecorder recorder;
    ClientOpened = 1;
    ClientStarted = 1;
    recorder.WaitPolls(3);
    EXPECT_EQ(client_Get_Status(), word);
    const size_t before = recorder.Size();
    char line[1024];
    // The word is cleared at once, unless a poll stores its answer just then: either way the
    // next poll stored after the call has the bit cleared.
    EXPECT_EQ(client_Get_Prescanline(line), 0);
    auto passes = recorder.WaitPolls(before + 6);
    ClientOpened = 0;
    int cleared = 0;
    for (size_t i = before; i < passes.size(); ++i)
        if (passes[i].polled && passes[i].status != word) {
            EXPECT_EQ(passes[i].status, 5);
            ++cleared;
        }
    EXPECT_EQ(cleared, 1);
    EXPECT_EQ(PrescanTaken.load(), 0);
}

TEST_F(ClientTest, StopDoesNotWaitForASilentBox) {
    // A box that takes connections into its backlog and never answers.
    int silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&a), n), 0);
    ASSERT_EQ(listen(silent, 8), 0);
    getsockname(silent, reinterpret_cast<sockaddr*>(&a), &n);
    ClientTimings t = CurrentClientTimings();
    t.callLimitSeconds = 10;
    SetClientTimings(t);
    Start("127.0.0.1:" + std::to_string(ntohs(a.sin_port)));
    ClientOpened = 1;
    ClientStarted = 1;
    // The thread's call is in flight once its connection waits in the backlog.
    pollfd p{silent, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 5000), 1);
    auto begin = std::chrono::steady_clock::now();
    client_Stop();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_LT(seconds, 2.0);  // an attempt alone would take 10 s
    EXPECT_EQ(StatusThreadRun.load(), -1);
    EXPECT_EQ(Lines(5, "client_StatusThread terminated"), 1);
    close(silent);
}

}  // namespace

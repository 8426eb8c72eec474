// The API semaphore: a counting semaphore of maximum 1 with three timed waits, releasable
// from any thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/api_lock.h"
#include "config/service_fixture.h"
#include "lumora/lumora.h"
#include "platform/clock.h"

namespace {

// Pauses between the waits go through the library clock; this one records them and returns.
std::vector<uint32_t> pauses;
const platform::ClockBackend kRecordingClock{[](uint32_t ms) { pauses.push_back(ms); },
                                             nullptr};

class ApiSemaphoreTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        Service("");
        CreateApiSemaphore();
        pauses.clear();
        platform::SetClockBackend(&kRecordingClock);
    }
    void TearDown() override {
        platform::SetClockBackend(nullptr);
        CloseApiSemaphore();
        ServiceTest::TearDown();
    }
};

TEST_F(ApiSemaphoreTest, HeldElsewhereGivesUpAfterThreeWaits) {
    ASSERT_EQ(LockMutex("scanner.open"), 0);
    // Taking it twice blocks, also on the same thread: it is not an owned mutex.
    EXPECT_EQ(LockMutex("scanner.status"), LUMORA_E_API_LOCK);
    EXPECT_TRUE(Logged(8, "\tLockMutex 0 for scanner.open"));
    EXPECT_TRUE(Logged(8, "\tLockMutex -12003 for scanner.status TRY AGAIN..."));
    EXPECT_TRUE(Logged(8, "\tLockMutex -12003 for scanner.status"));
    std::string log = TempDir::read(dir.file("log.txt"));
    size_t retries = 0;
    for (size_t at = log.find("TRY AGAIN"); at != std::string::npos;
         at = log.find("TRY AGAIN", at + 1))
        ++retries;
    EXPECT_EQ(retries, 3u);
    EXPECT_EQ(pauses, (std::vector<uint32_t>{400, 400, 400}));

    EXPECT_EQ(ReleaseApiMutex("scanner.open"), 0);
    EXPECT_TRUE(Logged(8, "\tReleaseApiMutex for scanner.open"));
    // Beyond its maximum of 1 the release fails.
    EXPECT_EQ(ReleaseApiMutex("scanner.open"), 1);
    EXPECT_EQ(LockMutex("scanner.close"), 0);
}

TEST_F(ApiSemaphoreTest, ReleaseFromAnotherThreadLetsAWaitingCallerIn) {
    ASSERT_EQ(LockMutex("image.name"), 0);
    std::atomic<int> result{1};
    std::thread waiter([&] { result = LockMutex("scanner.status"); });
    while (ApiSemaphoreWaiters() == 0) std::this_thread::yield();
    EXPECT_EQ(ReleaseApiMutex("image.name"), 0);
    waiter.join();
    EXPECT_EQ(result.load(), 0);
    // The waiter holds it now; this thread, which never took it, releases it.
    EXPECT_EQ(ReleaseApiMutex("scanner.status"), 0);
}

TEST_F(ApiSemaphoreTest, NoSemaphoreBeforeInitialisation) {
    CloseApiSemaphore();
    EXPECT_EQ(ReleaseApiMutex("scanner.stop"), 1);
    EXPECT_EQ(LockMutex("scanner.stop"), LUMORA_E_API_LOCK);
}

}  // namespace

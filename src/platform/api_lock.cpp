// The API semaphore: a counting semaphore of maximum 1 with a timed wait. It is not an owned
// mutex: any thread may release it, and taking it twice from one thread blocks.
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>

#include "lumora/lumora.h"
#include "platform/api_lock.h"
#include "platform/clock.h"
#include "platform/log_channel.h"

namespace {

constexpr auto kWait = std::chrono::milliseconds(400);
constexpr uint32_t kPauseMs = 400;  // between two waits
constexpr int kAttempts = 3;

class Semaphore {
public:
    bool acquire_for(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        ++waiters_;
        bool taken = changed_.wait_for(lock, timeout, [this] { return count_ > 0; });
        --waiters_;
        if (taken) --count_;
        return taken;
    }
    bool release() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (count_ >= 1) return false;  // already at its maximum
        ++count_;
        changed_.notify_one();
        return true;
    }
    int waiters() {
        std::lock_guard<std::mutex> lock(mutex_);
        return waiters_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 1;
    int waiters_ = 0;
};

// The handle may be closed while a caller waits on it: waiters keep their own reference.
// Built on first use and never destroyed: ApiExit closes the handle from the library's unload
// routine, which at process end runs after the library's static objects are gone.
struct Handle {
    std::mutex mutex;
    std::shared_ptr<Semaphore> semaphore;
};

// Raw storage, constructed on first use and destroyed only by DestroyApiSemaphoreHandle:
// static destructors at process end never touch it.
alignas(Handle) unsigned char handleStorage[sizeof(Handle)];
std::once_flag handleBuilt;  // trivially destructible
Handle* handle = nullptr;

Handle& TheHandle() {
    std::call_once(handleBuilt, [] { handle = new (handleStorage) Handle(); });
    return *handle;
}

std::shared_ptr<Semaphore> Current() {
    std::lock_guard<std::mutex> lock(TheHandle().mutex);
    return TheHandle().semaphore;
}

}  // namespace

void CreateApiSemaphore() {
    Semaphore* created = new (std::nothrow) Semaphore();
    if (!created) {
        LogPrint(LOG_DETAIL, "CreateMutex error: %d", ENOMEM);
        _exit(-1);
    }
    std::lock_guard<std::mutex> lock(TheHandle().mutex);
    TheHandle().semaphore.reset(created);
}

void CloseApiSemaphore() {
    std::lock_guard<std::mutex> lock(TheHandle().mutex);
    TheHandle().semaphore.reset();
}

int LockMutex(const char* what) {
    std::shared_ptr<Semaphore> semaphore = Current();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (semaphore && semaphore->acquire_for(kWait)) {
            LogPrint(LOG_TRACE, "\tLockMutex %d for %s", 0, what);
            return 0;
        }
        LogPrint(LOG_TRACE, "\tLockMutex %d for %s TRY AGAIN...", LUMORA_E_API_LOCK, what);
        platform::WaitMs(kPauseMs);
    }
    LogPrint(LOG_TRACE, "\tLockMutex %d for %s", LUMORA_E_API_LOCK, what);
    return LUMORA_E_API_LOCK;
}

int ReleaseApiMutex(const char* what) {
    LogPrint(LOG_TRACE, "\t%s for %s", "ReleaseApiMutex", what);
    std::shared_ptr<Semaphore> semaphore = Current();
    return semaphore && semaphore->release() ? 0 : 1;
}

void DestroyApiSemaphoreHandle() {
    CloseApiSemaphore();  // frees the semaphore; the handle's lock stays usable until unload
}

int ApiSemaphoreWaiters() {
    std::shared_ptr<Semaphore> semaphore = Current();
    return semaphore ? semaphore->waiters() : 0;
}

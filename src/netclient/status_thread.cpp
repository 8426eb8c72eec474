#include "netclient/status_thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "lumora/lumora.h"
#include "netclient/box_answer.h"
#include "netclient/client_state.h"
#include "netclient/client_timings.h"
#include "netclient/rpc_execute.h"
#include "platform/log_channel.h"

using XmlRpc::XmlRpcValue;

namespace {

constexpr int kCountdown = 22;  // quiet passes between two polls while open and idle
constexpr int kFailedPolls = 3; // failed polls shown as a plate in the scan before -2001
constexpr const char* kThreadName = "client_StatusThread";

std::mutex threadMutex;  // the thread handle
std::thread statusThread;

std::mutex wakeMutex;  // wakes the thread's pauses when a stop is requested
std::condition_variable wake;

std::mutex observerMutex;
std::function<void(bool)> passObserver;

bool Running() { return StatusThreadRun.load() > 0; }

// Sleeps ms, or less when a stop is requested.
void Pause(uint32_t ms) {
    std::unique_lock<std::mutex> lock(wakeMutex);
    wake.wait_for(lock, std::chrono::milliseconds(ms), [] { return !Running(); });
}

void PassDone(bool polled) {
    std::lock_guard<std::mutex> lock(observerMutex);
    if (passObserver) passObserver(polled);
}

// Two steps above the process's normal priority (a nice value two lower for this thread);
// false when it cannot be raised (without the privilege to do so, for example).
bool RaisePriority() {
    const id_t self = id_t(syscall(SYS_gettid));
    errno = 0;
    int current = getpriority(PRIO_PROCESS, self);
    if (errno != 0) return false;
    return setpriority(PRIO_PROCESS, self, current - 2) == 0;
}

bool Quiet(int32_t status) {
    if (status < 0) return true;
    const uint32_t word = uint32_t(status);
    return (word & (LUMORA_STATUS_RECEIVING | LUMORA_STATUS_PLATE_IN_SCAN)) == 0 &&
           (word & LUMORA_STATUS_IMAGES_MASK) == 0;
}

void StatusThreadBody() {
    ClientStatus = 0;
    if (!RaisePriority()) LogPrint(LOG_ERROR, "%s couldn't change priority", kThreadName);
    int countdown = kCountdown;
    int retries = 0;
    while (Running()) {
        const uint32_t passPause = CurrentClientTimings().passPauseMs;
        if (!RemoteSwitchOn()) {
            Pause(passPause);
            continue;
        }
        bool poll = ClientOpened.load() != 0 &&
                    !(ClientStarted.load() == 0 && countdown != 0 && Quiet(ClientStatus.load()));
        if (!poll) {
            if (countdown > 0)
                --countdown;
            else
                LogPrint(LOG_TRACE, "%s locked state %08x", kThreadName, unsigned(ClientStatus.load()));
            PassDone(false);
            Pause(passPause);
            continue;
        }
        countdown = kCountdown;
        XmlRpcValue answer;
        int status = 0;
        bool ok = RpcExecuteWhile("scanner.status", XmlRpcValue(), answer, Running) == 0;
        if (ok && !AnswerInt("scanner.status", answer, &status)) ok = false;
        if (!ok && !Running()) break;  // a poll cut short by the stop leaves the status as it is
        if (ok) {
            if (PrescanTaken.exchange(0) != 0) status &= ~int32_t(LUMORA_STATUS_PRESCAN);
            ClientStatus = status;
            retries = 0;
        } else if (retries < kFailedPolls) {
            ++retries;
            ClientStatus = int32_t(LUMORA_STATUS_PLATE_IN_SCAN);
            LogPrint(LOG_WARNING, "client_StatusThread %d (retry=%d)", LUMORA_E_REMOTE, retries);
        } else {
            ClientStatus = LUMORA_E_REMOTE;
            LogPrint(LOG_ERROR, "client_StatusThread %d (retry=%d)", LUMORA_E_REMOTE, kFailedPolls);
            retries = 0;
        }
        LogPrint(LOG_TRACE, "client_StatusThread 0x%08X", unsigned(ClientStatus.load()));
        PassDone(true);
        Pause(passPause);
    }
    LogPrint(LOG_INFO, "%s terminated", kThreadName);
    StatusThreadRun = -1;
}

}  // namespace

void StartStatusThread() {
    StopStatusThread();
    std::lock_guard<std::mutex> lock(threadMutex);
    StatusThreadRun = 1;
    statusThread = std::thread(StatusThreadBody);
}

void StopStatusThread() {
    {
        std::lock_guard<std::mutex> lock(wakeMutex);
        if (StatusThreadRun.load() > 0) StatusThreadRun = 0;
    }
    wake.notify_all();
    ClientSleepMs(5);
    std::lock_guard<std::mutex> lock(threadMutex);
    if (!statusThread.joinable()) return;
    // A call in flight is cut short until the thread has ended.
    while (StatusThreadRun.load() != -1) {
        InterruptRpcClient();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    statusThread.join();
}

void SetStatusPassObserver(std::function<void(bool polled)> observer) {
    std::lock_guard<std::mutex> lock(observerMutex);
    passObserver = std::move(observer);
}

// The network client in the test process against a fake box: fast waits, a log file at
// level 8, and an image folder of its own.
#pragma once
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <condition_variable>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "fake_box.h"
#include "lumora/lumora.h"
#include "netclient/client.h"
#include "netclient/client_state.h"
#include "netclient/client_timings.h"
#include "netclient/status_thread.h"
#include "platform/api_lock.h"
#include "platform/log_channel.h"

class ClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ReplaceLogChannel(new Log(("file:" + dir.file("log.txt")).c_str(), 8, "", "LUMOR"));
        CreateApiSemaphore();
        ClientTimings t;
        t.statusPauseMs = 0;
        t.retryPauseMs = 0;
        t.lightPauseMs = 0;
        t.callLimitSeconds = 5;
        SetClientTimings(t);
        ClientOpened = 0;
        ClientStarted = 0;
        PrescanTaken = 0;
        images = dir.file("images");
        mkdir(images.c_str(), 0755);
    }
    void TearDown() override {
        if (HasFailure() && getenv("LUMORA_TEST_SHOW_LOG"))
            fprintf(stderr, "---- log ----\n%s\n", TempDir::read(dir.file("log.txt")).c_str());
        SetStatusPassObserver(nullptr);
        client_Stop();
        ClientOpened = 0;
        ClientStarted = 0;
        SetClientTimings(ClientTimings{});
        CloseApiSemaphore();
        ReplaceLogChannel(nullptr);
    }

    void Start(const std::string& server) { ASSERT_EQ(client_Start(server.c_str()), 0); }
    // Opens on the box with a configuration naming the test's image folder.
    int Open(int set = 1, int highest = 0) {
        std::string config = "[Scanner]\nImagePath=" + images + "\n[Interface]\nNetwork=1\n";
        return client_open_scanner(set, config.c_str(), int(config.size()) + 1, highest);
    }

    // Lines of the log at level whose message contains text.
    int Lines(int level, const std::string& text) const {
        std::istringstream in(TempDir::read(dir.file("log.txt")));
        const std::string tag = " " + std::to_string(level) + " LUMOR ";
        int n = 0;
        for (std::string line; std::getline(in, line);)
            if (line.find(tag) != std::string::npos && line.find(text) != std::string::npos) ++n;
        return n;
    }

    TempDir dir;
    std::string images;
};

// Records the status thread's passes: whether each polled and the status it then held.
class PassRecorder {
public:
    struct Pass {
        bool polled;
        int32_t status;
    };
    PassRecorder() {
        SetStatusPassObserver([this](bool polled) {
            std::lock_guard<std::mutex> lock(mutex_);
            passes_.push_back({polled, ClientStatus.load()});
            changed_.notify_all();
        });
    }
    ~PassRecorder() { SetStatusPassObserver(nullptr); }
    // Waits (at most 20 s) until n passes, or n polls, were recorded; returns them all.
    std::vector<Pass> WaitPasses(size_t n) { return Wait([n](const std::vector<Pass>& p) { return p.size() >= n; }); }
    std::vector<Pass> WaitPolls(size_t n) {
        return Wait([n](const std::vector<Pass>& p) {
            size_t polls = 0;
            for (const Pass& x : p) polls += x.polled;
            return polls >= n;
        });
    }
    size_t Size() {
        std::lock_guard<std::mutex> lock(mutex_);
        return passes_.size();
    }

private:
    template <typename Done>
    std::vector<Pass> Wait(Done done) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(20), [&] { return done(passes_); });
        return passes_;
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Pass> passes_;
};

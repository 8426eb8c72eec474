// One thread polls the status while others fetch names, as an application with a worker
// thread may do: each plate's name is handed out once, and only when its files are complete.
#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

#include "scanner/scanner_fixture.h"

namespace fs = std::filesystem;

namespace {

using Threads = ScannerTest;

TEST_F(Threads, PollingAndFetchingFromOtherThreadsHandsEachNameOutOnce) {
    Config({{"Scanner", "MinBild", "1"}});
    Emulator("[Plate_1]\nImage=phantom:stepwedge\nSlot=1\nAt=0.5\nType=intra\n"
             "[Plate_2]\nImage=phantom:bars\nSlot=3\nAt=8\nType=intra\n"
             "[Plate_3]\nImage=phantom:shapes\nSlot=2\nAt=16\nType=intra\n");
    ASSERT_EQ(0, Open_Scanner(1));
    ASSERT_EQ(0, Aktivate_Scanner());

    std::atomic<int> fetched{0};
    std::atomic<int> incomplete{0};
    std::atomic<bool> stop{false};
    std::vector<std::string> names[2];
    auto fetch = [&](std::vector<std::string>* mine) {
        char name[1024];
        while (!stop.load()) {
            if (Get_ImageName(name) < 1) {
                std::this_thread::yield();
                continue;
            }
            const std::string image = name;
            const std::string info = image.substr(0, image.size() - 3) + "txt";
            if (!fs::exists(image) || !fs::exists(info) || fs::file_size(info) < 101) ++incomplete;
            mine->push_back(image);
            ++fetched;
        }
    };
    std::thread a(fetch, &names[0]), b(fetch, &names[1]);
    std::thread poller([&] {
        for (long i = 0; i < 2000000 && fetched.load() < 3; i++) {
            const int st = Get_Status();
            if (st < 0 && st != LUMORA_E_STATUS_BUSY) break;
        }
        stop = true;
    });
    poller.join();
    a.join();
    b.join();

    EXPECT_EQ(0, incomplete.load());
    std::set<std::string> all(names[0].begin(), names[0].end());
    all.insert(names[1].begin(), names[1].end());
    EXPECT_EQ(3u, names[0].size() + names[1].size());
    EXPECT_EQ(3u, all.size());
    EXPECT_EQ(0, Close_Scanner());
}

}  // namespace

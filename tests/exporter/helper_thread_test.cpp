// The helper thread that encodes frames beside the exporter: every task of a range runs exactly
// once while the owner does other work, over many ranges one after the other; a task's exception
// reaches the owner and leaves the helper usable; the helper really takes tasks.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include <helper_thread.h>

TEST(HelperThread, EveryTaskOfEveryRangeRunsOnceWhileTheOwnerWorks) {
    HelperThread helper;
    const size_t sizes[] = {0, 1, 2, 7, 64, 1000, 3, 0, 513};
    for (int round = 0; round < 40; ++round) {
        for (const size_t size : sizes) {
            const bool shared = (round + static_cast<int>(size)) % 3 != 0;
            auto runs = std::make_unique<std::atomic<int>[]>(size + 1);
            for (size_t i = 0; i <= size; ++i) {
                runs[i] = 0;
            }
            helper.start(
                size, [&runs](size_t task) { runs[task].fetch_add(1); }, shared);
            // The owner's own work between handing over and taking back, as the exporter gathers.
            volatile double owner = 0.0;
            for (int i = 0; i < 200; ++i) {
                owner = owner + i * 0.5;
            }
            helper.finish();
            for (size_t i = 0; i < size; ++i) {
                ASSERT_EQ(runs[i].load(), 1) << "task " << i << " of " << size << ", round " << round;
            }
            ASSERT_EQ(runs[size].load(), 0) << "a task past the range ran";
        }
    }
}

TEST(HelperThread, ATasksExceptionReachesTheOwnerAndTheHelperGoesOn) {
    HelperThread helper;
    for (int failing = 0; failing < 20; ++failing) {
        std::atomic<int> ran{0};
        helper.start(40, [&ran, failing](size_t task) {
            ran.fetch_add(1);
            if (task == static_cast<size_t>(failing)) {
                throw std::runtime_error("task failed");
            }
        });
        EXPECT_THROW(helper.finish(), std::runtime_error);
        // The other tasks of the range still ran: nothing is left half done for the next range.
        EXPECT_EQ(ran.load(), 40);
    }
    std::atomic<int> ran{0};
    helper.start(100, [&ran](size_t) { ran.fetch_add(1); });
    EXPECT_NO_THROW(helper.finish());
    EXPECT_EQ(ran.load(), 100);
}

TEST(HelperThread, TheHelperTakesTasksWhileTheOwnerIsBusy) {
    if (std::thread::hardware_concurrency() < 2) {
        GTEST_SKIP() << "one core: the owner runs every task";
    }
    HelperThread helper;
    const std::thread::id owner = std::this_thread::get_id();
    std::atomic<int> byHelper{0};
    helper.start(8, [&](size_t) {
        if (std::this_thread::get_id() != owner) {
            byHelper.fetch_add(1);
        }
    });
    // The owner stays away until the helper has taken a task, or for ten seconds at most.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (byHelper.load() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    helper.finish();
    EXPECT_GT(byHelper.load(), 0);
}

TEST(HelperThread, ARangeNotSharedRunsOnTheOwner) {
    HelperThread helper;
    const std::thread::id owner = std::this_thread::get_id();
    std::vector<std::thread::id> ranOn(50);
    helper.start(
        50, [&ranOn](size_t task) { ranOn[task] = std::this_thread::get_id(); }, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    helper.finish();
    for (const std::thread::id& id : ranOn) {
        EXPECT_EQ(id, owner);
    }
}

TEST(HelperThread, TheHelperTakesNoSignals) {
    // A signal the owner holds back while a file is moved into place must not reach the helper
    // instead: the helper blocks every signal.
    if (std::thread::hardware_concurrency() < 2) {
        GTEST_SKIP() << "one core: no helper thread";
    }
    HelperThread helper;
    const std::thread::id owner = std::this_thread::get_id();
    std::atomic<int> checked{0};
    std::atomic<int> blocked{0};
    helper.start(4, [&](size_t) {
        if (std::this_thread::get_id() == owner) {
            return;
        }
        sigset_t current;
        sigemptyset(&current);
        pthread_sigmask(SIG_BLOCK, nullptr, &current);
        checked.fetch_add(1);
        if (sigismember(&current, SIGINT) == 1 && sigismember(&current, SIGTERM) == 1) {
            blocked.fetch_add(1);
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (checked.load() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    helper.finish();
    ASSERT_GT(checked.load(), 0);
    EXPECT_EQ(blocked.load(), checked.load());
    // The owner's own mask is as it was.
    sigset_t own;
    sigemptyset(&own);
    pthread_sigmask(SIG_BLOCK, nullptr, &own);
    EXPECT_EQ(sigismember(&own, SIGINT), 0);
}

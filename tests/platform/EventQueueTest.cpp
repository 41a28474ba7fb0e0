#include "platform/EventQueue.h"

#include <gtest/gtest.h>

#include <atomic>

#include <thread>
#include <vector>

TEST(PumpQueue, RunsEventsInPostOrderIncludingThoseTheyPost) {
    TPumpQueue q;
    std::vector<int> seen;
    q.Post([&] {
        seen.push_back(1);
        q.Post([&] { seen.push_back(3); });
    });
    q.Post([&] { seen.push_back(2); });
    EXPECT_EQ(q.Pump(), 3u);
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(q.Pending(), 0u);
}

TEST(PumpQueue, PumpUntilWaitsForAnotherThreadsEvent) {
    TPumpQueue q;
    bool got = false;
    std::thread t([&] { q.Post([&] { got = true; }); });
    EXPECT_TRUE(q.PumpUntil([&] { return got; }));
    t.join();
}

// A condition that another thread changes without posting anything is seen
// long before the limit, not only when it runs out.
TEST(PumpQueue, PumpUntilSeesAConditionThatPostsNoEvent) {
    TPumpQueue q;
    std::atomic<bool> flag{false};
    const auto start = std::chrono::steady_clock::now();
    std::thread t([&] { flag = true; });
    EXPECT_TRUE(q.PumpUntil([&] { return flag.load(); }, std::chrono::seconds(20)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    t.join();
}

TEST(PumpQueue, PumpUntilGivesUpAtTheLimit) {
    TPumpQueue q;
    EXPECT_FALSE(q.PumpUntil([] { return false; }, std::chrono::milliseconds(20)));
}

#include "platform/EventQueue.h"

#include <gtest/gtest.h>

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

TEST(PumpQueue, PumpUntilGivesUpAtTheLimit) {
    TPumpQueue q;
    EXPECT_FALSE(q.PumpUntil([] { return false; }, std::chrono::milliseconds(20)));
}

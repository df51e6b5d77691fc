#include "support/manual_ui_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace lectoria {
namespace {

TEST(ManualUiThread, RunsPostedWorkInOrderOnlyWhenAsked) {
  ManualUiThread ui;
  std::vector<int> order;
  ui.Post([&] {
    order.push_back(1);
    ui.Post([&] { order.push_back(3); });
  });
  ui.Post([&] { order.push_back(2); });
  EXPECT_TRUE(order.empty());
  EXPECT_EQ(ui.RunPending(), 3u);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(ui.IsUiThread());
  bool other = true;
  std::thread([&] { other = ui.IsUiThread(); }).join();
  EXPECT_FALSE(other);
}

TEST(ManualUiThread, TimerTicksAtEachInterval) {
  ManualUiThread ui;
  std::vector<std::int64_t> ticks;
  ui.StartTimer(1000, [&] { ticks.push_back(ui.NowMs()); });
  ui.AdvanceBy(999);
  EXPECT_TRUE(ticks.empty());
  ui.AdvanceBy(2001);
  EXPECT_EQ(ticks, (std::vector<std::int64_t>{1000, 2000, 3000}));
  EXPECT_EQ(ui.NowMs(), 3000);
  ui.StopTimer();
  ui.AdvanceBy(5000);
  EXPECT_EQ(ticks.size(), 3u);
}

TEST(ManualUiThread, WorkQueuedBeforeATickRunsBeforeIt) {
  ManualUiThread ui;
  std::vector<std::string> log;
  ui.StartTimer(1000, [&] { log.push_back("tick"); });
  ui.Post([&] { log.push_back("work"); });
  ui.AdvanceBy(1000);
  EXPECT_EQ(log, (std::vector<std::string>{"work", "tick"}));
}

TEST(ManualUiThread, PumpingWaitOnTheUiThreadKeepsTicking) {
  ManualUiThread ui;
  int ticks = 0;
  ui.StartTimer(1000, [&] { ++ticks; });
  ui.WaitPumping(2500);
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(ui.NowMs(), 2500);
}

TEST(ManualUiThread, OtherThreadsWaitForTheSimulatedClock) {
  ManualUiThread ui;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    ui.WaitPumping(1000);
    done = true;
  });
  ASSERT_TRUE(ui.AwaitWaitingThreads(1, std::chrono::seconds(10)));
  ui.AdvanceBy(999);
  EXPECT_FALSE(done);
  ui.AdvanceBy(1);
  worker.join();
  EXPECT_TRUE(done);
}

TEST(ManualUiThread, ShutdownReleasesWaitersAndDropsWork) {
  ManualUiThread ui;
  std::thread worker([&] { ui.WaitPumping(60000); });
  ASSERT_TRUE(ui.AwaitWaitingThreads(1, std::chrono::seconds(10)));
  bool ran = false;
  ui.Post([&] { ran = true; });
  ui.Shutdown();
  worker.join();
  ui.Post([&] { ran = true; });
  EXPECT_EQ(ui.RunPending(), 0u);
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace lectoria

// The real-time UI thread: posted work and ticks run while the UI thread pumps, waits of
// other threads end on time, on a stop request or at shutdown.
#include "support/loop_ui_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace lectoria {
namespace {

using namespace std::chrono_literals;

TEST(LoopUiThread, PostedWorkRunsInOrderOnTheUiThreadWhilePumping) {
  LoopUiThread ui;
  std::vector<int> order;
  std::thread other([&] {
    EXPECT_FALSE(ui.IsUiThread());
    ui.Post([&] {
      EXPECT_TRUE(ui.IsUiThread());
      order.push_back(1);
      ui.Post([&] { order.push_back(3); });  // queued behind work already there
    });
    ui.Post([&] { order.push_back(2); });
  });
  other.join();
  EXPECT_TRUE(order.empty());  // nothing runs until the UI thread pumps
  EXPECT_TRUE(ui.RunUntil([&] { return order.size() == 3; }, 5s));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(LoopUiThread, TimerTicksWhilePumpingAndStops) {
  LoopUiThread ui;
  int ticks = 0;
  ui.StartTimer(5, [&] { ++ticks; });
  EXPECT_TRUE(ui.RunUntil([&] { return ticks >= 3; }, 5s));
  ui.StopTimer();
  const int stopped = ticks;
  ui.RunFor(30ms);
  EXPECT_EQ(ticks, stopped);
}

TEST(LoopUiThread, PumpingWaitOnTheUiThreadRunsWork) {
  LoopUiThread ui;
  bool ran = false;
  ui.Post([&] { ran = true; });
  ui.WaitPumping(10);
  EXPECT_TRUE(ran);
}

TEST(LoopUiThread, StopRequestEndsAnotherThreadsWait) {
  LoopUiThread ui;
  std::promise<void> waited;
  std::jthread worker([&](std::stop_token stop) {
    ui.WaitPumpingUnlessStopped(60000, stop);
    waited.set_value();
  });
  std::future<void> done = waited.get_future();
  EXPECT_EQ(done.wait_for(20ms), std::future_status::timeout);
  worker.request_stop();
  EXPECT_EQ(done.wait_for(10s), std::future_status::ready);
}

TEST(LoopUiThread, ShutdownReleasesWaitersAndDropsWork) {
  LoopUiThread ui;
  std::promise<void> waited;
  std::thread worker([&] {
    ui.WaitPumping(60000);
    waited.set_value();
  });
  std::future<void> done = waited.get_future();
  EXPECT_EQ(done.wait_for(20ms), std::future_status::timeout);
  bool ran = false;
  ui.Post([&] { ran = true; });
  ui.Shutdown();
  EXPECT_EQ(done.wait_for(10s), std::future_status::ready);
  worker.join();
  ui.Post([&] { ran = true; });
  EXPECT_FALSE(ui.RunUntil([&] { return ran; }, 20ms));
}

}  // namespace
}  // namespace lectoria

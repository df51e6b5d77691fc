#include "ui/qt_ui_thread.h"

#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "view_harness.h"

namespace lectoria {
namespace {

using testing::ProcessEvents;
using testing::WaitFor;

TEST(QtUiThreadTest, PostedWorkRunsLaterOnTheGuiThreadInOrder) {
  QtUiThread ui;
  EXPECT_TRUE(ui.IsUiThread());
  std::vector<int> order;
  bool onGui = true;
  auto record = [&](int n) {
    return [&, n] {
      order.push_back(n);
      onGui = onGui && ui.IsUiThread() && QThread::currentThread() == qApp->thread();
    };
  };
  ui.Post(record(1));
  EXPECT_TRUE(order.empty()) << "never inside the call";
  std::thread worker([&] {
    EXPECT_FALSE(ui.IsUiThread());
    ui.Post(record(2));
    ui.Post(record(3));
  });
  worker.join();
  ProcessEvents();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(onGui);
}

TEST(QtUiThreadTest, TimerTicksUntilStopped) {
  QtUiThread ui;
  int ticks = 0;
  ui.StartTimer(5, [&] { ++ticks; });
  EXPECT_TRUE(ui.TimerActive());
  EXPECT_TRUE(WaitFor([&] { return ticks >= 3; }));
  ui.StopTimer();
  EXPECT_FALSE(ui.TimerActive());
  const int stoppedAt = ticks;
  QTest::qWait(30);
  EXPECT_EQ(ticks, stoppedAt);
}

TEST(QtUiThreadTest, TimerStartedFromAnotherThreadTicksOnTheGuiThread) {
  QtUiThread ui;
  std::atomic<int> ticks{0};
  std::atomic<bool> onGui{true};
  std::thread([&] {
    ui.StartTimer(5, [&] {
      ++ticks;
      if (!ui.IsUiThread()) onGui = false;
    });
  }).join();
  EXPECT_TRUE(WaitFor([&] { return ticks >= 2; }));
  EXPECT_TRUE(onGui);
}

TEST(QtUiThreadTest, PumpingWaitOnTheGuiThreadRunsWorkAndTicks) {
  QtUiThread ui;
  int ran = 0, ticks = 0;
  ui.StartTimer(5, [&] { ++ticks; });
  ui.Post([&] { ++ran; });
  ui.WaitPumping(40);
  EXPECT_EQ(ran, 1);
  EXPECT_GE(ticks, 1);
  // A tick may itself wait: the nested wait keeps the loop running.
  int nested = 0;
  ui.Post([&] {
    ui.Post([&] { ++nested; });
    ui.WaitPumping(10);
  });
  ui.WaitPumping(30);
  EXPECT_EQ(nested, 1);
}

TEST(QtUiThreadTest, ShutdownEndsWaitsAndDropsWork) {
  QtUiThread ui;
  // A worker's long wait ends at the shutdown.
  std::promise<void> waiting;
  auto workerDone = std::async(std::launch::async, [&] {
    waiting.set_value();
    ui.WaitPumping(600000);
  });
  waiting.get_future().wait();

  int ticks = 0;
  ui.StartTimer(5, [&] { ++ticks; });
  // The GUI thread's own long wait ends too: the shutdown comes from within it.
  ui.Post([&] { ui.Shutdown(); });
  int ran = 0;
  ui.Post([&] { ++ran; });  // still queued at the shutdown: dropped
  ui.WaitPumping(600000);

  EXPECT_TRUE(ui.IsShutDown());
  EXPECT_EQ(workerDone.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_FALSE(ui.TimerActive());
  ui.Post([&] { ++ran; });
  ui.StartTimer(5, [&] { ++ticks; });
  ProcessEvents();
  EXPECT_EQ(ran, 0);
  EXPECT_FALSE(ui.TimerActive());
  ui.WaitPumping(600000);  // returns at once
  std::thread([&] { ui.WaitPumping(600000); }).join();
}

TEST(QtUiThreadTest, WorkStillQueuedAtDestructionIsDropped) {
  int ran = 0;
  {
    QtUiThread ui;
    ui.Post([&] { ++ran; });
  }
  ProcessEvents();
  EXPECT_EQ(ran, 0);
}

}  // namespace
}  // namespace lectoria

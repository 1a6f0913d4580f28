// The queues on a real GLib main context and worker threads.

#include <gmock/gmock.h>

#include <atomic>
#include <thread>

#include "linux/glib_dispatch.h"
#include "linux/private_bus.h"

namespace zorv::testing {
namespace {

using linux_desktop::GlibDispatch;

// Work queued from this thread and from workers.
TEST(GlibDispatch, MainQueueRunsOnTheMainThreadAfterTheCallerReturnedInEachThreadsOrder) {
  GlibDispatch dispatch;
  std::vector<int> ran;
  const auto mainThread = std::this_thread::get_id();
  bool wrongThread = false;
  const auto post = [&](int t) {
    for (int i = 0; i < 250; ++i) {
      dispatch.asyncMain([&, t, i] {
        wrongThread |= std::this_thread::get_id() != mainThread;
        ran.push_back(t * 1000 + i);
      });
    }
  };
  std::vector<std::thread> threads;
  for (int t = 1; t < 4; ++t) threads.emplace_back(post, t);
  post(0);
  for (auto& thread : threads) thread.join();
  EXPECT_TRUE(ran.empty());
  ASSERT_TRUE(iterateUntil([&] { return ran.size() == 1000; }));
  EXPECT_FALSE(wrongThread);
  std::vector<int> last(4, -1);
  for (int value : ran) {
    EXPECT_GT(value % 1000, last[std::size_t(value / 1000)]);
    last[std::size_t(value / 1000)] = value % 1000;
  }
}

TEST(GlibDispatch, TheMainQueueKeepsRunningInsideANestedLoop) {
  GlibDispatch dispatch;
  std::vector<std::string> ran;
  dispatch.asyncMain([&] {
    ran.push_back("modal opens");
    // As a modal alert does: a nested loop until something ends it.
    GMainLoop* nested = g_main_loop_new(nullptr, FALSE);
    dispatch.asyncMain([&] {
      ran.push_back("next action");
      g_main_loop_quit(nested);
    });
    g_main_loop_run(nested);
    g_main_loop_unref(nested);
    ran.push_back("modal closed");
  });
  ASSERT_TRUE(iterateUntil([&] { return ran.size() == 3; }));
  EXPECT_THAT(ran, ::testing::ElementsAre("modal opens", "next action", "modal closed"));
}

TEST(GlibDispatch, GlobalWorkRunsOffTheMainThreadAndDelayedWorkWaits) {
  GlibDispatch dispatch;
  std::atomic<bool> offMain{false};
  std::atomic<bool> done{false};
  const auto mainThread = std::this_thread::get_id();
  dispatch.asyncGlobal([&] {
    offMain = std::this_thread::get_id() != mainThread;
    done = true;
  });
  ASSERT_TRUE(iterateUntil([&] { return done.load(); }));
  EXPECT_TRUE(offMain);

  std::atomic<gint64> firedAt{0};
  const gint64 start = g_get_monotonic_time();
  dispatch.asyncAfterGlobal(std::chrono::milliseconds(200),
                            [&] { firedAt = g_get_monotonic_time(); });
  ASSERT_TRUE(iterateUntil([&] { return firedAt.load() != 0; }));
  EXPECT_GE(firedAt.load() - start, 200 * 1000);
}

}  // namespace
}  // namespace zorv::testing

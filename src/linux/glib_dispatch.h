#pragma once
// The queues on GLib: the main queue is drained on the default main context, one
// work item per dispatch, strictly first in, first out; the global queue is a
// pool of worker threads of its own, joined when it ends.
//
// Work crosses threads only through the queues below, under mutex_, and the
// workers are the queue's own threads, so that every hand-over is one the thread
// checker sees (GLib's locks and thread pool are invisible to it).

#include <glib.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "port/dispatch.h"

namespace zorv::linux_desktop {

class GlibDispatch : public port::Dispatch {
 public:
  GlibDispatch();
  ~GlibDispatch() override;
  GlibDispatch(const GlibDispatch&) = delete;
  GlibDispatch& operator=(const GlibDispatch&) = delete;

  void asyncMain(port::Work work) override;
  void asyncGlobal(port::Work work) override;
  void asyncAfterGlobal(std::chrono::milliseconds delay, port::Work work) override;

  // Ends both queues, on the main thread: queued and delayed work is dropped
  // without running, work queued from now on too, and work already running on a
  // worker is waited for. Whatever that work blocks on must be released first.
  void shutdown();

 private:
  // How long a worker without work waits for more before it ends.
  static constexpr std::chrono::seconds kIdleWorkerLifetime{15};

  static gboolean dispatchMain(GSource* source, GSourceFunc, gpointer);
  void runWorker();
  static gboolean fireDelayed(gpointer self);

  std::mutex mutex_;
  std::deque<port::Work> main_;             // guarded by mutex_
  std::deque<port::Work> global_;           // guarded by mutex_
  std::map<GSource*, port::Work> delayed_;  // guarded by mutex_; one reference each
  bool stopped_ = false;                    // guarded by mutex_
  std::condition_variable globalQueued_;
  std::vector<std::thread> workers_;        // guarded by mutex_
  std::vector<std::thread::id> idleEnded_;  // guarded by mutex_; returned, not joined yet
  std::size_t idle_ = 0;                    // guarded by mutex_
  GSource* mainSource_;
};

}  // namespace zorv::linux_desktop

#pragma once
// Work queues: the serial main queue drained on the main thread, and the global
// queue whose work runs on worker threads.
// Threads: every call from any thread.

#include <chrono>
#include <functional>

namespace zorv::port {

using Work = std::function<void()>;

class Dispatch {
 public:
  virtual ~Dispatch() = default;
  // Runs `work` on the main thread after everything queued before it, and never
  // before the caller has returned to the main loop.
  virtual void asyncMain(Work work) = 0;
  virtual void asyncGlobal(Work work) = 0;
  virtual void asyncAfterGlobal(std::chrono::milliseconds delay, Work work) = 0;
};

}  // namespace zorv::port

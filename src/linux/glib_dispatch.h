#pragma once
// The queues on GLib: the main queue is drained on the default main context, one
// work item per dispatch, strictly first in, first out; the global queue is a
// pool of worker threads.

#include <glib.h>

#include <deque>
#include <mutex>

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

 private:
  static gboolean dispatchMain(GSource* source, GSourceFunc, gpointer);
  static void runGlobal(gpointer work, gpointer);

  std::mutex mutex_;
  std::deque<port::Work> main_;  // guarded by mutex_
  GSource* mainSource_;
  GThreadPool* pool_;
};

}  // namespace zorv::linux_desktop

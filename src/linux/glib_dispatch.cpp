#include "linux/glib_dispatch.h"

#include <algorithm>
#include <system_error>

namespace zorv::linux_desktop {
namespace {

struct MainQueueSource {
  GSource source;
  GlibDispatch* owner;
};

}  // namespace

GlibDispatch::GlibDispatch() {
  static GSourceFuncs funcs = {
      nullptr,  // prepare: the source is made ready explicitly
      nullptr,  // check
      [](GSource* source, GSourceFunc callback, gpointer data) -> gboolean {
        return dispatchMain(source, callback, data);
      },
      nullptr,
      nullptr,
      nullptr};
  mainSource_ = g_source_new(&funcs, sizeof(MainQueueSource));
  reinterpret_cast<MainQueueSource*>(mainSource_)->owner = this;
  // Work may open a modal alert, which runs a nested main loop; the queue keeps
  // being drained inside it, as the platform's main queue is.
  g_source_set_can_recurse(mainSource_, TRUE);
  g_source_set_name(mainSource_, "zorv main queue");
  g_source_attach(mainSource_, nullptr);
}

GlibDispatch::~GlibDispatch() {
  shutdown();
  g_source_destroy(mainSource_);
  g_source_unref(mainSource_);
}

void GlibDispatch::shutdown() {
  std::deque<port::Work> mainLeft;
  std::deque<port::Work> globalLeft;
  std::map<GSource*, port::Work> delayedLeft;
  std::vector<std::thread> workers;
  {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    stopped_ = true;
    mainLeft.swap(main_);
    globalLeft.swap(global_);
    delayedLeft.swap(delayed_);
    workers.swap(workers_);
  }
  globalQueued_.notify_all();
  for (auto& [source, work] : delayedLeft) {
    g_source_destroy(source);
    g_source_unref(source);
  }
  // Running work is waited for.
  for (auto& worker : workers) worker.join();
}

void GlibDispatch::asyncMain(port::Work work) {
  {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    main_.push_back(std::move(work));
  }
  g_source_set_ready_time(mainSource_, 0);  // wakes the main context; thread-safe
}
gboolean GlibDispatch::dispatchMain(GSource* source, GSourceFunc, gpointer) {
  auto* self = reinterpret_cast<MainQueueSource*>(source)->owner;
  port::Work work;
  {
    std::lock_guard lock(self->mutex_);
    if (self->main_.empty()) {
      g_source_set_ready_time(source, -1);
      return G_SOURCE_CONTINUE;
    }
    work = std::move(self->main_.front());
    self->main_.pop_front();
    // One item per dispatch, so requests and window-system events interleave.
    g_source_set_ready_time(source, self->main_.empty() ? -1 : 0);
  }
  work();
  return G_SOURCE_CONTINUE;
}

void GlibDispatch::asyncGlobal(port::Work work) {
  std::lock_guard lock(mutex_);
  if (stopped_) return;
  global_.push_back(std::move(work));
  // Workers that ended idle are joined here (it takes no time: they have returned).
  for (const auto id : idleEnded_) {
    const auto ended = std::find_if(workers_.begin(), workers_.end(),
                                    [&](const std::thread& t) { return t.get_id() == id; });
    if (ended == workers_.end()) continue;
    ended->join();
    workers_.erase(ended);
  }
  idleEnded_.clear();
  if (idle_ > 0) {
    globalQueued_.notify_one();
    return;
  }
  // Without a limit: a worker may block for as long as a child keeps its
  // standard error open.
  try {
    workers_.emplace_back(&GlibDispatch::runWorker, this);
  } catch (const std::system_error&) {
    // The work waits for a worker that is running now to become free.
  }
}

void GlibDispatch::runWorker() {
  std::unique_lock lock(mutex_);
  for (;;) {
    ++idle_;
    const bool queued = globalQueued_.wait_for(lock, kIdleWorkerLifetime,
                                               [this] { return stopped_ || !global_.empty(); });
    --idle_;
    if (stopped_) return;
    if (!queued) {
      idleEnded_.push_back(std::this_thread::get_id());
      return;
    }
    port::Work work = std::move(global_.front());
    global_.pop_front();
    lock.unlock();
    work();
    work = nullptr;  // what it holds goes on this thread, outside the lock
    lock.lock();
  }
}

void GlibDispatch::asyncAfterGlobal(std::chrono::milliseconds delay, port::Work work) {
  GSource* source = g_timeout_source_new(static_cast<guint>(delay.count()));
  g_source_set_callback(source, &GlibDispatch::fireDelayed, this, nullptr);
  std::lock_guard lock(mutex_);
  if (stopped_) {
    g_source_unref(source);
    return;
  }
  delayed_.emplace(source, std::move(work));
  // Under the lock, so that shutdown() never sees a source not attached yet.
  g_source_attach(source, nullptr);
}

gboolean GlibDispatch::fireDelayed(gpointer data) {
  auto* self = static_cast<GlibDispatch*>(data);
  GSource* source = g_main_current_source();
  port::Work work;
  {
    std::lock_guard lock(self->mutex_);
    const auto found = self->delayed_.find(source);
    if (found == self->delayed_.end()) return G_SOURCE_REMOVE;
    work = std::move(found->second);
    self->delayed_.erase(found);
  }
  g_source_unref(source);  // the context keeps its own until this returns
  self->asyncGlobal(std::move(work));
  return G_SOURCE_REMOVE;
}

}  // namespace zorv::linux_desktop

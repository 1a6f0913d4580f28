#include "linux/glib_dispatch.h"

#include <memory>

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

  GError* error = nullptr;
  // Unbounded: a worker may block for as long as a child keeps its standard error open.
  pool_ = g_thread_pool_new(&GlibDispatch::runGlobal, nullptr, -1, FALSE, &error);
  if (!pool_) g_error("cannot create the worker pool: %s", error->message);
}

GlibDispatch::~GlibDispatch() {
  g_source_destroy(mainSource_);
  g_source_unref(mainSource_);
  // Neither waits for running work (a reader may be blocked on a child that
  // outlives the helper) nor runs queued work: both end with the process.
  g_thread_pool_free(pool_, TRUE, FALSE);
}

void GlibDispatch::asyncMain(port::Work work) {
  {
    std::lock_guard lock(mutex_);
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
  g_thread_pool_push(pool_, new port::Work(std::move(work)), nullptr);
}

void GlibDispatch::runGlobal(gpointer data, gpointer) {
  std::unique_ptr<port::Work> work(static_cast<port::Work*>(data));
  (*work)();
}

void GlibDispatch::asyncAfterGlobal(std::chrono::milliseconds delay, port::Work work) {
  struct Delayed {
    GlibDispatch* self;
    port::Work work;
  };
  auto* delayed = new Delayed{this, std::move(work)};
  g_timeout_add_full(
      G_PRIORITY_DEFAULT, static_cast<guint>(delay.count()),
      [](gpointer data) -> gboolean {
        auto* d = static_cast<Delayed*>(data);
        d->self->asyncGlobal(std::move(d->work));
        return G_SOURCE_REMOVE;
      },
      delayed, [](gpointer data) { delete static_cast<Delayed*>(data); });
}

}  // namespace zorv::linux_desktop

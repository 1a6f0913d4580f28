#include "linux/linux_platform.h"

namespace zorv::linux_desktop {

GDBusConnection* LinuxPlatform::connectSessionBus() {
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (!bus) {
    g_clear_error(&error);
    return nullptr;
  }
  // The helper decides itself when to end; losing the bus must not kill it.
  g_dbus_connection_set_exit_on_close(bus, FALSE);
  return bus;
}

LinuxPlatform::LinuxPlatform()
    : sessionBus_(connectSessionBus()),
      display_(X11Display::open()),
      accessibility_(sessionBus_, display_.get()),
      workspace_(display_.get(), dispatch_),
      distributed_(sessionBus_),
      notifications_(sessionBus_, dispatch_),
      keyboard_(display_.get()),
      inputSources_(display_.get()) {
  accessibility_.setUntrustedHandler([this] { application_.setExitStatus(kExitNoPermission); });
  platform_ = std::make_unique<port::Platform>(port::Platform{
      application_, dispatch_, console_, console_, accessibility_, workspace_, distributed_,
      notifications_, alerts_, keyboard_, inputSources_, appleEvents_, tasks_, files_});
}

LinuxPlatform::~LinuxPlatform() {
  // Work on the worker threads uses the services: it ends before any of them
  // goes. The readers blocked on children's output are released first, so that
  // waiting for the running work cannot hang; delayed work is dropped.
  tasks_.shutdown();
  dispatch_.shutdown();
  if (sessionBus_) {
    g_dbus_connection_flush_sync(sessionBus_, nullptr, nullptr);
    g_object_unref(sessionBus_);
  }
}

}  // namespace zorv::linux_desktop

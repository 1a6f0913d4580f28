#include "linux/linux_platform.h"

namespace zorv::linux_desktop {
namespace {

// org.freedesktop.DBus.RequestName and ReleaseName on the bus itself.
GVariant* callBus(GDBusConnection* bus, const char* method, GVariant* parameters, int timeoutMs) {
  return g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method,
      parameters, G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, timeoutMs, nullptr, nullptr);
}

}  // namespace

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
      session_(openDesktopSession(sessionBus_, dispatch_, console_)),
      accessibility_(sessionBus_, session_->x11Display(), session_->windowRaiser(),
                     session_->activeWindowFeed()),
      distributed_(sessionBus_),
      notifications_(sessionBus_, dispatch_) {
  accessibility_.setUntrustedHandler([this] { application_.setExitStatus(kExitNoPermission); });
  if (sessionBus_) {
    // Requests arrive on the session bus only: without it the helper would run
    // on deaf. It ends, and the service manager starts it with the next session.
    busClosedHandler_ = g_signal_connect(
        sessionBus_, "closed", G_CALLBACK(+[](GDBusConnection*, gboolean, GError*, gpointer self) {
          static_cast<LinuxPlatform*>(self)->sessionLost("The session bus has closed");
        }),
        this);
  }
  session_->setConnectionLostHandler([this] {
    sessionLost(session_->kind() == SessionKind::x11
                    ? "The connection to the X server has closed"
                    : "The connection to the Wayland compositor has closed");
  });
  platform_ = std::make_unique<port::Platform>(port::Platform{
      application_, dispatch_, console_, console_, accessibility_, session_->workspace(),
      distributed_, notifications_, alerts_, session_->keyboardEvents(),
      session_->textInputSources(), appleEvents_, tasks_, files_});
}

void LinuxPlatform::sessionLost(const char* what) {
  console_.log(std::string(what) + ", exiting");
  application_.terminateWithStatus(kExitSessionLost);
}

bool LinuxPlatform::ownSessionName() {
  if (!sessionBus_) return true;
  // Neither queued nor replaceable: the first helper keeps the name until it ends.
  constexpr guint32 kDoNotQueue = 0x4;
  constexpr guint32 kPrimaryOwner = 1, kAlreadyOwner = 4;
  GVariant* reply =
      callBus(sessionBus_, "RequestName", g_variant_new("(su)", kSessionName, kDoNotQueue), -1);
  // A bus that cannot answer is no proof of another helper.
  if (!reply) return true;
  guint32 result = 0;
  g_variant_get(reply, "(u)", &result);
  g_variant_unref(reply);
  ownsSessionName_ = result == kPrimaryOwner || result == kAlreadyOwner;
  if (!ownsSessionName_) console_.log("Another zorv-helper runs in this session, exiting");
  return ownsSessionName_;
}

LinuxPlatform::~LinuxPlatform() {
  // Work on the worker threads uses the services: it ends before any of them
  // goes. The readers blocked on children's output are released first, so that
  // waiting for the running work cannot hang; delayed work is dropped.
  tasks_.shutdown();
  dispatch_.shutdown();
  if (sessionBus_) {
    g_signal_handler_disconnect(sessionBus_, busClosedHandler_);
    // Handed over at once, so that a helper started right after this one ends
    // finds the name free.
    if (ownsSessionName_ && !g_dbus_connection_is_closed(sessionBus_)) {
      if (GVariant* reply =
              callBus(sessionBus_, "ReleaseName", g_variant_new("(s)", kSessionName), 1000)) {
        g_variant_unref(reply);
      }
    }
    g_dbus_connection_flush_sync(sessionBus_, nullptr, nullptr);
    g_object_unref(sessionBus_);
  }
}

}  // namespace zorv::linux_desktop

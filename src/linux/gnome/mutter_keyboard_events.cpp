#include "linux/gnome/mutter_keyboard_events.h"

#include <chrono>
#include <thread>

#include "linux/evdev_key_event.h"
#include "linux/key_codes.h"

namespace zorv::linux_desktop {

namespace {

constexpr const char* kService = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* kPath = "/org/gnome/Mutter/RemoteDesktop";
constexpr const char* kSessionInterface = "org.gnome.Mutter.RemoteDesktop.Session";
constexpr int kTimeoutMs = 2000;
constexpr std::uint32_t kLeftShift = 42;
// Headless, the first key of a new session is lost unless another key went
// first and the session had a moment to set its keyboard up.
constexpr auto kWarmUp = std::chrono::milliseconds(80);

GVariant* call(GDBusConnection* connection, const char* path, const char* interface,
               const char* method, GVariant* parameters, const GVariantType* reply) {
  return g_dbus_connection_call_sync(connection, kService, path, interface, method, parameters,
                                     reply, G_DBUS_CALL_FLAGS_NO_AUTO_START, kTimeoutMs, nullptr,
                                     nullptr);
}

}  // namespace

MutterRemoteDesktop::MutterRemoteDesktop(std::string busAddress)
    : busAddress_(std::move(busAddress)) {}

MutterRemoteDesktop::~MutterRemoteDesktop() {
  if (connection_ && !session_.empty() && !g_dbus_connection_is_closed(connection_)) {
    if (GVariant* r =
            call(connection_, session_.c_str(), kSessionInterface, "Stop", nullptr, nullptr)) {
      g_variant_unref(r);
    }
  }
  dropSession();
  if (connection_) {
    g_dbus_connection_close_sync(connection_, nullptr, nullptr);
    g_object_unref(connection_);
  }
}

bool MutterRemoteDesktop::available(GDBusConnection* connection) {
  if (!connection) return false;
  GVariant* reply = g_dbus_connection_call_sync(
      connection, kService, kPath, "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", kService, "SupportedDeviceTypes"), G_VARIANT_TYPE("(v)"),
      G_DBUS_CALL_FLAGS_NO_AUTO_START, kTimeoutMs, nullptr, nullptr);
  if (!reply) return false;
  g_variant_unref(reply);
  return true;
}

void MutterRemoteDesktop::dropSession() {
  if (closedSubscription_) g_dbus_connection_signal_unsubscribe(connection_, closedSubscription_);
  closedSubscription_ = 0;
  session_.clear();
}

bool MutterRemoteDesktop::ensureSession() {
  if (connection_ && g_dbus_connection_is_closed(connection_)) {
    dropSession();
    g_clear_object(&connection_);
  }
  if (!session_.empty()) return true;
  if (!connection_) {
    std::string address = busAddress_;
    if (address.empty()) {
      gchar* found = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
      if (!found) return false;
      address = found;
      g_free(found);
    }
    connection_ = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    if (!connection_) return false;
    g_dbus_connection_set_exit_on_close(connection_, FALSE);
  }
  GVariant* created =
      call(connection_, kPath, kService, "CreateSession", nullptr, G_VARIANT_TYPE("(o)"));
  if (!created) return false;
  const gchar* path = nullptr;
  g_variant_get(created, "(&o)", &path);
  session_ = path;
  g_variant_unref(created);
  // Mutter ends a session of its own accord (the user stopped the sharing, the
  // shell restarted): the next key creates another.
  closedSubscription_ = g_dbus_connection_signal_subscribe(
      connection_, kService, kSessionInterface, "Closed", session_.c_str(), nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE,
      [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
         gpointer self) { static_cast<MutterRemoteDesktop*>(self)->session_.clear(); },
      this, nullptr);
  GVariant* started =
      call(connection_, session_.c_str(), kSessionInterface, "Start", nullptr, nullptr);
  if (!started) {
    dropSession();
    return false;
  }
  g_variant_unref(started);
  notify(kLeftShift, true);
  notify(kLeftShift, false);
  std::this_thread::sleep_for(kWarmUp);
  return true;
}

bool MutterRemoteDesktop::notify(std::uint32_t evdev, bool down) {
  GVariant* reply = call(connection_, session_.c_str(), kSessionInterface, "NotifyKeyboardKeycode",
                         g_variant_new("(ub)", evdev, down), nullptr);
  if (!reply) return false;
  g_variant_unref(reply);
  return true;
}

bool MutterRemoteDesktop::key(std::uint32_t evdev, bool down) {
  // A session that went away without a word (its object is gone) is made anew
  // once; the key goes to the new one.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!ensureSession()) return false;
    if (notify(evdev, down)) return true;
    dropSession();
  }
  return false;
}

MutterKeyboardEvents::~MutterKeyboardEvents() {
  // Keys of ours still down would stay down for the application.
  for (auto evdev : down_) sink_->key(evdev, false);
}

std::unique_ptr<port::EventSource> MutterKeyboardEvents::createEventSource(port::EventSourceState) {
  return std::make_unique<EvdevEventSource>();
}

std::unique_ptr<port::KeyboardEvent> MutterKeyboardEvents::createKeyboardEvent(
    const port::EventSource*, std::uint16_t virtualKey, bool keyDown) {
  const auto evdev = evdevCode(virtualKey);
  if (!evdev) return nullptr;
  return std::make_unique<EvdevKeyEvent>(virtualKey, *evdev, keyDown);
}

void MutterKeyboardEvents::post(port::EventTap, const port::KeyboardEvent& event) {
  const auto* key = dynamic_cast<const EvdevKeyEvent*>(&event);
  if (!key) return;
  if (!sink_->key(key->evdev(), key->keyDown())) return;
  if (key->keyDown()) {
    down_.insert(key->evdev());
  } else {
    down_.erase(key->evdev());
  }
}

}  // namespace zorv::linux_desktop

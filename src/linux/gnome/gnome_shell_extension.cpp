#include "linux/gnome/gnome_shell_extension.h"

namespace zorv::linux_desktop {
namespace {

constexpr const char* kPath = "/name/pemu/zorv/Shell";
constexpr const char* kInterface = "name.pemu.zorv.Shell";
constexpr int kTimeoutMs = 2000;

bool answeredTrue(GVariant* reply) {
  if (!reply) return false;
  gboolean result = FALSE;
  g_variant_get(reply, "(b)", &result);
  g_variant_unref(reply);
  return result;
}

}  // namespace

GnomeShellExtension::GnomeShellExtension(GDBusConnection* sessionBus) : bus_(sessionBus) {
  if (!bus_) return;
  // By name, not by owner: an extension enabled later is heard too.
  subscription_ = g_dbus_connection_signal_subscribe(
      bus_, kBusName, kInterface, "FocusChanged", kPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
      [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
         GVariant* parameters, gpointer self) {
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) return;
        guint32 pid = 0;
        const gchar* title = nullptr;
        g_variant_get(parameters, "(u&s)", &pid, &title);
        // Focus passing through no window at all is no change of window.
        if (pid == 0) return;
        static_cast<GnomeShellExtension*>(self)->focused(
            FocusedWindow{static_cast<port::Pid>(pid), std::string(title)});
      },
      this, nullptr);
}

GnomeShellExtension::~GnomeShellExtension() {
  if (subscription_) g_dbus_connection_signal_unsubscribe(bus_, subscription_);
}

std::optional<FocusedWindow> GnomeShellExtension::focusedWindow() {
  GVariant* reply = call("GetFocus", nullptr, G_VARIANT_TYPE("(us)"));
  if (!reply) return std::nullopt;
  guint32 pid = 0;
  const gchar* title = nullptr;
  g_variant_get(reply, "(u&s)", &pid, &title);
  std::optional<FocusedWindow> window;
  if (pid > 0) window = FocusedWindow{static_cast<port::Pid>(pid), std::string(title)};
  g_variant_unref(reply);
  return window;
}

GVariant* GnomeShellExtension::call(const char* method, GVariant* parameters,
                                    const GVariantType* reply) const {
  if (!bus_) {
    if (parameters) g_variant_unref(g_variant_ref_sink(parameters));
    return nullptr;
  }
  return g_dbus_connection_call_sync(bus_, kBusName, kPath, kInterface, method, parameters, reply,
                                     G_DBUS_CALL_FLAGS_NO_AUTO_START, kTimeoutMs, nullptr, nullptr);
}

bool GnomeShellExtension::present() const {
  if (!bus_) return false;
  GVariant* reply = g_dbus_connection_call_sync(
      bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
      g_variant_new("(s)", kBusName), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, kTimeoutMs,
      nullptr, nullptr);
  return answeredTrue(reply);
}

std::optional<GnomeInputSourceList> GnomeShellExtension::inputSources() const {
  GVariant* reply = call("GetInputSources", nullptr, G_VARIANT_TYPE("(a(sss)i)"));
  if (!reply) return std::nullopt;
  GVariantIter* iter = nullptr;
  gint32 current = -1;
  g_variant_get(reply, "(a(sss)i)", &iter, &current);
  GnomeInputSourceList list;
  const gchar *type = nullptr, *id = nullptr, *name = nullptr;
  while (g_variant_iter_next(iter, "(&s&s&s)", &type, &id, &name)) {
    list.sources.push_back({type, id, name});
  }
  g_variant_iter_free(iter);
  g_variant_unref(reply);
  if (current >= 0 && static_cast<std::size_t>(current) < list.sources.size()) {
    list.current = static_cast<std::size_t>(current);
  }
  return list;
}

bool GnomeShellExtension::selectInputSource(const std::string& type, const std::string& id) const {
  return answeredTrue(call("SelectInputSource", g_variant_new("(ss)", type.c_str(), id.c_str()),
                           G_VARIANT_TYPE("(b)")));
}

bool GnomeShellExtension::activateWindow(port::Pid pid, const std::string& title) const {
  return answeredTrue(call("ActivateWindow",
                           g_variant_new("(us)", static_cast<guint32>(pid), title.c_str()),
                           G_VARIANT_TYPE("(b)")));
}

bool GnomeShellExtension::activateApplication(port::Pid pid) const {
  return answeredTrue(call("ActivateApplication", g_variant_new("(u)", static_cast<guint32>(pid)),
                           G_VARIANT_TYPE("(b)")));
}

}  // namespace zorv::linux_desktop

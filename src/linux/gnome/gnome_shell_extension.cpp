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

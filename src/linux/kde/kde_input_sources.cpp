#include "linux/kde/kde_input_sources.h"

#include <algorithm>
#include <cstdlib>

#include "linux/sway/sway_input_sources.h"

namespace zorv::linux_desktop {
namespace {

constexpr port::StatusCode kParamErr = -50;
constexpr int kTimeoutMs = 2000;
constexpr const char* kService = "org.kde.keyboard";
constexpr const char* kPath = "/Layouts";
constexpr const char* kInterface = "org.kde.KeyboardLayouts";

std::map<std::string, std::string> readRulesIds() {
  const char* root = std::getenv("XKB_CONFIG_ROOT");
  const std::string file =
      std::string(root && *root ? root : "/usr/share/X11/xkb") + "/rules/evdev.xml";
  gchar* text = nullptr;
  gsize length = 0;
  if (!g_file_get_contents(file.c_str(), &text, &length, nullptr)) return {};
  auto ids = layoutIdsByDescription(std::string(text, length));
  g_free(text);
  return ids;
}

}  // namespace

std::string kdeLayoutId(const std::string& shortName, const std::string& description,
                        const std::map<std::string, std::string>& idsByDescription) {
  if (auto it = idsByDescription.find(description); it != idsByDescription.end()) {
    return it->second;
  }
  return shortName;
}

KdeInputSources::KdeInputSources(GDBusConnection* sessionBus, std::function<KeymapRef()> keymap)
    : bus_(sessionBus), keymap_(std::move(keymap)) {
  if (!bus_) return;
  auto subscribe = [this](const char* member, GDBusSignalCallback callback) {
    return g_dbus_connection_signal_subscribe(bus_, kService, kInterface, member, kPath, nullptr,
                                              G_DBUS_SIGNAL_FLAGS_NONE, callback, this, nullptr);
  };
  changedSubscription_ =
      subscribe("layoutChanged", [](GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                    const gchar*, GVariant* parameters, gpointer self) {
        guint32 index = 0;
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(u)"))) return;
        g_variant_get(parameters, "(u)", &index);
        static_cast<KdeInputSources*>(self)->active_ = index;
      });
  listChangedSubscription_ =
      subscribe("layoutListChanged", [](GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                        const gchar*, GVariant*, gpointer self) {
        auto* sources = static_cast<KdeInputSources*>(self);
        sources->sources_.reset();
        sources->active_.reset();
      });
}

KdeInputSources::~KdeInputSources() {
  if (!bus_) return;
  g_dbus_connection_signal_unsubscribe(bus_, changedSubscription_);
  g_dbus_connection_signal_unsubscribe(bus_, listChangedSubscription_);
}

GVariant* KdeInputSources::call(const char* method, GVariant* parameters,
                                const GVariantType* reply) {
  return g_dbus_connection_call_sync(bus_, kService, kPath, kInterface, method, parameters, reply,
                                     G_DBUS_CALL_FLAGS_NONE, kTimeoutMs, nullptr, nullptr);
}

bool KdeInputSources::read() {
  if (!bus_) return false;
  if (sources_ && active_) return true;
  if (!sources_) {
    GVariant* list = call("getLayoutsList", nullptr, G_VARIANT_TYPE("(a(sss))"));
    if (!list) return false;
    if (!ids_) ids_ = readRulesIds();
    const KeymapRef keymap = keymap_ ? keymap_() : nullptr;
    GVariantIter* iter = nullptr;
    g_variant_get(list, "(a(sss))", &iter);
    const gchar *shortName = nullptr, *label = nullptr, *description = nullptr;
    std::vector<std::shared_ptr<LayoutSource>> sources;
    while (g_variant_iter_next(iter, "(&s&s&s)", &shortName, &label, &description)) {
      auto source = std::make_shared<LayoutSource>();
      source->id = kdeLayoutId(shortName, description, *ids_);
      source->name = description;
      const auto index = static_cast<xkb_layout_index_t>(sources.size());
      if (keymap && index < xkb_keymap_num_layouts(keymap.get())) {
        source->layout = std::make_shared<XkbLayout>(keymap, index);
      }
      sources.push_back(std::move(source));
    }
    g_variant_iter_free(iter);
    g_variant_unref(list);
    sources_ = std::move(sources);
  }
  if (!active_) {
    GVariant* index = call("getLayout", nullptr, G_VARIANT_TYPE("(u)"));
    if (!index) return false;
    guint32 value = 0;
    g_variant_get(index, "(u)", &value);
    g_variant_unref(index);
    active_ = value;
  }
  return true;
}

port::InputSourceRef KdeInputSources::copyCurrentKeyboardInputSource() {
  if (!read() || *active_ >= sources_->size()) return nullptr;
  return (*sources_)[*active_];
}

std::vector<port::InputSourceRef> KdeInputSources::createInputSourceList(bool) {
  if (!read()) return {};
  return {sources_->begin(), sources_->end()};
}

port::StatusCode KdeInputSources::selectInputSource(const port::InputSourceRef& source) {
  const auto* wanted = dynamic_cast<const LayoutSource*>(source.get());
  if (!wanted || !read()) return kParamErr;
  const auto& now = *sources_;
  const auto found = std::find_if(now.begin(), now.end(),
                                  [&](const auto& layout) { return layout->id == wanted->id; });
  if (found == now.end()) return kParamErr;
  const auto index = static_cast<guint32>(found - now.begin());
  GVariant* reply = call("setLayout", g_variant_new("(u)", index), G_VARIANT_TYPE("(b)"));
  if (!reply) return kParamErr;
  gboolean done = FALSE;
  g_variant_get(reply, "(b)", &done);
  g_variant_unref(reply);
  if (!done) return kParamErr;
  active_ = index;
  return port::kSuccess;
}

}  // namespace zorv::linux_desktop

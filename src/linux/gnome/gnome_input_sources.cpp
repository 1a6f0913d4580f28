#include "linux/gnome/gnome_input_sources.h"

#include <gio/gio.h>

namespace zorv::linux_desktop {
namespace {

constexpr port::StatusCode kParamErr = -50;
constexpr const char* kSchema = "org.gnome.desktop.input-sources";

}  // namespace

std::string gnomeSourceId(const std::string& type, const std::string& id) {
  if (type != "xkb") return type + ":" + id;
  const auto plus = id.find('+');
  if (plus == std::string::npos) return id;
  return id.substr(0, plus) + "(" + id.substr(plus + 1) + ")";
}

GnomeInputSources::GnomeInputSources(const GnomeShellExtension& extension)
    : extension_(extension), context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {}

GnomeInputSources::~GnomeInputSources() {
  if (context_) xkb_context_unref(context_);
}

std::shared_ptr<GnomeSource> GnomeInputSources::sourceOf(const GnomeInputSource& source) {
  auto handle = std::make_shared<GnomeSource>();
  handle->source = source;
  handle->id = gnomeSourceId(source.type, source.id);
  handle->name = source.displayName.empty() ? *handle->id : source.displayName;
  if (source.type == "xkb" && context_) {
    auto& layout = layouts_[source.id];
    if (!layout) {
      const auto plus = source.id.find('+');
      const std::string name = source.id.substr(0, plus);
      const std::string variant = plus == std::string::npos ? "" : source.id.substr(plus + 1);
      const xkb_rule_names names{nullptr, nullptr, name.c_str(), variant.c_str(), nullptr};
      if (auto keymap = adoptKeymap(
              xkb_keymap_new_from_names(context_, &names, XKB_KEYMAP_COMPILE_NO_FLAGS))) {
        layout = std::make_shared<XkbLayout>(keymap, 0);
      }
    }
    handle->layout = layout;
  }
  return handle;
}

std::optional<GnomeInputSource> GnomeInputSources::firstConfiguredSource() const {
  GSettingsSchemaSource* schemas = g_settings_schema_source_get_default();
  GSettingsSchema* schema =
      schemas ? g_settings_schema_source_lookup(schemas, kSchema, TRUE) : nullptr;
  if (!schema) return std::nullopt;
  g_settings_schema_unref(schema);
  GSettings* settings = g_settings_new(kSchema);
  GVariant* sources = g_settings_get_value(settings, "sources");
  std::optional<GnomeInputSource> first;
  if (g_variant_n_children(sources) > 0) {
    const gchar *type = nullptr, *id = nullptr;
    g_variant_get_child(sources, 0, "(&s&s)", &type, &id);
    first = GnomeInputSource{type, id, ""};
  }
  g_variant_unref(sources);
  g_object_unref(settings);
  // GNOME's own default when the list is empty: the US layout.
  return first ? first : GnomeInputSource{"xkb", "us", ""};
}

port::InputSourceRef GnomeInputSources::copyCurrentKeyboardInputSource() {
  if (auto list = extension_.inputSources()) {
    if (!list->current) return nullptr;
    return sourceOf(list->sources[*list->current]);
  }
  auto first = firstConfiguredSource();
  return first ? sourceOf(*first) : nullptr;
}

std::vector<port::InputSourceRef> GnomeInputSources::createInputSourceList(bool) {
  std::vector<port::InputSourceRef> sources;
  if (auto list = extension_.inputSources()) {
    for (const auto& source : list->sources) sources.push_back(sourceOf(source));
  }
  return sources;
}

port::StatusCode GnomeInputSources::selectInputSource(const port::InputSourceRef& source) {
  const auto* gnome = dynamic_cast<const GnomeSource*>(source.get());
  if (!gnome) return kParamErr;
  return extension_.selectInputSource(gnome->source.type, gnome->source.id) ? port::kSuccess
                                                                            : kParamErr;
}

}  // namespace zorv::linux_desktop

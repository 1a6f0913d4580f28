#include "linux/sway/sway_input_sources.h"

#include <glib.h>

#include <algorithm>
#include <cstdlib>

namespace zorv::linux_desktop {
namespace {

constexpr port::StatusCode kParamErr = -50;

// The rules file xkbcommon itself reads.
std::string rulesFile() {
  const char* root = std::getenv("XKB_CONFIG_ROOT");
  return std::string(root && *root ? root : "/usr/share/X11/xkb") + "/rules/evdev.xml";
}

// <layout><configItem><name>de</name><description>German</description>...
// <variantList><variant><configItem><name>nodeadkeys</name><description>...
struct RulesParser {
  std::vector<std::string> path;
  std::string layout, name, description, text;
  std::map<std::string, std::string> ids;

  bool inConfigItem() const { return path.size() >= 2 && path[path.size() - 2] == "configItem"; }
};

const GMarkupParser rulesParser = {
    [](GMarkupParseContext*, const gchar* element, const gchar**, const gchar**, gpointer data,
       GError**) {
      auto* p = static_cast<RulesParser*>(data);
      p->path.emplace_back(element);
      p->text.clear();
    },
    [](GMarkupParseContext*, const gchar* element, gpointer data, GError**) {
      auto* p = static_cast<RulesParser*>(data);
      const std::string e = element;
      if (p->inConfigItem() && e == "name") p->name = p->text;
      if (p->inConfigItem() && e == "description") p->description = p->text;
      if (e == "configItem" && p->path.size() >= 2) {
        const std::string& owner = p->path[p->path.size() - 2];
        if (owner == "layout") {
          p->layout = p->name;
          p->ids.emplace(p->description, p->name);
        } else if (owner == "variant" && !p->layout.empty()) {
          p->ids.emplace(p->description, p->layout + "(" + p->name + ")");
        }
      }
      if (e == "layout") p->layout.clear();
      p->path.pop_back();
    },
    [](GMarkupParseContext*, const gchar* text, gsize length, gpointer data, GError**) {
      static_cast<RulesParser*>(data)->text.append(text, length);
    },
    nullptr,
    nullptr,
};

}  // namespace

std::map<std::string, std::string> layoutIdsByDescription(const std::string& rulesXml) {
  RulesParser parser;
  GMarkupParseContext* context =
      g_markup_parse_context_new(&rulesParser, G_MARKUP_DEFAULT_FLAGS, &parser, nullptr);
  g_markup_parse_context_parse(context, rulesXml.data(), static_cast<gssize>(rulesXml.size()),
                               nullptr);
  g_markup_parse_context_end_parse(context, nullptr);
  g_markup_parse_context_free(context);
  return parser.ids;
}

std::optional<SwayKeyboardLayouts> sessionKeyboardLayouts(const nlohmann::json& inputs) {
  if (!inputs.is_array()) return std::nullopt;
  const nlohmann::json* chosen = nullptr;
  for (const auto& input : inputs) {
    if (!input.is_object() || input.value("type", "") != "keyboard" ||
        !input.contains("xkb_layout_names")) {
      continue;
    }
    const bool isVirtual = input.value("identifier", "").find("virtual") != std::string::npos;
    if (!chosen ||
        (!isVirtual && chosen->value("identifier", "").find("virtual") != std::string::npos)) {
      chosen = &input;
    }
  }
  if (!chosen) return std::nullopt;
  SwayKeyboardLayouts layouts;
  for (const auto& name : (*chosen)["xkb_layout_names"]) {
    layouts.names.push_back(name.is_string() ? name.get<std::string>() : std::string());
  }
  if (auto it = chosen->find("xkb_active_layout_index");
      it != chosen->end() && it->is_number_unsigned()) {
    layouts.active = it->get<std::size_t>();
  }
  return layouts;
}

SwayInputSources::SwayInputSources(const SwayIpc* ipc, std::function<KeymapRef()> keymap)
    : ipc_(ipc), keymap_(std::move(keymap)) {
  // Reading the layout costs a request per keystroke; a change of any
  // keyboard's layout or keymap makes the next keystroke ask again.
  if (ipc_)
    inputEvents_.emplace(*ipc_, R"(["input"])",
                         [this](std::uint32_t, const nlohmann::json&) { active_.reset(); });
}

const std::map<std::string, std::string>& SwayInputSources::ids() {
  if (!ids_) {
    gchar* text = nullptr;
    gsize length = 0;
    ids_.emplace();
    if (g_file_get_contents(rulesFile().c_str(), &text, &length, nullptr)) {
      *ids_ = layoutIdsByDescription(std::string(text, length));
      g_free(text);
    }
  }
  return *ids_;
}

std::optional<SwayInputSources::Layouts> SwayInputSources::readLayouts() {
  if (!ipc_) return std::nullopt;
  auto inputs = ipc_->request(SwayIpc::Message::getInputs);
  if (!inputs) return std::nullopt;
  auto keyboard = sessionKeyboardLayouts(*inputs);
  if (!keyboard) return std::nullopt;
  const KeymapRef keymap = keymap_ ? keymap_() : nullptr;
  Layouts layouts;
  layouts.active = keyboard->active;
  for (std::size_t i = 0; i < keyboard->names.size(); ++i) {
    auto source = std::make_shared<LayoutSource>();
    source->name = keyboard->names[i];
    if (auto id = ids().find(source->name); id != ids().end()) source->id = id->second;
    if (keymap && i < xkb_keymap_num_layouts(keymap.get())) {
      source->layout = std::make_shared<XkbLayout>(keymap, xkb_layout_index_t(i));
    }
    layouts.sources.push_back(std::move(source));
  }
  return layouts;
}

std::optional<xkb_layout_index_t> SwayInputSources::activeLayout() {
  if (active_ && inputEvents_->open()) return active_;
  if (!ipc_) return std::nullopt;
  auto inputs = ipc_->request(SwayIpc::Message::getInputs);
  if (!inputs) return std::nullopt;
  auto keyboard = sessionKeyboardLayouts(*inputs);
  if (!keyboard || !keyboard->active) return std::nullopt;
  active_ = static_cast<xkb_layout_index_t>(*keyboard->active);
  return active_;
}

port::InputSourceRef SwayInputSources::copyCurrentKeyboardInputSource() {
  auto layouts = readLayouts();
  if (!layouts || !layouts->active || *layouts->active >= layouts->sources.size()) return nullptr;
  return layouts->sources[*layouts->active];
}

std::vector<port::InputSourceRef> SwayInputSources::createInputSourceList(bool) {
  auto layouts = readLayouts();
  if (!layouts) return {};
  return {layouts->sources.begin(), layouts->sources.end()};
}

port::StatusCode SwayInputSources::selectInputSource(const port::InputSourceRef& source) {
  const auto* wanted = dynamic_cast<const LayoutSource*>(source.get());
  if (!wanted || !wanted->id) return kParamErr;
  const auto layouts = readLayouts();
  if (!layouts) return kParamErr;
  const auto& now = layouts->sources;
  const auto found = std::find_if(now.begin(), now.end(),
                                  [&](const auto& layout) { return layout->id == wanted->id; });
  if (found == now.end()) return kParamErr;
  // An absolute index: "next" and "prev" have crashed sway 1.7 while a virtual
  // keyboard existed.
  const auto index = found - now.begin();
  active_.reset();
  return ipc_->command("input type:keyboard xkb_switch_layout " + std::to_string(index))
             ? port::kSuccess
             : kParamErr;
}

}  // namespace zorv::linux_desktop

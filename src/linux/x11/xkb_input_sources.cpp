#include "linux/x11/xkb_input_sources.h"

#include <X11/XKBlib.h>
#include <xkbcommon/xkbcommon-x11.h>

#include <algorithm>

namespace zorv::linux_desktop {
namespace {

// The platform's "error in user parameter list".
constexpr port::StatusCode kParamErr = -50;

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t begin = 0;
  while (true) {
    const auto end = text.find(separator, begin);
    parts.push_back(text.substr(begin, end - begin));
    if (end == std::string::npos) return parts;
    begin = end + 1;
  }
}

}  // namespace

std::vector<std::string> inputSourceIDs(const std::string& rulesNames) {
  const auto fields = split(rulesNames, '\0');
  if (fields.size() < 3 || fields[2].empty()) return {};
  const auto layouts = split(fields[2], ',');
  const auto variants = fields.size() > 3 ? split(fields[3], ',') : std::vector<std::string>{};
  std::vector<std::string> ids;
  for (std::size_t i = 0; i < layouts.size(); ++i) {
    std::string id = layouts[i];
    if (i < variants.size() && !variants[i].empty()) id += "(" + variants[i] + ")";
    ids.push_back(std::move(id));
  }
  return ids;
}

XkbTextInputSources::XkbTextInputSources(X11Display* display)
    : display_(display), context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {}

XkbTextInputSources::~XkbTextInputSources() {
  if (xcb_) xcb_disconnect(xcb_);
  if (context_) xkb_context_unref(context_);
}

bool XkbTextInputSources::connect() {
  if (connectTried_) return xcb_ != nullptr;
  connectTried_ = true;
  if (!display_ || !context_) return false;
  xcb_connection_t* connection = xcb_connect(DisplayString(display_->get()), nullptr);
  if (xcb_connection_has_error(connection) ||
      !xkb_x11_setup_xkb_extension(
          connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
          XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr)) {
    xcb_disconnect(connection);
    return false;
  }
  device_ = xkb_x11_get_core_keyboard_device_id(connection);
  if (device_ < 0) {
    xcb_disconnect(connection);
    return false;
  }
  xcb_ = connection;
  return true;
}

std::optional<XkbTextInputSources::Groups> XkbTextInputSources::readGroups() {
  if (!connect()) return std::nullopt;
  auto keymap = adoptKeymap(
      xkb_x11_keymap_new_from_device(context_, xcb_, device_, XKB_KEYMAP_COMPILE_NO_FLAGS));
  if (!keymap) return std::nullopt;
  std::unique_ptr<xkb_state, void (*)(xkb_state*)> state(
      xkb_x11_state_new_from_device(keymap.get(), xcb_, device_), xkb_state_unref);
  if (!state) return std::nullopt;

  const auto ids =
      inputSourceIDs(display_->stringProperty(display_->root(), "_XKB_RULES_NAMES").value_or(""));
  Groups groups;
  const auto count = xkb_keymap_num_layouts(keymap.get());
  for (xkb_layout_index_t group = 0; group < count; ++group) {
    auto source = std::make_shared<LayoutSource>();
    if (group < ids.size() && !ids[group].empty()) source->id = ids[group];
    const char* name = xkb_keymap_layout_get_name(keymap.get(), group);
    source->name = name ? name : "";
    source->layout = std::make_shared<XkbLayout>(keymap, group);
    groups.sources.push_back(std::move(source));
  }
  groups.locked = xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_LOCKED);
  return groups;
}

port::InputSourceRef XkbTextInputSources::copyCurrentKeyboardInputSource() {
  auto groups = readGroups();
  if (!groups || groups->locked >= groups->sources.size()) return nullptr;
  return groups->sources[groups->locked];
}

std::vector<port::InputSourceRef> XkbTextInputSources::createInputSourceList(bool) {
  auto groups = readGroups();
  if (!groups) return {};
  return {groups->sources.begin(), groups->sources.end()};
}

port::StatusCode XkbTextInputSources::selectInputSource(const port::InputSourceRef& source) {
  const auto* wanted = dynamic_cast<const LayoutSource*>(source.get());
  if (!wanted || !wanted->id || !display_) return kParamErr;
  // The layouts may have been reordered, or removed, since the source was read:
  // find where its layout is now.
  const auto groups = readGroups();
  if (!groups) return kParamErr;
  const auto& now = groups->sources;
  const auto found = std::find_if(now.begin(), now.end(),
                                  [&](const auto& group) { return group->id == wanted->id; });
  if (found == now.end()) return kParamErr;
  const auto group = static_cast<unsigned>(found - now.begin());
  if (!XkbLockGroup(display_->get(), XkbUseCoreKbd, group)) return kParamErr;
  // Selected means selected when this returns, for this client's next keystroke
  // and for everyone else.
  XSync(display_->get(), False);
  return port::kSuccess;
}

}  // namespace zorv::linux_desktop

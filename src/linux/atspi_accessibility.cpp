#include "linux/atspi_accessibility.h"

#include <atspi/atspi-constants.h>

#include <string>

#include "linux/atspi/atspi_observer.h"
#include "linux/atspi/key_binding.h"
#include "linux/atspi/menu_opening.h"
#include "linux/atspi/menu_press.h"
#include "linux/atspi/menu_structure.h"

namespace zorv::linux_desktop {
namespace {

constexpr port::StatusCode kIllegalArgument = -25201;
constexpr port::StatusCode kInvalidUIElement = -25202;
constexpr port::StatusCode kCannotComplete = -25204;
constexpr port::StatusCode kAttributeUnsupported = -25205;
constexpr port::StatusCode kActionUnsupported = -25206;
constexpr port::StatusCode kNotImplemented = -25208;
constexpr port::StatusCode kNoValue = -25212;
constexpr int kBusTimeoutMs = 5000;
// The platform's default messaging timeout.
constexpr int kDefaultTimeoutMs = 6000;

constexpr const char* kAccessible = "org.a11y.atspi.Accessible";

bool has(std::uint64_t states, AtspiStateType state) {
  return (states >> state) & 1u;
}

bool isWindowRole(std::uint32_t role) {
  return role == ATSPI_ROLE_FRAME || role == ATSPI_ROLE_WINDOW || role == ATSPI_ROLE_DIALOG ||
         role == ATSPI_ROLE_ALERT || role == ATSPI_ROLE_FILE_CHOOSER;
}

// The platform's role for an AT-SPI role outside menus (menu_structure.h maps
// those).
const char* platformRole(std::uint32_t role) {
  switch (role) {
    case ATSPI_ROLE_APPLICATION:
      return "AXApplication";
    case ATSPI_ROLE_FRAME:
    case ATSPI_ROLE_WINDOW:
    case ATSPI_ROLE_DIALOG:
    case ATSPI_ROLE_ALERT:
    case ATSPI_ROLE_FILE_CHOOSER:
      return "AXWindow";
    case ATSPI_ROLE_MENU_BAR:
      return "AXMenuBar";
    case ATSPI_ROLE_PUSH_BUTTON:
      return "AXButton";
    case ATSPI_ROLE_CHECK_BOX:
    case ATSPI_ROLE_TOGGLE_BUTTON:
      return "AXCheckBox";
    case ATSPI_ROLE_RADIO_BUTTON:
      return "AXRadioButton";
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_PASSWORD_TEXT:
      return "AXTextField";
    case ATSPI_ROLE_TEXT:
      return "AXTextArea";
    case ATSPI_ROLE_LABEL:
    case ATSPI_ROLE_STATIC:
      return "AXStaticText";
    case ATSPI_ROLE_PANEL:
    case ATSPI_ROLE_FILLER:
    case ATSPI_ROLE_SECTION:
    case ATSPI_ROLE_GROUPING:
    case ATSPI_ROLE_STATUS_BAR:
      return "AXGroup";
    case ATSPI_ROLE_SCROLL_PANE:
      return "AXScrollArea";
    case ATSPI_ROLE_SCROLL_BAR:
      return "AXScrollBar";
    case ATSPI_ROLE_SLIDER:
      return "AXSlider";
    case ATSPI_ROLE_COMBO_BOX:
      return "AXComboBox";
    case ATSPI_ROLE_LIST:
    case ATSPI_ROLE_LIST_BOX:
      return "AXList";
    case ATSPI_ROLE_TABLE:
      return "AXTable";
    case ATSPI_ROLE_TREE:
    case ATSPI_ROLE_TREE_TABLE:
      return "AXOutline";
    case ATSPI_ROLE_PAGE_TAB_LIST:
      return "AXTabGroup";
    case ATSPI_ROLE_PROGRESS_BAR:
      return "AXProgressIndicator";
    case ATSPI_ROLE_TOOL_BAR:
      return "AXToolbar";
    case ATSPI_ROLE_IMAGE:
    case ATSPI_ROLE_ICON:
      return "AXImage";
    case ATSPI_ROLE_LINK:
      return "AXLink";
    case ATSPI_ROLE_SPIN_BUTTON:
      return "AXIncrementor";
    case ATSPI_ROLE_SPLIT_PANE:
      return "AXSplitGroup";
    default:
      return "AXUnknown";
  }
}

template <class T>
port::AXResult<port::Value> failed(const port::AXResult<T>& r) {
  return {r.code, {}};
}

port::Array elementArray(const std::vector<port::ElementRef>& elements) {
  port::Array array;
  for (const auto& e : elements) array.emplace_back(e);
  return array;
}

}  // namespace

AtspiAccessibility::AtspiAccessibility(GDBusConnection* sessionBus, WindowFocus* focus,
                                       WindowRaiser* raiser)
    : sessionBus_(sessionBus ? G_DBUS_CONNECTION(g_object_ref(sessionBus)) : nullptr),
      focus_(focus),
      raiser_(raiser),
      bus_(sessionBus),
      snapshot_(bus_) {}

AtspiAccessibility::~AtspiAccessibility() {
  if (sessionBus_) g_object_unref(sessionBus_);
}

bool AtspiAccessibility::isProcessTrustedWithOptions(bool prompt) {
  bool trusted = false;
  if (prompt) {
    // The start-up check: trusted when the accessibility bus answers, and
    // toolkits are asked to turn their support on.
    trusted = bus_.connect();
    if (sessionBus_) {
      launcher_ = launcherName();
      g_dbus_connection_call(
          sessionBus_, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
          g_variant_new("(ssv)", "org.a11y.Status", "IsEnabled", g_variant_new_boolean(TRUE)),
          nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, kBusTimeoutMs, nullptr, nullptr, nullptr);
    }
  } else {
    // Later checks only read. Accessibility switched off is a verdict; a bus
    // that cannot be reached right now is the failure of the action that needs
    // it, reported by that action.
    trusted = sessionBus_ && !switchedOff();
  }
  if (!trusted && onUntrusted_) onUntrusted_();
  return trusted;
}

std::string AtspiAccessibility::launcherName() {
  GVariant* reply = g_dbus_connection_call_sync(
      sessionBus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
      "GetNameOwner", g_variant_new("(s)", "org.a11y.Bus"), G_VARIANT_TYPE("(s)"),
      G_DBUS_CALL_FLAGS_NONE, kBusTimeoutMs, nullptr, nullptr);
  if (!reply) return {};
  const gchar* name = nullptr;
  g_variant_get(reply, "(&s)", &name);
  std::string owner = name;
  g_variant_unref(reply);
  return owner;
}

bool AtspiAccessibility::switchedOff() {
  // Asked of the launcher that was switched on at start-up: one started since
  // (the service was restarted) has its own default and never heard the helper.
  if (launcher_.empty()) return false;
  GVariant* reply = g_dbus_connection_call_sync(
      sessionBus_, launcher_.c_str(), "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", "org.a11y.Status", "IsEnabled"), G_VARIANT_TYPE("(v)"),
      G_DBUS_CALL_FLAGS_NO_AUTO_START, kBusTimeoutMs, nullptr, nullptr);
  if (!reply) return false;
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  const bool off =
      g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && !g_variant_get_boolean(value);
  g_variant_unref(value);
  g_variant_unref(reply);
  return off;
}

port::ElementRef AtspiAccessibility::createApplication(port::Pid pid) {
  return AtspiElement::application(pid);
}

port::ElementRef AtspiAccessibility::createSystemWide() {
  return AtspiElement::systemWide();
}

int AtspiAccessibility::timeoutMs(const AtspiElement& element) const {
  return element.timeout() > 0 ? static_cast<int>(element.timeout() * 1000) : kDefaultTimeoutMs;
}

std::variant<AtspiRef, port::StatusCode> AtspiAccessibility::resolve(const AtspiElement& element) {
  if (element.kind() != AtspiElement::Kind::application) return element.ref();
  if (!bus_.connect()) return port::StatusCode{-25211};
  auto app = bus_.applicationOf(element.pid(), timeoutMs(element));
  // A process that is not on the accessibility bus cannot answer.
  if (!app) return kCannotComplete;
  return *app;
}

port::ElementRef AtspiAccessibility::elementFor(const AtspiRef& ref, int timeout) {
  if (ref.path == kRootPath) {
    if (auto pid = bus_.pidOf(ref.bus, timeout)) return AtspiElement::application(*pid);
  }
  return AtspiElement::object(ref);
}

port::AXResult<std::uint32_t> AtspiAccessibility::role(const AtspiRef& ref, int timeout) {
  auto reply = snapshot_.read(ref, AtspiSnapshot::Read::role, timeout);
  if (!reply.ok()) return {reply.code, 0};
  std::uint32_t value = 0;
  g_variant_get(reply.value.get(), "(u)", &value);
  return {0, value};
}

port::AXResult<std::uint64_t> AtspiAccessibility::states(const AtspiRef& ref, int timeout) {
  auto reply = snapshot_.read(ref, AtspiSnapshot::Read::states, timeout);
  if (!reply.ok()) return {reply.code, 0};
  GVariantIter* iter = nullptr;
  g_variant_get(reply.value.get(), "(au)", &iter);
  std::uint64_t bits = 0;
  guint32 word = 0;
  for (int i = 0; i < 2 && g_variant_iter_next(iter, "u", &word); ++i) {
    bits |= std::uint64_t(word) << (32 * i);
  }
  g_variant_iter_free(iter);
  // An object whose widget is gone answers for a while with this state.
  if (has(bits, ATSPI_STATE_DEFUNCT)) return {kInvalidUIElement, 0};
  return {0, bits};
}

port::AXResult<std::string> AtspiAccessibility::name(const AtspiRef& ref, int timeout) {
  auto reply = snapshot_.read(ref, AtspiSnapshot::Read::name, timeout);
  if (!reply.ok()) return {reply.code, {}};
  if (!g_variant_is_of_type(reply.value.get(), G_VARIANT_TYPE_STRING)) return {kNoValue, {}};
  return {0, g_variant_get_string(reply.value.get(), nullptr)};
}

port::AXResult<std::vector<AtspiRef>> AtspiAccessibility::children(const AtspiRef& ref,
                                                                   int timeout) {
  auto reply = snapshot_.read(ref, AtspiSnapshot::Read::children, timeout);
  if (!reply.ok()) return {reply.code, {}};
  std::vector<AtspiRef> list;
  GVariantIter* iter = nullptr;
  g_variant_get(reply.value.get(), "(a(so))", &iter);
  const gchar* bus = nullptr;
  const gchar* path = nullptr;
  while (g_variant_iter_next(iter, "(&s&o)", &bus, &path)) {
    if (std::string(path) != kNullPath) list.push_back(bus_.object(bus, path));
  }
  g_variant_iter_free(iter);
  return {0, list};
}

port::AXResult<AtspiRef> AtspiAccessibility::parent(const AtspiRef& ref, int timeout) {
  auto reply = snapshot_.read(ref, AtspiSnapshot::Read::parent, timeout);
  if (!reply.ok()) return {reply.code, {}};
  const gchar* bus = nullptr;
  const gchar* path = nullptr;
  if (!g_variant_is_of_type(reply.value.get(), G_VARIANT_TYPE("(so)"))) return {kNoValue, {}};
  g_variant_get(reply.value.get(), "(&s&o)", &bus, &path);
  if (std::string(path) == kNullPath) return {kNoValue, {}};
  return {0, bus_.object(bus, path)};
}

port::AXResult<port::Rect> AtspiAccessibility::extents(const AtspiRef& ref, int timeout) {
  auto reply = snapshot_.read(ref, AtspiSnapshot::Read::extents, timeout);
  if (!reply.ok()) return {reply.code, {}};
  gint32 x = 0, y = 0, w = 0, h = 0;
  g_variant_get(reply.value.get(), "((iiii))", &x, &y, &w, &h);
  return {0, port::Rect{{double(x), double(y)}, {double(w), double(h)}}};
}

// One string per call: GetActions makes the application produce every name,
// description and binding of its actions before it sends any, and Firefox hands
// them all out in one buffer that each string overwrites (and may move), so the
// reply can carry freed memory, which ends Firefox when it is not UTF-8.
port::AXResult<std::string> AtspiAccessibility::keyBinding(const AtspiRef& ref, int timeout) {
  auto reply = snapshot_.read(ref, AtspiSnapshot::Read::keyBinding, timeout);
  if (!reply.ok()) return {reply.code, {}};
  const gchar* binding = nullptr;
  g_variant_get(reply.value.get(), "(&s)", &binding);
  return {0, binding};
}

port::AXResult<std::vector<AtspiRef>> AtspiAccessibility::windows(const AtspiRef& app,
                                                                  int timeout) {
  auto all = children(app, timeout);
  if (!all.ok()) return all;
  std::vector<AtspiRef> found;
  for (const auto& child : all.value) {
    auto r = role(child, timeout);
    if (r.ok() && isWindowRole(r.value)) found.push_back(child);
  }
  return {0, found};
}

std::optional<AtspiRef> AtspiAccessibility::activeWindow(const AtspiRef& app, int timeout) {
  auto all = windows(app, timeout);
  if (!all.ok()) return std::nullopt;
  for (const auto& window : all.value) {
    auto s = states(window, timeout);
    if (s.ok() && has(s.value, ATSPI_STATE_ACTIVE)) return window;
  }
  return std::nullopt;
}

std::optional<AtspiRef> AtspiAccessibility::menuBarBelow(const std::vector<AtspiRef>& windows,
                                                         int timeout) {
  auto value = [](auto result) {
    return result.ok() ? std::optional(std::move(result.value)) : std::nullopt;
  };
  menu_structure::Reader reader{[&](const AtspiRef& ref) { return value(role(ref, timeout)); },
                                [&](const AtspiRef& ref) { return value(children(ref, timeout)); },
                                [&](const AtspiRef& ref) { return value(states(ref, timeout)); },
                                [&](const AtspiRef& ref) { return value(extents(ref, timeout)); },
                                [&](const AtspiRef& ref) { return value(parent(ref, timeout)); },
                                [&](const std::vector<AtspiRef>& objects) {
                                  if (bus_.connect()) snapshot_.readLevel(objects, timeout);
                                }};
  // The bar found last time below the same windows is checked first, in one
  // batch: a search reads every object above the bar's level.
  if (menuBarHint_ && menuBarHint_->windows == windows) {
    using Read = AtspiSnapshot::Read;
    const auto& path = menuBarHint_->place.path;
    std::vector<std::pair<AtspiRef, Read>> wanted = {{path.back(), Read::states},
                                                     {path.back(), Read::extents}};
    for (std::size_t i = 1; i < path.size(); ++i) {
      for (auto what : {Read::parent, Read::role}) wanted.emplace_back(path[i], what);
    }
    if (bus_.connect()) snapshot_.readAll(std::move(wanted), timeout);
    if (menu_structure::stillSeen(menuBarHint_->place, reader)) return menuBarHint_->place.bar();
  }
  menuBarHint_.reset();
  auto place = menu_structure::menuBarOf(windows, reader);
  if (!place) return std::nullopt;
  if (place->seen) menuBarHint_ = MenuBarHint{windows, *place};
  return place->bar();
}

port::AXResult<port::Value> AtspiAccessibility::systemWideAttribute(const std::string& attribute,
                                                                    int timeout) {
  if (attribute == "AXRole") return {0, std::string("AXSystemWide")};
  if (attribute != "AXFocusedApplication") return {kAttributeUnsupported, {}};
  if (!bus_.connect()) return {-25211, {}};
  if (focus_) {
    // The owner of the focused window, as the frontmost application is found:
    // toolkits may leave a window's ACTIVE state set for a while after another
    // application came forward. One that is not on the accessibility bus has
    // no element to give.
    auto window = focus_->focusedWindow();
    if (!window || !bus_.applicationOf(window->pid, timeout)) return {kNoValue, {}};
    return {0, AtspiElement::application(window->pid)};
  }
  // Without a window manager to ask: the application with an ACTIVE window.
  for (const auto& app : bus_.applications(timeout)) {
    if (!activeWindow({app.bus, kRootPath, app.connection}, timeout)) continue;
    if (auto pid = bus_.pidOf(app.bus, timeout)) return {0, AtspiElement::application(*pid)};
  }
  return {kNoValue, {}};
}

port::AXResult<port::Value> AtspiAccessibility::applicationAttribute(const AtspiRef& app,
                                                                     port::Pid pid,
                                                                     const std::string& attribute,
                                                                     int timeout) {
  (void)pid;
  if (attribute == "AXRole") return {0, std::string("AXApplication")};
  if (attribute == "AXTitle") {
    auto n = name(app, timeout);
    if (!n.ok()) return failed(n);
    return {0, n.value};
  }
  if (attribute == "AXChildren" || attribute == "AXWindows") {
    auto all = windows(app, timeout);
    if (!all.ok()) return failed(all);
    std::vector<port::ElementRef> elements;
    for (const auto& w : all.value) elements.push_back(AtspiElement::object(w));
    return {0, elementArray(elements)};
  }
  if (attribute == "AXMainWindow" || attribute == "AXFocusedWindow") {
    auto window = activeWindow(app, timeout);
    if (!window) return {kNoValue, {}};
    return {0, AtspiElement::object(*window)};
  }
  if (attribute == "AXFrontmost") return {0, activeWindow(app, timeout).has_value()};
  if (attribute == "AXMenuBar") {
    // The menu bar of the active window, else the first window's that has one.
    std::vector<AtspiRef> candidates;
    if (auto active = activeWindow(app, timeout)) candidates.push_back(*active);
    auto all = windows(app, timeout);
    if (!all.ok()) return failed(all);
    for (const auto& window : all.value) {
      if (candidates.empty() || window != candidates.front()) candidates.push_back(window);
    }
    if (auto bar = menuBarBelow(candidates, timeout)) return {0, AtspiElement::object(*bar)};
    return {kNoValue, {}};
  }
  return {kAttributeUnsupported, {}};
}

port::AXResult<port::Value> AtspiAccessibility::submenuAttribute(const AtspiRef& ref,
                                                                 const std::string& attribute,
                                                                 int timeout) {
  if (attribute == "AXRole") return {0, std::string("AXMenu")};
  if (attribute == "AXParent") return {0, AtspiElement::object(ref)};
  if (attribute == "AXEnabled") return {0, true};
  if (attribute == "AXChildren") {
    auto kids = children(ref, timeout);
    if (!kids.ok()) return failed(kids);
    // Some applications fill a menu in only when it opens.
    if (kids.value.empty()) kids.value = MenuOpening(bus_).itemsByOpening(ref, timeout);
    std::vector<port::ElementRef> elements;
    for (const auto& kid : kids.value) elements.push_back(AtspiElement::object(kid));
    return {0, elementArray(elements)};
  }
  return {kAttributeUnsupported, {}};
}

port::AXResult<port::Value> AtspiAccessibility::objectAttribute(const AtspiRef& ref,
                                                                const std::string& attribute,
                                                                int timeout) {
  if (attribute == "AXTitle") {
    // A separator has no title, whatever its name says; its name is not even
    // asked when its role is known already.
    if (snapshot_.knownRole(ref) == ATSPI_ROLE_SEPARATOR) return {0, std::string()};
    auto n = name(ref, timeout);
    if (!n.ok()) return failed(n);
    if (n.value.empty()) return {0, n.value};
    // The role decides about a title that is there: dropped for a separator,
    // trimmed of padding in menus. Menus' roles are read with their names.
    auto r = role(ref, timeout);
    if (r.ok() && r.value == ATSPI_ROLE_SEPARATOR) return {0, std::string()};
    if (r.ok() && menu_structure::isMenuRole(r.value)) {
      return {0, menu_structure::trimmedTitle(n.value)};
    }
    return {0, n.value};
  }
  if (attribute == "AXEnabled" || attribute == "AXFocused" || attribute == "AXMain" ||
      attribute == "AXMinimized") {
    auto s = states(ref, timeout);
    if (!s.ok()) return failed(s);
    if (attribute == "AXEnabled") {
      // A separator is no item to choose: disabled, as the platform has it.
      auto r = role(ref, timeout);
      if (r.ok() && r.value == ATSPI_ROLE_SEPARATOR) return {0, false};
      return {0, has(s.value, ATSPI_STATE_ENABLED) && has(s.value, ATSPI_STATE_SENSITIVE)};
    }
    if (attribute == "AXFocused") return {0, has(s.value, ATSPI_STATE_FOCUSED)};
    if (attribute == "AXMinimized") return {0, has(s.value, ATSPI_STATE_ICONIFIED)};
    auto r = role(ref, timeout);
    if (!r.ok()) return failed(r);
    if (!isWindowRole(r.value)) return {kAttributeUnsupported, {}};
    return {0, has(s.value, ATSPI_STATE_ACTIVE)};
  }
  if (attribute == "AXSize" || attribute == "AXPosition" || attribute == "AXFrame") {
    auto e = extents(ref, timeout);
    if (!e.ok()) return failed(e);
    if (attribute == "AXSize") return {0, e.value.size};
    if (attribute == "AXPosition") return {0, e.value.origin};
    return {0, e.value};
  }
  if (attribute == "AXMenuItemCmdChar" || attribute == "AXMenuItemCmdModifiers") {
    auto binding = keyBinding(ref, timeout);
    if (!binding.ok()) return failed(binding);
    auto shortcut = menuShortcutFromKeyBinding(binding.value);
    if (!shortcut) return {kNoValue, {}};
    if (attribute == "AXMenuItemCmdChar") return {0, shortcut->character};
    return {0, port::Number{shortcut->modifiers}};
  }
  if (attribute == "AXParent") {
    auto p = parent(ref, timeout);
    if (!p.ok()) return failed(p);
    // Below a menu, the parent is the menu's submenu.
    auto pr = role(p.value, timeout);
    if (pr.ok() && pr.value == ATSPI_ROLE_MENU) return {0, AtspiElement::submenuOf(p.value)};
    return {0, elementFor(p.value, timeout)};
  }

  auto r = role(ref, timeout);
  if (!r.ok()) return failed(r);
  if (attribute == "AXRole") {
    if (!menu_structure::isMenuRole(r.value)) return {0, std::string(platformRole(r.value))};
    bool inMenuBar = false;
    if (menu_structure::roleDependsOnParent(r.value)) {
      auto p = parent(ref, timeout);
      if (p.ok()) {
        auto pr = role(p.value, timeout);
        inMenuBar = pr.ok() && pr.value == ATSPI_ROLE_MENU_BAR;
      }
    }
    return {0, std::string(menu_structure::platformRole(r.value, inMenuBar))};
  }
  if (attribute == "AXChildren") {
    if (menu_structure::isMenuRole(r.value)) {
      switch (menu_structure::childrenOf(r.value)) {
        case menu_structure::Children::syntheticMenu:
          return {0, elementArray({AtspiElement::submenuOf(ref)})};
        case menu_structure::Children::none:
          return {0, port::Array{}};
        case menu_structure::Children::own:
          break;
      }
    }
    auto kids = children(ref, timeout);
    if (!kids.ok()) return failed(kids);
    std::vector<port::ElementRef> elements;
    for (const auto& kid : kids.value) elements.push_back(elementFor(kid, timeout));
    return {0, elementArray(elements)};
  }
  if (attribute == "AXWindows" || attribute == "AXMenuBar" || attribute == "AXMainWindow") {
    return {kAttributeUnsupported, {}};
  }
  return {kAttributeUnsupported, {}};
}

port::AXResult<port::Value> AtspiAccessibility::copyAttributeValue(const port::ElementRef& element,
                                                                   const std::string& attribute) {
  const auto* e = dynamic_cast<const AtspiElement*>(element.get());
  if (!e) return {kIllegalArgument, {}};
  const int timeout = timeoutMs(*e);
  if (e->kind() == AtspiElement::Kind::systemWide) return systemWideAttribute(attribute, timeout);
  auto resolved = resolve(*e);
  if (auto* code = std::get_if<port::StatusCode>(&resolved)) return {*code, {}};
  const auto& ref = std::get<AtspiRef>(resolved);
  switch (e->kind()) {
    case AtspiElement::Kind::application:
      return applicationAttribute(ref, e->pid(), attribute, timeout);
    case AtspiElement::Kind::submenu:
      return submenuAttribute(ref, attribute, timeout);
    default:
      return objectAttribute(ref, attribute, timeout);
  }
}

port::AXResult<std::vector<std::string>> AtspiAccessibility::copyAttributeNames(
    const port::ElementRef& element) {
  const auto* e = dynamic_cast<const AtspiElement*>(element.get());
  if (!e) return {kIllegalArgument, {}};
  switch (e->kind()) {
    case AtspiElement::Kind::systemWide:
      return {0, {"AXRole", "AXFocusedApplication"}};
    case AtspiElement::Kind::application:
      return {0,
              {"AXRole", "AXTitle", "AXChildren", "AXWindows", "AXMainWindow", "AXFocusedWindow",
               "AXFrontmost", "AXMenuBar"}};
    case AtspiElement::Kind::submenu:
      return {0, {"AXRole", "AXParent", "AXEnabled", "AXChildren"}};
    case AtspiElement::Kind::object:
      break;
  }
  return {0,
          {"AXRole", "AXTitle", "AXChildren", "AXParent", "AXEnabled", "AXFocused", "AXSize",
           "AXPosition", "AXFrame", "AXMenuItemCmdChar", "AXMenuItemCmdModifiers"}};
}

port::AXResult<port::Array> AtspiAccessibility::copyAttributeValues(const port::ElementRef& element,
                                                                    const std::string& attribute,
                                                                    std::int64_t index,
                                                                    std::int64_t maxValues) {
  auto value = copyAttributeValue(element, attribute);
  if (!value.ok()) return {value.code, {}};
  const auto* array = value.value.get<port::Array>();
  if (!array) return {kIllegalArgument, {}};
  port::Array out;
  for (std::int64_t i = std::max<std::int64_t>(index, 0);
       i < index + maxValues && i < std::int64_t(array->size()); ++i) {
    out.push_back((*array)[std::size_t(i)]);
  }
  return {0, out};
}

port::AXResult<std::int64_t> AtspiAccessibility::getAttributeValueCount(
    const port::ElementRef& element, const std::string& attribute) {
  auto value = copyAttributeValue(element, attribute);
  if (!value.ok()) return {value.code, 0};
  const auto* array = value.value.get<port::Array>();
  if (!array) return {kIllegalArgument, 0};
  return {0, std::int64_t(array->size())};
}

port::AXResult<bool> AtspiAccessibility::isAttributeSettable(const port::ElementRef& element,
                                                             const std::string& attribute) {
  auto value = copyAttributeValue(element, attribute);
  if (!value.ok() && value.code != kNoValue) return {value.code, false};
  // Only raising applications and windows is mapped.
  return {0, attribute == "AXFrontmost" || attribute == "AXMain"};
}

port::StatusCode AtspiAccessibility::setAttributeValue(const port::ElementRef& element,
                                                       const std::string& attribute,
                                                       const port::Value& value) {
  const auto* e = dynamic_cast<const AtspiElement*>(element.get());
  if (!e) return kIllegalArgument;
  auto current = copyAttributeValue(element, attribute);
  if (!current.ok() && current.code != kNoValue) return current.code;
  if (attribute != "AXFrontmost" && attribute != "AXMain") return kAttributeUnsupported;
  const bool* on = value.get<bool>();
  // The window manager can bring things forward, not send them back.
  if (!on || !*on) return kIllegalArgument;
  return raise(*e, attribute);
}

port::StatusCode AtspiAccessibility::raise(const AtspiElement& element,
                                           const std::string& attribute) {
  if (!raiser_) return kCannotComplete;
  const int timeout = timeoutMs(element);
  if (attribute == "AXFrontmost" && element.kind() == AtspiElement::Kind::application) {
    auto application = [&]() -> std::string {
      const auto resolved = resolve(element);
      const auto* app = std::get_if<AtspiRef>(&resolved);
      return app ? name(*app, timeout).value : std::string();
    };
    return raiser_->raiseApplication(element.pid(), application) ? 0 : kCannotComplete;
  }
  if (attribute == "AXMain" && element.kind() == AtspiElement::Kind::object) {
    auto title = name(element.ref(), timeout);
    if (!title.ok()) return title.code;
    auto pid = bus_.pidOf(element.ref().bus, timeout);
    if (!pid) return kInvalidUIElement;
    auto application = [&] {
      return name({element.ref().bus, kRootPath, element.ref().connection}, timeout).value;
    };
    return raiser_->raiseWindow(*pid, application, title.value) ? 0 : kInvalidUIElement;
  }
  return kAttributeUnsupported;
}

port::AXResult<port::Array> AtspiAccessibility::copyMultipleAttributeValues(
    const port::ElementRef& element, const std::vector<std::string>& attributes, std::uint32_t) {
  port::Array out;
  for (const auto& attribute : attributes) {
    auto value = copyAttributeValue(element, attribute);
    if (value.code == -25211 || value.code == kInvalidUIElement) return {value.code, {}};
    out.push_back(value.ok() ? value.value : port::Value(port::ErrorValue{value.code}));
  }
  return {0, out};
}

port::AXResult<std::vector<std::string>> AtspiAccessibility::copyParameterizedAttributeNames(
    const port::ElementRef&) {
  return {0, {}};
}

port::AXResult<port::Value> AtspiAccessibility::copyParameterizedAttributeValue(
    const port::ElementRef&, const std::string&, const port::Value&) {
  return {-25213, {}};  // ParameterizedAttributeUnsupported
}

port::AXResult<std::vector<std::string>> AtspiAccessibility::copyActionNames(
    const port::ElementRef& element) {
  const auto* e = dynamic_cast<const AtspiElement*>(element.get());
  if (!e) return {kIllegalArgument, {}};
  if (e->kind() != AtspiElement::Kind::object) return {0, {}};
  auto binding = keyBinding(e->ref(), timeoutMs(*e));
  if (binding.code == kAttributeUnsupported) return {0, {}};
  if (!binding.ok()) return {binding.code, {}};
  return {0, {"AXPress"}};
}

port::AXResult<std::string> AtspiAccessibility::copyActionDescription(
    const port::ElementRef& element, const std::string& action) {
  auto names = copyActionNames(element);
  if (!names.ok()) return {names.code, {}};
  if (action != "AXPress" || names.value.empty()) return {kActionUnsupported, {}};
  return {0, "press"};
}

port::StatusCode AtspiAccessibility::performAction(const port::ElementRef& element,
                                                   const std::string& action) {
  const auto* e = dynamic_cast<const AtspiElement*>(element.get());
  if (!e) return kIllegalArgument;
  if (action != "AXPress" || e->kind() != AtspiElement::Kind::object) return kActionUnsupported;
  const int timeout = timeoutMs(*e);
  // AT-SPI reports success for an insensitive item and nothing happens; the
  // platform refuses it.
  auto s = states(e->ref(), timeout);
  if (!s.ok()) return s.code;
  if (!has(s.value, ATSPI_STATE_SENSITIVE)) return kCannotComplete;
  // Some items take effect only while their menus are open.
  MenuOpening opening(bus_);
  std::optional<AtspiRef> opened;
  if (opening.needsOpenMenus(e->ref(), timeout)) opened = opening.openMenusAbove(e->ref(), timeout);
  const auto code = pressObject(bus_, opened.value_or(e->ref()), timeout);
  opening.closeAfterPress(timeout);
  return code;
}

port::AXResult<port::Pid> AtspiAccessibility::getPid(const port::ElementRef& element) {
  const auto* e = dynamic_cast<const AtspiElement*>(element.get());
  if (!e) return {kIllegalArgument, -1};
  switch (e->kind()) {
    case AtspiElement::Kind::application:
      return {0, e->pid()};
    case AtspiElement::Kind::systemWide:
      return {kIllegalArgument, -1};
    default:
      break;
  }
  if (!bus_.connect()) return {-25211, -1};
  auto pid = bus_.pidOf(e->ref().bus, timeoutMs(*e));
  if (!pid) return {kInvalidUIElement, -1};
  return {0, *pid};
}

port::StatusCode AtspiAccessibility::setMessagingTimeout(const port::ElementRef& element,
                                                         float seconds) {
  const auto* e = dynamic_cast<const AtspiElement*>(element.get());
  if (!e) return kIllegalArgument;
  e->setTimeout(seconds);
  return 0;
}

port::AXResult<port::ElementRef> AtspiAccessibility::copyElementAtPosition(const port::ElementRef&,
                                                                           float, float) {
  return {kNotImplemented, nullptr};
}

port::AXResult<std::unique_ptr<port::AXObserver>> AtspiAccessibility::createObserver(
    port::Pid pid, bool withInfo, port::AXObserverCallback callback) {
  if (!bus_.connect()) return {-25211, nullptr};
  auto app = bus_.applicationOf(pid, kDefaultTimeoutMs);
  // A process without an accessible application has nothing to observe.
  if (!app) return {kInvalidUIElement, nullptr};
  const AtspiRef root = *app;
  auto observer = std::make_unique<AtspiObserver>(
      bus_, bus_.connection(), focus_, root, pid, withInfo, std::move(callback),
      [this, root](const std::optional<std::string>& title) -> std::optional<std::string> {
        // The window manager may announce a window before its application has
        // marked it active: the title decides when there is one.
        auto active = activeWindow(root, kDefaultTimeoutMs);
        auto titled = [&](const AtspiRef& window) {
          if (!title) return false;
          auto n = name(window, kDefaultTimeoutMs);
          return n.ok() && n.value == *title;
        };
        if (active && (!title || titled(*active))) return active->path;
        if (title) {
          for (const auto& window : windows(root, kDefaultTimeoutMs).value) {
            if (titled(window)) return window.path;
          }
        }
        if (!active) return std::nullopt;
        return active->path;
      },
      [this](const AtspiRef& ref) { return elementFor(ref, kDefaultTimeoutMs); });
  return {0, std::move(observer)};
}

}  // namespace zorv::linux_desktop

#pragma once
// How toolkits lay out menus on the accessibility bus, and how the backend maps
// them onto the platform's one shape: menu bar → menu bar items → one menu
// (AXMenu) each → menu items, where an item with a submenu holds one menu.
//
// - GTK: bar entries and items with a submenu have role "menu" and hold their
//   items directly; the backend puts a synthetic menu in between.
// - Qt: bar entries and items are "menu item"s (a checkable one is a plain
//   "menu item" with state CHECKED); one with a submenu holds a "popup menu",
//   which is the platform's menu as it is.
//
// Also here: menu titles without the padding some applications put around them,
// and which of several menu bars of a window is the application's.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "linux/atspi/atspi_bus.h"
#include "port/value.h"

namespace zorv::linux_desktop::menu_structure {

// A role that only occurs inside menus: menus, popup menus, menu items of every
// kind, separators (not the menu bar).
bool isMenuRole(std::uint32_t role);

// Whether the platform role of `role` depends on the role of its parent (an
// entry of a menu bar is a menu bar item, the same role elsewhere an item).
bool roleDependsOnParent(std::uint32_t role);

// The platform role of a menu role, given whether its parent is a menu bar.
const char* platformRole(std::uint32_t role, bool inMenuBar);

enum class Children {
  none,           // a separator
  syntheticMenu,  // GTK's "menu": one synthetic menu that holds its children
  own,            // its own children: a popup menu's items, a Qt item's popup menu
};
Children childrenOf(std::uint32_t role);

// A menu title as the platform has it: without the white space an application
// pads around it (Xfce's "Convert      "). Inside the title nothing changes.
std::string trimmedTitle(std::string_view title);

// What choosing a menu bar reads of an object; a failed read is nullopt.
struct Reader {
  std::function<std::optional<std::uint32_t>(const AtspiRef&)> role;
  std::function<std::optional<std::vector<AtspiRef>>(const AtspiRef&)> children;
  std::function<std::optional<std::uint64_t>(const AtspiRef&)> states;
  std::function<std::optional<port::Rect>(const AtspiRef&)> extents;
  std::function<std::optional<AtspiRef>(const AtspiRef&)> parent;
  // Told before the children of `objects` are read, with their roles, and the
  // size and state of the menu bars among them: a reader may fetch them all
  // at once. Optional.
  std::function<void(const std::vector<AtspiRef>& objects)> level;
};

// Where a menu bar was found: the objects from its window (first) down to the
// bar (last), and whether the user could see it.
struct MenuBarPlace {
  std::vector<AtspiRef> path;
  bool seen = false;
  const AtspiRef& bar() const { return path.back(); }
};

// The menu bar of the first of `windows` that has one. A window's menu bar is
// searched breadth-first below it (toolkits keep it several containers down):
// the first one the user can see (SHOWING, VISIBLE and with an area on
// screen), else the first one found. LibreOffice has two: its own, which it
// keeps with no height and does not draw, and GTK's, drawn. The windows are
// searched side by side, a level of all at a time.
std::optional<MenuBarPlace> menuBarOf(const std::vector<AtspiRef>& windows, const Reader& reader);

// Whether a menu bar the user saw is still where it was and still seen: each
// object of the path the child of the one before it, none in between of a
// kind the search does not go below, the bar a menu bar the user sees. A
// search would find it again, unless the window has since gained another
// menu bar that the search meets first: toolkits build a window's menu bars
// with the window, and one that is shown later hides the other.
bool stillSeen(const MenuBarPlace& place, const Reader& reader);

}  // namespace zorv::linux_desktop::menu_structure

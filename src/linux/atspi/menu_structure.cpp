#include "linux/atspi/menu_structure.h"

#include <atspi/atspi-constants.h>

namespace zorv::linux_desktop::menu_structure {
namespace {

// How far below a window a menu bar is looked for: LibreOffice's drawn one is
// five levels down; content never gets this far before a menu bar would.
constexpr int kMenuBarDepth = 8;

bool isItemRole(std::uint32_t role) {
  return role == ATSPI_ROLE_MENU_ITEM || role == ATSPI_ROLE_CHECK_MENU_ITEM ||
         role == ATSPI_ROLE_RADIO_MENU_ITEM || role == ATSPI_ROLE_TEAROFF_MENU_ITEM;
}

// Objects below which no menu bar of the window is: menus, and content. Not
// tool bars: Firefox keeps its menu bar in one.
bool endsSearch(std::uint32_t role) {
  switch (role) {
    case ATSPI_ROLE_MENU_BAR:
    case ATSPI_ROLE_STATUS_BAR:
    case ATSPI_ROLE_TEXT:
    case ATSPI_ROLE_PARAGRAPH:
    case ATSPI_ROLE_DOCUMENT_FRAME:
    case ATSPI_ROLE_DOCUMENT_TEXT:
    case ATSPI_ROLE_DOCUMENT_WEB:
    case ATSPI_ROLE_TABLE:
    case ATSPI_ROLE_TREE_TABLE:
    case ATSPI_ROLE_TREE:
    case ATSPI_ROLE_LIST:
    case ATSPI_ROLE_LIST_BOX:
      return true;
    default:
      return isMenuRole(role);
  }
}

bool has(std::uint64_t states, AtspiStateType state) {
  return (states >> state) & 1u;
}

bool seenByUser(const AtspiRef& bar, const Reader& reader) {
  auto states = reader.states(bar);
  if (!states || !has(*states, ATSPI_STATE_SHOWING) || !has(*states, ATSPI_STATE_VISIBLE)) {
    return false;
  }
  auto area = reader.extents(bar);
  return area && area->size.width > 0 && area->size.height > 0;
}

}  // namespace

bool isMenuRole(std::uint32_t role) {
  return role == ATSPI_ROLE_MENU || role == ATSPI_ROLE_POPUP_MENU || role == ATSPI_ROLE_SEPARATOR ||
         isItemRole(role);
}

bool roleDependsOnParent(std::uint32_t role) {
  return role == ATSPI_ROLE_MENU || isItemRole(role);
}

const char* platformRole(std::uint32_t role, bool inMenuBar) {
  if (role == ATSPI_ROLE_POPUP_MENU) return "AXMenu";
  if (roleDependsOnParent(role) && inMenuBar) return "AXMenuBarItem";
  return "AXMenuItem";
}

Children childrenOf(std::uint32_t role) {
  if (role == ATSPI_ROLE_MENU) return Children::syntheticMenu;
  if (role == ATSPI_ROLE_SEPARATOR) return Children::none;
  return Children::own;
}

std::string trimmedTitle(std::string_view title) {
  constexpr std::string_view kSpace = " \t\n\r\f\v";
  const auto first = title.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return std::string(title.substr(first, title.find_last_not_of(kSpace) - first + 1));
}

std::optional<AtspiRef> menuBarOf(const std::vector<AtspiRef>& windows, const Reader& reader) {
  // One breadth-first search per window, all a level at a time, so that a
  // reader can fetch a level of them all at once.
  struct Search {
    std::vector<AtspiRef> level;
    int depth = 0;
    std::optional<AtspiRef> seen, firstFound;
    bool done() const { return seen || level.empty() || depth >= kMenuBarDepth; }
  };
  std::vector<Search> searches;
  for (const auto& window : windows) searches.push_back({{window}, 0, std::nullopt, std::nullopt});
  for (;;) {
    // The first window with a menu bar, once every window before it has none.
    std::vector<AtspiRef> objects;
    for (const auto& search : searches) {
      if (search.done() && objects.empty()) {
        if (search.seen) return search.seen;
        if (search.firstFound) return search.firstFound;
      }
      if (!search.done()) objects.insert(objects.end(), search.level.begin(), search.level.end());
    }
    if (objects.empty()) return std::nullopt;
    if (reader.level) reader.level(objects);
    for (auto& search : searches) {
      if (search.done()) continue;
      std::vector<AtspiRef> next;
      for (const auto& node : search.level) {
        auto kids = reader.children(node);
        if (!kids) continue;
        for (const auto& kid : *kids) {
          auto role = reader.role(kid);
          if (!role) continue;
          if (*role == ATSPI_ROLE_MENU_BAR) {
            if (seenByUser(kid, reader)) {
              search.seen = kid;
              break;
            }
            if (!search.firstFound) search.firstFound = kid;
          }
          if (!endsSearch(*role)) next.push_back(kid);
        }
        if (search.seen) break;
      }
      search.level = std::move(next);
      ++search.depth;
    }
  }
}

}  // namespace zorv::linux_desktop::menu_structure

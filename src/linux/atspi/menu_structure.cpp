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

std::optional<MenuBarPlace> menuBarOf(const std::vector<AtspiRef>& windows, const Reader& reader) {
  // One breadth-first search per window, all a level at a time, so that a
  // reader can fetch a level of them all at once.
  struct Node {
    AtspiRef ref;
    std::size_t parent;  // index in Search::nodes; the window is its own
  };
  struct Search {
    std::vector<Node> nodes;
    std::vector<std::size_t> level;
    int depth = 0;
    std::optional<std::size_t> seen, firstFound;
    bool done() const { return seen || level.empty() || depth >= kMenuBarDepth; }
    MenuBarPlace place(std::size_t at) const {
      MenuBarPlace found{{}, seen.has_value()};
      for (;; at = nodes[at].parent) {
        found.path.insert(found.path.begin(), nodes[at].ref);
        if (at == 0) return found;
      }
    }
  };
  std::vector<Search> searches;
  for (const auto& window : windows) {
    searches.push_back({{{window, 0}}, {0}, 0, std::nullopt, std::nullopt});
  }
  for (;;) {
    // The first window with a menu bar, once every window before it has none.
    std::vector<AtspiRef> objects;
    for (const auto& search : searches) {
      if (search.done() && objects.empty()) {
        if (search.seen) return search.place(*search.seen);
        if (search.firstFound) return search.place(*search.firstFound);
      }
      if (search.done()) continue;
      for (auto at : search.level) objects.push_back(search.nodes[at].ref);
    }
    if (objects.empty()) return std::nullopt;
    if (reader.level) reader.level(objects);
    for (auto& search : searches) {
      if (search.done()) continue;
      std::vector<std::size_t> next;
      for (auto at : search.level) {
        auto kids = reader.children(search.nodes[at].ref);
        if (!kids) continue;
        for (const auto& kid : *kids) {
          auto role = reader.role(kid);
          if (!role) continue;
          search.nodes.push_back({kid, at});
          const auto index = search.nodes.size() - 1;
          if (*role == ATSPI_ROLE_MENU_BAR) {
            if (seenByUser(kid, reader)) {
              search.seen = index;
              break;
            }
            if (!search.firstFound) search.firstFound = index;
          }
          if (!endsSearch(*role)) next.push_back(index);
        }
        if (search.seen) break;
      }
      search.level = std::move(next);
      ++search.depth;
    }
  }
}

bool stillSeen(const MenuBarPlace& place, const Reader& reader) {
  const auto& path = place.path;
  if (!place.seen || path.size() < 2 || path.size() > std::size_t(kMenuBarDepth) + 1) return false;
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (reader.parent(path[i]) != path[i - 1]) return false;
    auto role = reader.role(path[i]);
    if (!role) return false;
    if (i + 1 < path.size() ? endsSearch(*role) : *role != ATSPI_ROLE_MENU_BAR) return false;
  }
  return seenByUser(place.bar(), reader);
}

}  // namespace zorv::linux_desktop::menu_structure

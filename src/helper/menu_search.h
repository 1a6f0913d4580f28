#pragma once
// Finding an item of an application's menu bar by name, reading only what the
// search reaches. It finds exactly what collecting the matches of a whole
// MenuReader tree and taking the first would find (the same items are kept and
// dropped, in the same order), but a path such as "File -> Export -> PDF" reads
// three menus instead of the whole bar.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "port/platform.h"

namespace zorv::helper {

class MenuSearch {
 public:
  class Node;

  // The root of the menu bar of `pid`, or null when the menu bar cannot be read
  // (after the same "error: " line as MenuReader::readMenuTree).
  static std::unique_ptr<MenuSearch> open(port::Platform& platform, port::Pid pid);
  ~MenuSearch();

  Node& root() { return *root_; }

  // The first item below `from` named `name`: a matching item among its direct
  // items first, then the first match inside each item's subtree, item by item.
  Node* findFirst(Node& from, const std::string& name);

  // Presses the node when it has an element that is enabled right now.
  void press(const Node& node);

  // One item of the menu bar as walk() meets it.
  struct Visit {
    const std::vector<std::string>& names;  // from the menu bar down to the item
    const port::ElementRef& element;
    bool titled;      // an untitled item (a separator, say) is no node of the search
    bool hasSubmenu;  // it holds a menu, empty or not
    bool kept;        // findFirst would look at it: a bar entry, or sized and enabled
    bool first;       // no kept item before it in its menu has the same name
  };
  // Every item of the menu bar, depth first in menu order, with what the search
  // makes of it: findFirst, given the names of an item that is kept and first at
  // every level, returns that item. Untitled items, and the items below one
  // that is not kept, are met only `withUnreachable`.
  void walk(bool withUnreachable, const std::function<void(const Visit&)>& visit);
  // Whether findFirst, given `names` one after the other from the root, ends at
  // the item `element`.
  bool reaches(const std::vector<std::string>& names, const port::ElementRef& element);

 private:
  explicit MenuSearch(port::Platform& platform);
  std::vector<std::unique_ptr<Node>>& items(Node& node);
  const std::vector<port::ElementRef>& submenus(Node& node);
  bool kept(Node& node);
  void walkBelow(Node& node, std::vector<std::string>& names, bool withUnreachable,
                 const std::function<void(const Visit&)>& visit);

  port::Platform& platform_;
  std::unique_ptr<Node> root_;
};

}  // namespace zorv::helper

#pragma once
// Finding an item of an application's menu bar by name, reading only what the
// search reaches. It finds exactly what collecting the matches of a whole
// MenuReader tree and taking the first would find (the same items are kept and
// dropped, in the same order), but a path such as "File -> Export -> PDF" reads
// three menus instead of the whole bar.

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

 private:
  explicit MenuSearch(port::Platform& platform);
  std::vector<std::unique_ptr<Node>>& items(Node& node);
  const std::vector<port::ElementRef>& submenus(Node& node);
  bool kept(Node& node);

  port::Platform& platform_;
  std::unique_ptr<Node> root_;
};

}  // namespace zorv::helper

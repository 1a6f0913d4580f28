// The menu search reads only what it reaches, yet must find exactly what the
// whole-tree reading followed by collecting matches finds.

#include <gmock/gmock.h>

#include <random>
#include <set>

#include "desktop/memory_desktop.h"
#include "desktop/menu_builder.h"
#include "helper/menu_listing.h"
#include "helper/menu_path.h"
#include "helper/menu_reader.h"
#include "helper/menu_search.h"
#include "support/unicode.h"

namespace zorv::testing {
namespace {

using helper::MenuReader;
using helper::MenuSearch;

constexpr port::Pid kApp = 5;

// The element the whole-tree reading resolves `path` to, or null.
port::ElementRef resolvedByWholeTree(port::Platform& platform,
                                     const std::vector<std::string>& path) {
  auto current = MenuReader::readMenuTree(platform, kApp);
  if (!current) return nullptr;
  for (const auto& name : path) {
    std::vector<std::shared_ptr<MenuReader::MenuItem>> matches;
    current->collectItems(
        [&](const MenuReader::MenuItem& item) {
          return support::canonicallyEqual(item.name, name);
        },
        matches);
    if (matches.empty()) return nullptr;
    current = matches.front();
  }
  return current->axUIElement;
}

MenuSpec randomMenu(std::mt19937& random, int depth, int kinds = 7) {
  static const char* const titles[] = {"File",   "Edit",  "PDF",     "Save", "",
                                       "Export", "Apple", "ThisApp", "A->B", " Save"};
  MenuSpec entry;
  entry.title = titles[random() % kinds];
  entry.enabled = random() % 5 != 0;
  entry.hasSize = random() % 7 != 0;
  entry.hasTitle = random() % 11 != 0;
  if (depth < 4 && random() % 3 == 0) {
    const int count = int(random() % 5);
    for (int i = 0; i < count; ++i) entry.items.push_back(randomMenu(random, depth + 1, kinds));
  }
  return entry;
}

TEST(MenuSearch, FindsWhatTheWholeTreeFindsOnRandomMenuBars) {
  std::mt19937 random(20261206);
  const std::vector<std::string> names = {"File",   "Edit",   "PDF",   "Save",   "",
                                          "Export", "\uF8FF", "Apple", "Missing"};
  int found = 0;
  for (int bar = 0; bar < 200; ++bar) {
    MemoryDesktop desktop;
    std::vector<MenuSpec> topLevel;
    const int entries = 1 + int(random() % 5);
    for (int i = 0; i < entries; ++i) topLevel.push_back(randomMenu(random, 0));
    installMenuBar(desktop.accessibility, kApp, topLevel);

    for (int query = 0; query < 10; ++query) {
      std::vector<std::string> path;
      const int length = int(random() % 4);
      for (int i = 0; i < length; ++i) path.push_back(names[random() % names.size()]);

      const auto expected = resolvedByWholeTree(desktop.platform(), path);
      auto search = MenuSearch::open(desktop.platform(), kApp);
      ASSERT_TRUE(search);
      MenuSearch::Node* current = &search->root();
      for (const auto& name : path) {
        if (!current) break;
        current = search->findFirst(*current, name);
      }
      if (!expected || path.empty()) {
        EXPECT_TRUE(path.empty() ? current != nullptr : current == nullptr) << bar << "/" << query;
        continue;
      }
      ASSERT_NE(current, nullptr) << bar << "/" << query;
      // Pressing the found node must press the very element the whole tree found.
      auto node = MemoryAccessibility::node(expected);
      node->attributes["AXEnabled"] = true;
      node->performed.clear();
      search->press(*current);
      EXPECT_THAT(node->performed, ::testing::ElementsAre("AXPress")) << bar << "/" << query;
      ++found;
    }
  }
  EXPECT_GT(found, 100);  // the random bars must exercise real matches
}

// The leaves below `specs`, in the order installMenuBar built their nodes, with
// the path of their titles when every title on it can be written plainly.
void leaves(const std::vector<MenuSpec>& specs, const BuiltMenu& built, std::size_t& next,
            const std::optional<std::string>& above,
            std::vector<std::pair<std::string, AXNode*>>& out) {
  for (const auto& spec : specs) {
    auto* node = built.nodes[next++].second.get();
    const bool plain = spec.hasTitle && !spec.title.empty() && spec.title != "ThisApp" &&
                       spec.title.find_first_of(" -") == std::string::npos;
    std::optional<std::string> own;
    if (above && plain) own = (above->empty() ? "" : *above + " -> ") + spec.title;
    if (spec.items.empty() && own) out.emplace_back(*own, node);
    leaves(spec.items, built, next, own, out);
  }
}

// What menuCommand gets from a listed path is the listed item, and every item
// that menuCommand presses through the path of its own titles is listed.
TEST(MenuListing, ListsExactlyTheItemsMenuCommandPressesOnRandomMenuBars) {
  std::mt19937 random(17);
  int reached = 0;
  for (int bar = 0; bar < 200; ++bar) {
    MemoryDesktop desktop;
    desktop.workspace.launch(kApp, "Edit");
    std::vector<MenuSpec> topLevel;
    for (int i = 1 + int(random() % 5); i > 0; --i) topLevel.push_back(randomMenu(random, 0, 10));
    const auto built = installMenuBar(desktop.accessibility, kApp, topLevel);
    auto pressedBy = [&](const std::string& path) -> AXNode* {
      auto search = MenuSearch::open(desktop.platform(), kApp);
      MenuSearch::Node* node = &search->root();
      for (const auto& name : helper::menuPath(path, "Edit")) {
        if (!(node = search->findFirst(*node, name))) return nullptr;
      }
      for (const auto& [title, n] : built.nodes) n->performed.clear();
      search->press(*node);
      for (const auto& [title, n] : built.nodes) {
        if (!n->performed.empty()) return n.get();
      }
      return nullptr;
    };

    const auto listing =
        helper::MenuListing::read(desktop.platform(), {.pid = kApp, .withSkipped = true});
    std::set<AXNode*> listed;
    for (const auto& entry : listing.entries) {
      auto* node = MemoryAccessibility::node(entry.element).get();
      EXPECT_EQ(pressedBy(entry.path) == node, entry.skipped.empty())
          << bar << ": " << entry.path << " (" << entry.skipped << ")";
      if (entry.skipped.empty()) listed.insert(node);
    }
    std::vector<std::pair<std::string, AXNode*>> all;
    std::size_t next = 0;
    leaves(topLevel, built, next, "", all);
    for (const auto& [path, node] : all) {
      if (pressedBy(path) != node) continue;
      EXPECT_TRUE(listed.contains(node)) << bar << ": " << path;
      ++reached;
    }
  }
  EXPECT_GT(reached, 100);  // the random bars must have items to reach
}

TEST(MenuSearch, ReadsFarLessThanTheWholeTreeForADeepPath) {
  MemoryDesktop desktop;
  std::vector<MenuSpec> groups;
  for (int g = 1; g <= 10; ++g) {
    MenuSpec group{.title = "Group " + std::to_string(g)};
    for (int i = 1; i <= 60; ++i)
      group.items.push_back({.title = "Item " + std::to_string((g - 1) * 60 + i)});
    groups.push_back(group);
  }
  installMenuBar(desktop.accessibility, kApp,
                 {{.title = "File"}, {.title = "Big", .items = groups}});

  const int before = desktop.accessibility.totalAttributeReads();
  ASSERT_TRUE(resolvedByWholeTree(desktop.platform(), {"Big", "Group 10", "Item 600"}));
  const int wholeTree = desktop.accessibility.totalAttributeReads() - before;

  const int start = desktop.accessibility.totalAttributeReads();
  auto search = MenuSearch::open(desktop.platform(), kApp);
  MenuSearch::Node* current = &search->root();
  for (const char* name : {"Big", "Group 10", "Item 600"})
    current = search->findFirst(*current, name);
  ASSERT_NE(current, nullptr);
  const int searched = desktop.accessibility.totalAttributeReads() - start;
  EXPECT_LT(searched * 10, wholeTree) << searched << " reads against " << wholeTree;
}

}  // namespace
}  // namespace zorv::testing

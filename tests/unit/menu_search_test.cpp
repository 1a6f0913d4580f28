// The menu search reads only what it reaches, yet must find exactly what the
// whole-tree reading followed by collecting matches finds.

#include <gmock/gmock.h>

#include <random>

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

// menuCommand, given the path of any item listed as reachable, presses that item,
// and, given that of one listed as skipped, does not.
TEST(MenuListing, ListsAsReachableExactlyWhatMenuCommandPressesOnRandomMenuBars) {
  std::mt19937 random(17);
  int reached = 0;
  for (int bar = 0; bar < 200; ++bar) {
    MemoryDesktop desktop;
    desktop.workspace.launch(kApp, "Edit");
    std::vector<MenuSpec> topLevel;
    for (int i = 1 + int(random() % 5); i > 0; --i) topLevel.push_back(randomMenu(random, 0, 10));
    const auto built = installMenuBar(desktop.accessibility, kApp, topLevel);
    const auto listing =
        helper::MenuListing::read(desktop.platform(), {.pid = kApp, .withSkipped = true});
    for (const auto& entry : listing.entries) {
      auto search = MenuSearch::open(desktop.platform(), kApp);
      MenuSearch::Node* node = &search->root();
      for (const auto& name : helper::menuPath(entry.path, "Edit")) {
        if (node) node = search->findFirst(*node, name);
      }
      for (const auto& [title, n] : built.nodes) n->performed.clear();
      if (node) search->press(*node);
      const bool pressed = !MemoryAccessibility::node(entry.element)->performed.empty();
      EXPECT_EQ(pressed, entry.skipped.empty()) << bar << ": " << entry.path << entry.skipped;
      reached += pressed;
    }
  }
  EXPECT_GT(reached, 200);  // the random bars must have items to reach
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

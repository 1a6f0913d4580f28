// Reading a menu bar into a tree, the reference the menu search is compared
// with: what is kept, what is dropped, and the order in which matches are found.

#include <gmock/gmock.h>

#include "desktop/memory_desktop.h"
#include "desktop/menu_builder.h"
#include "helper/menu_reader.h"

namespace zorv::testing {
namespace {

using helper::MenuReader;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr port::Pid kApp = 9;

std::vector<std::string> names(const std::vector<std::shared_ptr<MenuReader::MenuItem>>& items) {
  std::vector<std::string> out;
  for (const auto& item : items) out.push_back(item->name);
  return out;
}

std::shared_ptr<MenuReader::MenuItem> child(const std::shared_ptr<MenuReader::MenuItem>& item,
                                            const std::string& name) {
  for (const auto& sub : item->subitems) {
    if (sub->name == name) return sub;
  }
  return nullptr;
}

class ReadMenuTree : public ::testing::Test {
 protected:
  MemoryDesktop desktop;
  std::shared_ptr<MenuReader::MenuItem> read() {
    return MenuReader::readMenuTree(desktop.platform(), kApp);
  }
};

TEST_F(ReadMenuTree, KeepsChoosableItemsAndDropsTheRestWithTheirSubmenus) {
  installMenuBar(desktop.accessibility, kApp,
                 {{.title = "File",
                   .items = {{.title = "Open"},
                             {.title = ""},  // separator
                             {.title = "NoSize", .hasSize = false},
                             {.title = "Off", .items = {{.title = "Inner"}}, .enabled = false},
                             {.title = "Untitled", .hasTitle = false},
                             {.title = "Recent", .items = {{.title = "a.txt"}}}}}});
  auto root = read();
  ASSERT_TRUE(root);
  EXPECT_EQ(root->name, "Root");
  EXPECT_EQ(root->axUIElement, nullptr);
  auto file = child(root, "File");
  ASSERT_TRUE(file);
  EXPECT_THAT(names(file->subitems), ElementsAre("Open", "Recent"));
  EXPECT_THAT(names(child(file, "Recent")->subitems), ElementsAre("a.txt"));
  EXPECT_EQ(child(file, "Recent")->parent.lock(), file);
}

TEST_F(ReadMenuTree, TopLevelKeepsEmptyTitlesAndNamesOnlyAFirstAppleByItsGlyph) {
  installMenuBar(desktop.accessibility, kApp,
                 {{.title = "Apple"},
                  {.title = ""},
                  {.title = "Apple", .enabled = false},
                  {.title = "NoTitle", .hasTitle = false}});
  EXPECT_THAT(names(read()->subitems), ElementsAre("\uF8FF", "", "Apple"));
}

TEST_F(ReadMenuTree, AMenuBarWithoutChildrenIsAnEmptyRoot) {
  auto bar = desktop.accessibility.newNode(kApp, "AXMenuBar");
  desktop.accessibility.application(kApp)->attributes["AXMenuBar"] = desktop.accessibility.ref(bar);
  auto root = read();
  ASSERT_TRUE(root);
  EXPECT_THAT(root->subitems, IsEmpty());
}

TEST_F(ReadMenuTree, AMenuThatContainsItselfDoesNotRecurseForever) {
  auto built = installMenuBar(desktop.accessibility, kApp,
                              {{.title = "Loop", .items = {{.title = "Again"}}}});
  // "Again" gets its own parent menu as its submenu.
  auto again = built.find("Again");
  auto loopMenu = MemoryAccessibility::node(
      std::get<port::Array>(built.find("Loop")->attributes["AXChildren"].kind)[0]
          .get<port::ElementRef>()[0]);
  desktop.accessibility.setChildren(again, {loopMenu});
  auto root = read();
  ASSERT_TRUE(root);
  int depth = 0;
  for (auto item = child(root, "Loop"); item && !item->subitems.empty(); item = item->subitems[0]) {
    ++depth;
  }
  EXPECT_LE(depth, MenuReader::kMaxDepth + 1);
  again->attributes.erase("AXChildren");  // the fake tree's own cycle would leak
}

TEST(CollectItems, ListsDirectMatchesBeforeDeeperOnesSubtreeBySubtree) {
  using Item = MenuReader::MenuItem;
  auto make = [](std::string name, std::vector<std::shared_ptr<Item>> subitems = {}) {
    auto item = std::make_shared<Item>();
    item->name = std::move(name);
    item->subitems = std::move(subitems);
    return item;
  };
  auto deepUnderA = make("X");
  auto deepUnderB = make("X");
  auto direct = make("X");
  auto root =
      make("Root", {make("A", {make("A1", {deepUnderA})}), make("B", {deepUnderB}), direct});
  std::vector<std::shared_ptr<Item>> found;
  root->collectItems([](const Item& i) { return i.name == "X"; }, found);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0], direct);
  EXPECT_EQ(found[1], deepUnderA);
  EXPECT_EQ(found[2], deepUnderB);

  // The node itself is not tested.
  found.clear();
  root->collectItems([](const Item& i) { return i.name == "Root"; }, found);
  EXPECT_THAT(found, IsEmpty());
}

}  // namespace
}  // namespace zorv::testing

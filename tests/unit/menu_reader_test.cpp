// Reading a menu bar into a tree: what is kept, what is dropped, shortcuts, and
// the order in which a search finds nodes.

#include <gmock/gmock.h>

#include "desktop/memory_desktop.h"
#include "desktop/menu_builder.h"
#include "helper/menu_reader.h"

namespace zorv::testing {
namespace {

using helper::MenuReader;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Optional;

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

TEST_F(ReadMenuTree, ReadsShortcutsFromTheKeyAndModifierAttributes) {
  installMenuBar(desktop.accessibility, kApp,
                 {{.title = "File",
                   .items = {{.title = "Save", .cmdChar = "S", .cmdModifiers = 0},
                             {.title = "Ctrl", .cmdChar = "S", .cmdModifiers = 12},
                             {.title = "Bare", .cmdChar = "S", .cmdModifiers = 8},
                             {.title = "OptE", .cmdChar = "E", .cmdModifiers = 2},
                             {.title = "All", .cmdChar = "K", .cmdModifiers = 7},
                             {.title = "Out", .cmdChar = "S", .cmdModifiers = 16},
                             {.title = "NoMods", .cmdChar = "S"},
                             {.title = "Empty", .cmdChar = "", .cmdModifiers = 0},
                             {.title = "None"}}}});
  auto file = child(read(), "File");
  using V = std::vector<std::string>;
  EXPECT_THAT(child(file, "Save")->shortcuts, Optional(V{"\u2318", "S"}));
  EXPECT_THAT(child(file, "Ctrl")->shortcuts, Optional(V{"\u2303", "S"}));
  EXPECT_THAT(child(file, "Bare")->shortcuts, Optional(V{"", "S"}));
  EXPECT_THAT(child(file, "OptE")->shortcuts, Optional(V{"\u2325", "\u2318", "E"}));
  EXPECT_THAT(child(file, "All")->shortcuts,
              Optional(V{"\u2303", "\u2325", "\u21E7", "\u2318", "K"}));
  EXPECT_EQ(child(file, "Out")->shortcuts, std::nullopt);
  EXPECT_EQ(child(file, "NoMods")->shortcuts, std::nullopt);
  EXPECT_EQ(child(file, "Empty")->shortcuts, std::nullopt);
  EXPECT_EQ(child(file, "None")->shortcuts, std::nullopt);
}

TEST_F(ReadMenuTree, ShortcutGlyphTable) {
  const auto& glyphs = MenuReader::shortcutGlyphs();
  EXPECT_EQ(glyphs[0], "\u2318");
  EXPECT_EQ(glyphs[1], "\u21E7 \u2318");
  EXPECT_EQ(glyphs[3], "\u2325 \u21E7 \u2318");
  EXPECT_EQ(glyphs[6], "\u2303 \u2325 \u2318");
  EXPECT_EQ(glyphs[8], "");
  EXPECT_EQ(glyphs[9], "\u21E7");
  EXPECT_EQ(glyphs[13], "\u2303 \u21E7");
  EXPECT_EQ(glyphs[15], "\u2303 \u2325 \u21E7");
}

TEST_F(ReadMenuTree, AnUnreadableMenuBarPrintsItsErrorAndYieldsNothing) {
  desktop.accessibility.application(kApp)->readErrors["AXMenuBar"] = kAXErrorAPIDisabled;
  EXPECT_EQ(read(), nullptr);
  EXPECT_THAT(desktop.console.lines, ElementsAre("error: AXError.APIDisabled."));
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

TEST(MenuItemEquality, ByNameAndElement) {
  MemoryDesktop desktop;
  auto node = desktop.accessibility.newNode(1, "AXMenuItem", "Open");
  MenuReader::MenuItem a, b, c;
  a.name = "Caf\xC3\xA9";
  b.name = "Cafe\xCC\x81";
  EXPECT_EQ(a, b);  // neither has an element
  a.axUIElement = desktop.accessibility.ref(node);
  EXPECT_FALSE(a == b);
  b.axUIElement = desktop.accessibility.ref(node);  // another reference, same element
  EXPECT_EQ(a, b);
  c.name = "caf\xC3\xA9";
  c.axUIElement = a.axUIElement;
  EXPECT_FALSE(a == c);
}

}  // namespace
}  // namespace zorv::testing

// Splitting a `menuCommand` text into item names.

#include <gmock/gmock.h>

#include "helper/menu_path.h"

namespace zorv::helper {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(MenuPath, SplitsDropsThenTrims) {
  struct Case {
    const char* title;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"File -> Export -> PDF", {"File", "Export", "PDF"}},
      {"File->->Save", {"File", "Save"}},
      {" -> File", {"", "File"}},
      {"->File->", {"File"}},
      {"", {}},
      {"->->", {}},
      {"\tFile\n->\r\nSave\u2028", {"File", "Save"}},
      {"\u00A0Open\u3000", {"Open"}},  // no-break and ideographic spaces
      {"A - > B", {"A - > B"}},        // only "->" separates
      {"a->b-->c", {"a", "b-", "c"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    EXPECT_EQ(menuPath(c.title, std::nullopt), c.names);
  }
}

TEST(MenuPath, ThisAppIsReplacedAsAWholeNameOnly) {
  EXPECT_THAT(menuPath("ThisApp -> About", std::string("Notes")), ElementsAre("Notes", "About"));
  EXPECT_THAT(menuPath("ThisApp Help", std::string("Notes")), ElementsAre("ThisApp Help"));
  EXPECT_THAT(menuPath(" ThisApp ", std::string("Notes")), ElementsAre("Notes"));
  EXPECT_THAT(menuPath("thisapp", std::string("Notes")), ElementsAre("thisapp"));
  EXPECT_THAT(menuPath("ThisApp", std::nullopt), ElementsAre("ThisApp"));
}

}  // namespace
}  // namespace zorv::helper

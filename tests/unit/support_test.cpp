// Shared helpers: list notation, Unicode-canonical equality, Either, UUIDs.

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "support/either.h"
#include "support/list_notation.h"
#include "support/unicode.h"
#include "support/uuid.h"

using namespace std::string_literals;
using zorv::support::canonicallyEqual;
using zorv::support::Either;
using zorv::support::listNotation;

TEST(ListNotation, WritesItemsQuotedAndEscapedWithoutControlCharacters) {
  EXPECT_EQ(listNotation({}), "[]");
  EXPECT_EQ(listNotation({"File", "Export"}), R"(["File", "Export"])");
  EXPECT_EQ(listNotation({"say \"hi\"", "it's", "a\\b"}), R"(["say \"hi\"", "it\'s", "a\\b"])");
  EXPECT_EQ(listNotation({"a\nb\rc\td"}), R"(["a\nb\rc\td"])");
  EXPECT_EQ(listNotation({"nul\0here"s}), R"(["nul\0here"])");
  EXPECT_EQ(listNotation({""}), R"([""])");
  // Other control characters are kept off the terminal.
  const std::string written = listNotation({"bell\x07"});
  EXPECT_EQ(written.find('\x07'), std::string::npos) << written;
}

TEST(CanonicalEquality, ComparesUnderCanonicalEquivalenceCaseSensitivelyEvenInvalidUTF8) {
  EXPECT_TRUE(canonicallyEqual("File", "File"));
  EXPECT_FALSE(canonicallyEqual("File", "file"));
  EXPECT_FALSE(canonicallyEqual("File", "File "));
  // precomposed e-acute against e + combining acute
  EXPECT_TRUE(canonicallyEqual("Caf\xC3\xA9", "Cafe\xCC\x81"));
  // compatibility equivalents are not canonical: the "fi" ligature is not "fi"
  EXPECT_FALSE(canonicallyEqual("\xEF\xAC\x81", "fi"));
  // Combining marks of different classes in either order.
  EXPECT_TRUE(canonicallyEqual("a\xCC\xA3\xCC\x87", "a\xCC\x87\xCC\xA3"));
  // Invalid UTF-8 is tolerated.
  EXPECT_TRUE(canonicallyEqual("\xff\xfe", "\xff\xfe"));
  EXPECT_FALSE(canonicallyEqual("\xff", "\xfe"));
  EXPECT_FALSE(zorv::support::isValidUTF8("\xC3"));
  EXPECT_TRUE(zorv::support::isValidUTF8("\xC3\xA9"));
}

TEST(Either, EqualOnlyWithinOneCase) {
  using E = Either<int, int>;
  EXPECT_EQ(E::left(1), E::left(1));
  EXPECT_NE(E::left(1), E::left(2));
  EXPECT_NE(E::left(1), E::right(1));
  EXPECT_TRUE(E::right(3).isRight());
  EXPECT_EQ(*E::right(3).rightValue(), 3);
  EXPECT_EQ(E::right(3).leftValue(), nullptr);
}

TEST(UUID, StandardUpperCaseFormAndFreshEachTime) {
  const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    const std::string id = zorv::support::makeUUIDString();
    EXPECT_TRUE(std::regex_match(id, form)) << id;
    seen.insert(id);
  }
  EXPECT_EQ(seen.size(), 100u);
}

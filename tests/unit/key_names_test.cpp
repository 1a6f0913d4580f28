// Key names: the fixed table, the names the current layout gives the character
// keys (built once), the upper-casing rule, failed translations, descriptions.

#include <gmock/gmock.h>

#include <thread>

#include "helper/key_names.h"
#include "unit/helper_fixture.h"

namespace zorv::testing {
namespace {

using helper::keyNameForOutput;
using helper::KeyNames;
using helper::layoutDependentKeyCodes;
using helper::staticKeyNames;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

TEST(StaticKeyNames, NamesTheKeysButNotTheModifiersAndSpace) {
  const auto& names = staticKeyNames();
  const std::pair<int, const char*> samples[] = {
      {0, "A"},         {16, "Y"}, {36, "Return (Enter)"}, {42, "\\"}, {71, "Keypad Clear"},
      {126, "Up Arrow"}};
  for (const auto& [code, name] : samples) EXPECT_EQ(names.at(code), name) << code;
  for (int code : {49, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 127, 255}) {
    EXPECT_FALSE(names.contains(code)) << code;
  }
  for (auto code : layoutDependentKeyCodes) EXPECT_TRUE(names.contains(code)) << code;
}

TEST(KeyNameForOutput, UpperCasesOneLetterOrMarkAndLeavesEverythingElse) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"a", "A"},
      {u"\u00df", "SS"},              // sharp s: longer in upper case
      {u"i", "I"},                    // no Turkish dotted capital I
      {u"e\u0301", "E\u0301"},        // one cluster of a letter and a mark
      {u"\U0001d41a", "\U0001d41a"},  // mathematical bold a: a letter without case
      {u"\u00b4", "\u00b4"},          // the acute accent is a symbol, not a mark
      {u"ab", "ab"},                  // two clusters
      {u"", ""},
  };
  for (const auto& [produced, name] : cases) {
    EXPECT_EQ(keyNameForOutput(produced), name);
  }
}

// A layout like the German one: Z and Y swapped, umlauts and the sharp s on the
// punctuation keys, dead keys shown by their own characters.
std::shared_ptr<MemoryLayout> germanLikeLayout() {
  auto layout = std::make_shared<MemoryLayout>();
  const char16_t* letters = u"asdfhgyxcv_bqwerzt";
  for (std::uint16_t code = 0; code <= 17; ++code) {
    if (code != 10) layout->keys[code] = std::u16string(1, letters[code]);
  }
  layout->keys[27] = u"\u00df";  // "-" position
  layout->keys[41] = u"\u00f6";  // ";"
  layout->keys[39] = u"\u00e4";  // "'"
  layout->keys[33] = u"\u00fc";  // "["
  layout->keys[50] = u"^";
  layout->keys[24] = u"\u00b4";
  layout->keys[18] = u"1";
  return layout;
}

class KeyNamesOnTheCurrentLayout : public ::testing::Test {
 protected:
  MemoryDesktop desktop;
  KeyNames names{desktop.platform()};

  void useLayout(std::shared_ptr<const MemoryLayout> layout, std::string id = "de") {
    auto source = std::make_shared<MemoryInputSource>();
    source->id = std::move(id);
    source->localizedName = "German";
    source->layout = std::move(layout);
    desktop.inputSources.enabled.push_back(source);
    desktop.inputSources.current = source;
  }
};

TEST_F(KeyNamesOnTheCurrentLayout, AGermanLikeLayoutRenamesTheCharacterKeys) {
  useLayout(germanLikeLayout());
  EXPECT_EQ(names.keyName(16), "Z");
  EXPECT_EQ(names.keyName(27), "SS");
  EXPECT_EQ(names.keyName(24), "\u00b4");
  // Keys the layout does not name keep nothing of their fixed name.
  EXPECT_EQ(names.keyName(19), "");
  // Keys outside the 47 keep their fixed names.
  EXPECT_EQ(names.keyName(36), "Return (Enter)");
  EXPECT_EQ(names.keyName(49), std::nullopt);
  EXPECT_EQ(names.keystrokeDescription(16, {.command = true}), "\u2318 Z");
}

TEST_F(KeyNamesOnTheCurrentLayout, TranslatesTheCharacterKeysInOrderForDisplayWithoutDeadKeys) {
  useLayout(germanLikeLayout());
  names.keyName(0);
  std::vector<std::uint16_t> codes;
  for (const auto& call : desktop.inputSources.translationCalls) {
    codes.push_back(call.keyCode);
    EXPECT_EQ(call.action, port::KeyAction::display);
    EXPECT_EQ(call.modifierKeyState, 0u);
    EXPECT_EQ(call.keyboardType, desktop.inputSources.keyboardType());
    EXPECT_EQ(call.options, port::kKeyTranslateNoDeadKeysMask);
    EXPECT_EQ(call.maxLength, 4u);
  }
  EXPECT_THAT(codes, ElementsAreArray(layoutDependentKeyCodes));
}

TEST_F(KeyNamesOnTheCurrentLayout, EmptyAndSeveralCharacterResultsAreTakenAsTheyAre) {
  auto layout = std::make_shared<MemoryLayout>();
  layout->keys[0] = u"";
  layout->keys[1] = u"ss";
  layout->keys[2] = u"\u00e9a";
  layout->keys[3] = u"abcdef";  // more than the four units asked for
  useLayout(layout);
  EXPECT_EQ(names.keyName(0), "");
  EXPECT_EQ(names.keystrokeDescription(0, {.shift = true}), "\u21e7 ");
  EXPECT_EQ(names.keyName(1), "ss");
  EXPECT_EQ(names.keyName(2), "\u00e9a");
  EXPECT_EQ(names.keyName(3), "abcd");
}

TEST_F(KeyNamesOnTheCurrentLayout, AFailedTranslationIsLoggedAndKeepsTheFixedName) {
  auto layout = germanLikeLayout();
  layout->failures[13] = -25340;
  layout->failures[47] = -50;
  useLayout(layout);
  EXPECT_EQ(names.keyName(13), "W");
  EXPECT_EQ(names.keyName(47), ".");
  // The keys after the failed one are still translated.
  EXPECT_EQ(names.keyName(16), "Z");
  EXPECT_THAT(desktop.console.lines, ElementsAre("failed to get the name of 13, osStatus: -25340",
                                                 "failed to get the name of 47, osStatus: -50"));
}

TEST_F(KeyNamesOnTheCurrentLayout, ConcurrentFirstLookUpsBuildTheTableOnceForGood) {
  useLayout(germanLikeLayout());
  std::vector<std::thread> threads;
  std::vector<std::string> seen(8);
  for (std::size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&, i] { seen[i] = names.keystrokeDescription(16, {}); });
  }
  for (auto& t : threads) t.join();
  for (const auto& s : seen) EXPECT_EQ(s, "Z");
  // Later layout switches are ignored.
  auto us = std::make_shared<MemoryLayout>();
  us->keys[16] = u"y";
  useLayout(us, "us");
  EXPECT_EQ(names.keyName(16), "Z");
  EXPECT_EQ(desktop.inputSources.translationCalls.size(), layoutDependentKeyCodes.size());

  // A fresh table (a fresh process) sees the layout now current.
  KeyNames fresh(desktop.platform());
  EXPECT_EQ(fresh.keyName(16), "Y");
}

TEST_F(KeyNamesOnTheCurrentLayout, WithoutLayoutDataOrCurrentSourceTheFixedNamesAreUsed) {
  useLayout(nullptr);
  for (auto code : layoutDependentKeyCodes) {
    EXPECT_EQ(names.keyName(code), staticKeyNames().at(code));
  }
  EXPECT_THAT(desktop.inputSources.translationCalls, IsEmpty());

  desktop.inputSources.current = nullptr;
  KeyNames withoutSource(desktop.platform());
  EXPECT_EQ(withoutSource.keyName(16), "Y");
  EXPECT_EQ(withoutSource.keystrokeDescription(67, {}), "67");
}

TEST(KeystrokeDescription, GlyphsInCommandShiftOptionControlOrderEachWithASpace) {
  MemoryDesktop desktop;
  KeyNames names(desktop.platform());
  EXPECT_EQ(names.keystrokeDescription(1, {true, true, true, true}),
            "\u2318 \u21e7 \u2325 \u2303 S");
  EXPECT_EQ(names.keystrokeDescription(49, {.option = true}), "\u2325 49");
  EXPECT_EQ(names.keystrokeDescription(-5, {}), "-5");
}

}  // namespace
}  // namespace zorv::testing

// Key names: the fixed table, the names the current layout gives the character
// keys (built once), the upper-casing rule, failed translations, descriptions.

#include <gmock/gmock.h>

#include <set>
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

TEST(StaticKeyNames, HasTheHundredAndOneNamesAndNoneForTheModifierAndSpaceKeys) {
  const auto& names = staticKeyNames();
  EXPECT_EQ(names.size(), 101u);
  const std::pair<int, const char*> samples[] = {{0, "A"},
                                                 {6, "Z"},
                                                 {16, "Y"},
                                                 {36, "Return (Enter)"},
                                                 {42, "\\"},
                                                 {50, "`"},
                                                 {51, "Delete"},
                                                 {71, "Keypad Clear"},
                                                 {99, "F3"},
                                                 {114, "Help"},
                                                 {117, "Forward Delete"},
                                                 {126, "Up Arrow"}};
  for (const auto& [code, name] : samples) EXPECT_EQ(names.at(code), name) << code;
  for (int code : {10, 49, 52, 54, 55, 56, 57,  58,  59,  60,  61,  62,  63,  66, 67,
                   68, 70, 77, 93, 94, 95, 102, 104, 108, 110, 112, 127, 128, 255}) {
    EXPECT_FALSE(names.contains(code)) << code;
  }
}

TEST(LayoutDependentKeyCodes, AreTheFortySevenCharacterKeysAllNamedInTheFixedTable) {
  std::set<int> distinct(layoutDependentKeyCodes.begin(), layoutDependentKeyCodes.end());
  EXPECT_EQ(distinct.size(), 47u);
  std::string fixedNames;
  for (auto code : layoutDependentKeyCodes) fixedNames += staticKeyNames().at(code);
  // Their fixed names in list order spell the alphabet, the digits and the
  // punctuation keys.
  EXPECT_EQ(fixedNames, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789`=-][';\\,/.");
}

TEST(KeyNameForOutput, UpperCasesOneLetterOrMarkAndLeavesEverythingElse) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"a", "A"},
      {u"z", "Z"},
      {u"\u00df", "SS"},              // sharp s: longer in upper case
      {u"\u00f6", "\u00d6"},          // ö
      {u"i", "I"},                    // no Turkish dotted capital I
      {u"\u0149", "\u02bcN"},         // ŉ: two characters in upper case
      {u"e\u0301", "E\u0301"},        // one cluster of a letter and a mark
      {u"\u0301", "\u0301"},          // a lone mark: nothing to upper-case
      {u"\u03c9", "\u03a9"},          // ω
      {u"\U0001d41a", "\U0001d41a"},  // mathematical bold a: a letter without case
      {u"1", "1"},
      {u";", ";"},
      {u"\u00b4", "\u00b4"},  // the acute accent is a symbol, not a mark
      {u"^", "^"},
      {u"ab", "ab"},  // two clusters
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
  EXPECT_EQ(names.keyName(6), "Y");
  EXPECT_EQ(names.keyName(27), "SS");
  EXPECT_EQ(names.keyName(41), "\u00d6");
  EXPECT_EQ(names.keyName(50), "^");
  EXPECT_EQ(names.keyName(24), "\u00b4");
  EXPECT_EQ(names.keyName(18), "1");
  // Keys the layout does not name keep nothing of their fixed name.
  EXPECT_EQ(names.keyName(19), "");
  // Keys outside the 47 keep their fixed names.
  EXPECT_EQ(names.keyName(36), "Return (Enter)");
  EXPECT_EQ(names.keyName(123), "Left Arrow");
  EXPECT_EQ(names.keyName(49), std::nullopt);
  EXPECT_EQ(names.keystrokeDescription(16, {.command = true}), "\u2318 Z");
}

TEST_F(KeyNamesOnTheCurrentLayout,
       TranslatesTheFortySevenKeysOnceInOrderForDisplayWithoutDeadKeys) {
  useLayout(germanLikeLayout());
  names.keyName(0);
  names.keystrokeDescription(16, {});
  const auto& calls = desktop.inputSources.translationCalls;
  ASSERT_EQ(calls.size(), 47u);
  std::vector<std::uint16_t> codes;
  for (const auto& call : calls) {
    codes.push_back(call.keyCode);
    EXPECT_EQ(call.action, port::KeyAction::display);
    EXPECT_EQ(call.modifierKeyState, 0u);
    EXPECT_EQ(call.keyboardType, desktop.inputSources.keyboardType());
    EXPECT_EQ(call.options, port::kKeyTranslateNoDeadKeysMask);
    EXPECT_EQ(call.deadKeyState, 0u);
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

TEST_F(KeyNamesOnTheCurrentLayout, TheTableIsBuiltOnceAndIgnoresLaterLayoutSwitches) {
  useLayout(germanLikeLayout());
  EXPECT_EQ(names.keyName(16), "Z");
  auto us = std::make_shared<MemoryLayout>();
  us->keys[16] = u"y";
  useLayout(us, "us");
  EXPECT_EQ(names.keyName(16), "Z");
  EXPECT_EQ(desktop.inputSources.translations, 47);

  // A fresh table (a fresh process) sees the layout now current.
  KeyNames fresh(desktop.platform());
  EXPECT_EQ(fresh.keyName(16), "Y");
}

TEST_F(KeyNamesOnTheCurrentLayout, WithoutLayoutDataOrCurrentSourceTheFixedNamesAreUsed) {
  useLayout(nullptr);
  for (auto code : layoutDependentKeyCodes) {
    EXPECT_EQ(names.keyName(code), staticKeyNames().at(code));
  }
  EXPECT_EQ(desktop.inputSources.translations, 0);

  desktop.inputSources.current = nullptr;
  KeyNames withoutSource(desktop.platform());
  EXPECT_EQ(withoutSource.keyName(16), "Y");
  EXPECT_EQ(withoutSource.keystrokeDescription(67, {}), "67");
}

TEST_F(KeyNamesOnTheCurrentLayout, ConcurrentFirstLookUpsBuildTheTableOnce) {
  useLayout(germanLikeLayout());
  std::vector<std::thread> threads;
  std::vector<std::string> seen(8);
  for (std::size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&, i] { seen[i] = names.keystrokeDescription(16, {}); });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(desktop.inputSources.translations, 47);
  for (const auto& s : seen) EXPECT_EQ(s, "Z");
}

TEST(KeystrokeDescription, GlyphsInCommandShiftOptionControlOrderEachWithASpace) {
  MemoryDesktop desktop;
  KeyNames names(desktop.platform());
  struct Case {
    std::int64_t code;
    helper::KeyModifiers modifiers;
    std::string text;
  };
  const Case cases[] = {
      {0, {.command = true, .shift = true}, "\u2318 \u21e7 A"},
      {49, {.option = true, .control = true}, "\u2325 \u2303 49"},
      {36, {}, "Return (Enter)"},
      {1, {true, true, true, true}, "\u2318 \u21e7 \u2325 \u2303 S"},
      {67, {.shift = true}, "\u21e7 67"},
      {300, {}, "300"},
      {-5, {}, "-5"},
  };
  for (const auto& c : cases) EXPECT_EQ(names.keystrokeDescription(c.code, c.modifiers), c.text);
}

}  // namespace
}  // namespace zorv::testing

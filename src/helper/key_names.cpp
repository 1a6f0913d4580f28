#include "helper/key_names.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <memory>
#include <utility>
#include <variant>

namespace zorv::helper {
namespace {

bool isOneGraphemeCluster(const icu::UnicodeString& text) {
  if (text.isEmpty()) return false;
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> clusters(
      icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status)) return false;
  clusters->setText(text);
  clusters->first();
  return clusters->next() == text.length();
}

bool isLetterOrMark(UChar32 c) {
  return (U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_M_MASK)) != 0;
}

}  // namespace

const KeyNameTable& staticKeyNames() {
  static const KeyNameTable table = {
      {0, "A"},
      {1, "S"},
      {2, "D"},
      {3, "F"},
      {4, "H"},
      {5, "G"},
      {6, "Z"},
      {7, "X"},
      {8, "C"},
      {9, "V"},
      {11, "B"},
      {12, "Q"},
      {13, "W"},
      {14, "E"},
      {15, "R"},
      {16, "Y"},
      {17, "T"},
      {18, "1"},
      {19, "2"},
      {20, "3"},
      {21, "4"},
      {22, "6"},
      {23, "5"},
      {24, "="},
      {25, "9"},
      {26, "7"},
      {27, "-"},
      {28, "8"},
      {29, "0"},
      {30, "]"},
      {31, "O"},
      {32, "U"},
      {33, "["},
      {34, "I"},
      {35, "P"},
      {36, "Return (Enter)"},
      {37, "L"},
      {38, "J"},
      {39, "'"},
      {40, "K"},
      {41, ";"},
      {42, "\\"},
      {43, ","},
      {44, "/"},
      {45, "N"},
      {46, "M"},
      {47, "."},
      {48, "Tab"},
      {50, "`"},
      {51, "Delete"},
      {53, "Escape"},
      {64, "F17"},
      {65, "Keypad ."},
      {69, "Keypad +"},
      {71, "Keypad Clear"},
      {72, "Volume Up"},
      {73, "Volume Down"},
      {74, "Mute"},
      {75, "Keypad /"},
      {76, "Keypad Enter"},
      {78, "Keypad -"},
      {79, "F18"},
      {80, "F19"},
      {81, "Keypad ="},
      {82, "Keypad 0"},
      {83, "Keypad 1"},
      {84, "Keypad 2"},
      {85, "Keypad 3"},
      {86, "Keypad 4"},
      {87, "Keypad 5"},
      {88, "Keypad 6"},
      {89, "Keypad 7"},
      {90, "F20"},
      {91, "Keypad 8"},
      {92, "Keypad 9"},
      {96, "F5"},
      {97, "F6"},
      {98, "F7"},
      {99, "F3"},
      {100, "F8"},
      {101, "F9"},
      {103, "F11"},
      {105, "F13"},
      {106, "F16"},
      {107, "F14"},
      {109, "F10"},
      {111, "F12"},
      {113, "F15"},
      {114, "Help"},
      {115, "Home"},
      {116, "Page Up"},
      {117, "Forward Delete"},
      {118, "F4"},
      {119, "End"},
      {120, "F2"},
      {121, "Page Down"},
      {122, "F1"},
      {123, "Left Arrow"},
      {124, "Right Arrow"},
      {125, "Down Arrow"},
      {126, "Up Arrow"},
  };
  return table;
}

std::string keyNameForOutput(const std::u16string& produced) {
  icu::UnicodeString text(produced.data(), static_cast<int32_t>(produced.size()));
  if (isOneGraphemeCluster(text) && isLetterOrMark(text.char32At(0))) {
    // The root locale gives the default mapping: no Turkish dotted I, and so on.
    text.toUpper(icu::Locale::getRoot());
  }
  std::string name;
  text.toUTF8String(name);
  return name;
}

std::optional<std::string> KeyNames::keyName(std::int64_t keyCode) {
  const auto& names = keyNames();
  auto it = names.find(keyCode);
  if (it == names.end()) return std::nullopt;
  return it->second;
}

std::string KeyNames::keystrokeDescription(std::int64_t keyCode, const KeyModifiers& modifiers) {
  std::string description;
  if (modifiers.command) description += "\u2318 ";
  if (modifiers.shift) description += "\u21e7 ";
  if (modifiers.option) description += "\u2325 ";
  if (modifiers.control) description += "\u2303 ";
  description += keyName(keyCode).value_or(std::to_string(keyCode));
  return description;
}

const KeyNameTable& KeyNames::keyNames() {
  std::call_once(once_, [this] { keyNames_ = build(); });
  return keyNames_;
}

KeyNameTable KeyNames::build() {
  KeyNameTable names = staticKeyNames();
  auto& sources = platform_.textInputSources;
  // No current source at all is treated like a source without layout data.
  auto source = sources.copyCurrentKeyboardInputSource();
  if (!source) return names;
  auto property =
      sources.getInputSourceProperty(source, port::InputSourceProperty::unicodeKeyLayoutData);
  const auto* layout =
      property ? std::get_if<std::shared_ptr<const port::KeyboardLayout>>(&*property) : nullptr;
  if (!layout || !*layout) return names;

  const auto keyboardType = sources.keyboardType();
  for (const auto keyCode : layoutDependentKeyCodes) {
    std::uint32_t deadKeyState = 0;
    // No dead keys: a dead key is named by its own character instead of waiting
    // for the next key.
    const auto translation =
        sources.keyTranslate(**layout, keyCode, port::KeyAction::display, 0, keyboardType,
                             port::kKeyTranslateNoDeadKeysMask, deadKeyState, 4);
    if (translation.status != port::kSuccess) {
      platform_.standardOutput.writeLine("failed to get the name of " + std::to_string(keyCode) +
                                         ", osStatus: " + std::to_string(translation.status));
      continue;
    }
    names[keyCode] = keyNameForOutput(translation.text.substr(0, 4));
  }
  return names;
}

}  // namespace zorv::helper

#pragma once
// The action request: one of nine kinds of work, as the main application sends it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace zorv::helper {

// A URL that parsed; its text is kept as given.
class URL {
 public:
  // Absent when `text` is empty or not a URI reference (absolute or relative).
  static std::optional<URL> parse(std::string text);
  const std::string& absoluteString() const { return text_; }

 private:
  explicit URL(std::string text) : text_(std::move(text)) {}
  std::string text_;
};

struct HelperAction {
  struct MenuCommandInfo {
    std::string menuTitle;
    // Titles compare exactly, case-sensitively, under Unicode canonical equivalence.
    bool operator==(const MenuCommandInfo& other) const;
  };

  struct Menu {
    std::vector<std::string> menuItems;
  };
  struct MenuCommand {
    MenuCommandInfo info;
  };
  struct OpenURL {
    URL url;
    std::optional<std::string> applicationPath;
  };
  struct LaunchApp {
    std::string path;
    std::optional<std::string> launchArgumentsText;
  };
  struct SwitchWindow {};
  struct ExecuteFile {
    std::string path;
    std::optional<std::string> argumentsText;
  };
  struct Sleep {};
  struct SimulateKeystroke {
    std::int64_t code = 0;
  };
  struct SwitchInputMethod {
    std::string inputSourceID;
  };

  // Case order is the order of the top-level keys.
  using Kind = std::variant<Menu, MenuCommand, OpenURL, LaunchApp, SwitchWindow, ExecuteFile, Sleep,
                            SimulateKeystroke, SwitchInputMethod>;
  Kind kind;

  // The case name, which is also the document's top-level key.
  std::string_view caseName() const;
};

// The top-level keys, in the order of the alternatives of HelperAction::Kind.
inline constexpr std::array<std::string_view, 9> kHelperActionCaseNames = {
    "menu",        "menuCommand", "openURL",           "launchApp",        "switchWindow",
    "executeFile", "sleep",       "simulateKeystroke", "switchInputMethod"};
static_assert(kHelperActionCaseNames.size() == std::variant_size_v<HelperAction::Kind>);

// Why a document did not decode. Only the key-count failure has a fixed text
// (kInvalidNumberOfKeys); the others carry the JSON parser's message or name the
// member that was missing or of the wrong type. Nobody shows them to the user.
struct DecodingError {
  std::string description;
};

inline constexpr std::string_view kInvalidNumberOfKeys =
    "Invalid number of keys found, expected one.";

// Limits against hostile documents. Real requests are a few hundred bytes and
// three levels deep. Depth counts arrays and objects inside one another, the
// top-level object being level 1.
inline constexpr std::size_t kMaxDocumentBytes = 1 << 20;
inline constexpr int kMaxDocumentDepth = 64;

// Decodes one JSON document (UTF-8); never throws.
std::variant<HelperAction, DecodingError> decodeHelperActionDocument(
    std::string_view json) noexcept;

// Writes the document a sender posts for `action`: compact, keys in a fixed
// order, absent optionals left out. Invalid UTF-8 in a text is written as U+FFFD.
std::string encodeHelperAction(const HelperAction& action);

// The same pair for the `info` object of a menu command alone.
std::string encodeMenuCommandInfo(const HelperAction::MenuCommandInfo& info);
std::variant<HelperAction::MenuCommandInfo, DecodingError> decodeMenuCommandInfo(
    std::string_view json) noexcept;

}  // namespace zorv::helper

template <>
struct std::hash<zorv::helper::HelperAction::MenuCommandInfo> {
  // Hashes the canonical form, so that titles equal under == hash alike.
  std::size_t operator()(const zorv::helper::HelperAction::MenuCommandInfo& info) const;
};

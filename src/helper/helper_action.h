#pragma once
// The action request: one of nine kinds of work, as the main application sends it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zorv::helper {

// A URL that parsed; its text is kept as given.
class URL {
 public:
  // Absent when `text` is not in URL syntax.
  static std::optional<URL> parse(std::string_view text);
  const std::string& absoluteString() const { return text_; }

 private:
  explicit URL(std::string text) : text_(std::move(text)) {}
  std::string text_;
};

struct HelperAction {
  struct MenuCommandInfo {
    std::string menuTitle;
    bool operator==(const MenuCommandInfo& other) const { return menuTitle == other.menuTitle; }
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

// Why a document did not decode. Only `invalidNumberOfKeys` has a text of the
// helper's own; the others carry the parser's.
struct DecodingError {
  std::string description;
};

inline constexpr std::string_view kInvalidNumberOfKeys =
    "Invalid number of keys found, expected one.";

// Limits against hostile documents. Real requests are a few hundred bytes and
// three levels deep.
inline constexpr std::size_t kMaxDocumentBytes = 1 << 20;
inline constexpr int kMaxDocumentDepth = 64;

// Decodes one JSON document; never throws.
std::variant<HelperAction, DecodingError> decodeHelperActionDocument(std::string_view json);

// Writes the document a sender posts for `action`.
std::string encodeHelperAction(const HelperAction& action);

std::string encodeMenuCommandInfo(const HelperAction::MenuCommandInfo& info);
std::variant<HelperAction::MenuCommandInfo, DecodingError> decodeMenuCommandInfo(
    std::string_view json);

}  // namespace zorv::helper

template <>
struct std::hash<zorv::helper::HelperAction::MenuCommandInfo> {
  std::size_t operator()(const zorv::helper::HelperAction::MenuCommandInfo& info) const noexcept {
    return std::hash<std::string>{}(info.menuTitle);
  }
};

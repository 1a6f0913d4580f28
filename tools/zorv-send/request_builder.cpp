#include "request_builder.h"

#include <charconv>
#include <optional>

#include "helper/helper_action.h"

namespace zorv::send {

const char* const kUsage =
    "usage: zorv-send KIND [FIELDS...]\n"
    "       zorv-send --json TEXT\n"
    "       zorv-send --help | --version\n"
    "kinds:\n"
    "  menuCommand \"File -> Export -> PDF\"\n"
    "  menu TITLE [TITLE...]\n"
    "  openURL URL [APPLICATION]\n"
    "  launchApp PATH [ARGUMENTS]\n"
    "  executeFile PATH [ARGUMENTS]\n"
    "  simulateKeystroke CODE        (key code + 256 command, 512 shift, 2048 option, 4096 "
    "control)\n"
    "  switchInputMethod ID\n"
    "  switchWindow\n"
    "  sleep\n";

namespace {

using helper::HelperAction;

UsageError wrongCount(const std::string& kind, const char* expected) {
  return {kind + " takes " + expected};
}

std::optional<std::string> optionalAt(const std::vector<std::string>& fields, std::size_t i) {
  if (i < fields.size()) return fields[i];
  return std::nullopt;
}

}  // namespace

std::variant<std::string, UsageError> buildRequest(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return UsageError{"no kind given"};
  const std::string& kind = arguments[0];
  const std::vector<std::string> fields(arguments.begin() + 1, arguments.end());

  if (kind == "--json") {
    if (fields.size() != 1) return UsageError{"--json takes exactly one text"};
    return fields[0];
  }
  if (kind == "-h" || kind == "--help") return UsageError{""};

  std::optional<HelperAction::Kind> action;
  if (kind == "menuCommand") {
    if (fields.size() != 1) return wrongCount(kind, "one menu path");
    action = HelperAction::MenuCommand{{fields[0]}};
  } else if (kind == "menu") {
    action = HelperAction::Menu{fields};
  } else if (kind == "openURL") {
    if (fields.empty() || fields.size() > 2)
      return wrongCount(kind, "a URL and an optional application");
    auto url = helper::URL::parse(fields[0]);
    if (!url) return UsageError{"not a URL: " + fields[0]};
    action = HelperAction::OpenURL{*url, optionalAt(fields, 1)};
  } else if (kind == "launchApp" || kind == "executeFile") {
    if (fields.empty() || fields.size() > 2)
      return wrongCount(kind, "a path and an optional arguments text");
    if (kind == "launchApp") {
      action = HelperAction::LaunchApp{fields[0], optionalAt(fields, 1)};
    } else {
      action = HelperAction::ExecuteFile{fields[0], optionalAt(fields, 1)};
    }
  } else if (kind == "simulateKeystroke") {
    if (fields.size() != 1) return wrongCount(kind, "one code");
    std::int64_t code = 0;
    const auto& text = fields[0];
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
    if (error != std::errc() || end != text.data() + text.size()) {
      return UsageError{"not a whole number: " + text};
    }
    action = HelperAction::SimulateKeystroke{code};
  } else if (kind == "switchInputMethod") {
    if (fields.size() != 1) return wrongCount(kind, "one input source identifier");
    action = HelperAction::SwitchInputMethod{fields[0]};
  } else if (kind == "switchWindow" || kind == "sleep") {
    if (!fields.empty()) return wrongCount(kind, "no fields");
    action = kind == "sleep" ? HelperAction::Kind(HelperAction::Sleep{})
                             : HelperAction::Kind(HelperAction::SwitchWindow{});
  } else {
    return UsageError{"unknown kind: " + kind};
  }
  return helper::encodeHelperAction(HelperAction{std::move(*action)});
}

}  // namespace zorv::send

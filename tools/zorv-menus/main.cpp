// zorv-menus: the menu paths an application offers, one per line, written as
// menuCommand takes them. It reads the menu bar with the helper's own
// accessibility code and search, so a listed path is one menuCommand reaches.
//
//   zorv-menus [--pid N] [--all] [--json]

#include <glib.h>

#include <charconv>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "helper/menu_listing.h"
#include "linux/linux_platform.h"

namespace {

constexpr const char* kUsage =
    "usage: zorv-menus [--pid N] [--all] [--json]\n"
    "Lists the menu items of the frontmost application (or of process N) that a\n"
    "menuCommand request can choose, as paths such as \"File -> Export -> PDF\".\n"
    "  --all   also the items it cannot choose, each marked with the reason\n"
    "  --json  an array of {\"path\", \"enabled\", \"shortcut\"} objects\n";

struct Options {
  std::optional<int> pid;
  bool all = false;
  bool json = false;
  bool help = false;
};

std::optional<Options> parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--all") {
      options.all = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--pid" && i + 1 < argc && !options.pid) {
      const std::string_view text = argv[++i];
      int pid = 0;
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), pid);
      if (error != std::errc() || end != text.data() + text.size() || pid <= 0) return std::nullopt;
      options.pid = pid;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

// "Ctrl+Shift+E": the modifiers as a PC keyboard names them (the backend maps
// Super to command, Alt to option).
std::string shortcutText(const zorv::helper::MenuListing::Shortcut& shortcut) {
  std::string text;
  if (shortcut.modifiers & 4) text += "Ctrl+";
  if (shortcut.modifiers & 2) text += "Alt+";
  if (shortcut.modifiers & 1) text += "Shift+";
  if (!(shortcut.modifiers & 8)) text += "Super+";
  return text + shortcut.key;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "zorv-menus: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = parse(argc, argv);
  if (!options) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (options->help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  g_set_prgname("zorv-menus");
  zorv::linux_desktop::LinuxPlatform desktop;
  using Listing = zorv::helper::MenuListing;
  const auto listing = Listing::read(
      desktop.platform(),
      {.pid = options->pid, .withSkipped = options->all, .withShortcuts = options->json});
  if (listing.failure) {
    switch (*listing.failure) {
      case Listing::Failure::noFrontmostApplication:
        return fail("no frontmost application");
      case Listing::Failure::noAccessibilityBus:
        return fail("no accessibility bus");
      case Listing::Failure::noMenuBar:
        return fail(listing.applicationName.value_or("the application") + " (pid " +
                    std::to_string(listing.pid) + ") has no menu bar");
    }
  }
  if (options->json) {
    auto array = nlohmann::ordered_json::array();
    for (const auto& entry : listing.entries) {
      nlohmann::ordered_json item{{"path", entry.path}, {"enabled", entry.enabled}};
      if (entry.shortcut) item["shortcut"] = shortcutText(*entry.shortcut);
      if (!entry.skipped.empty()) item["skipped"] = entry.skipped;
      array.push_back(std::move(item));
    }
    // Titles that are not UTF-8 are written with the replacement character.
    std::puts(array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
    return 0;
  }
  for (const auto& entry : listing.entries) {
    if (entry.skipped.empty()) {
      std::printf("%s\n", entry.path.c_str());
    } else {
      std::printf("%s\t(%s)\n", entry.path.c_str(), entry.skipped.c_str());
    }
  }
  return 0;
}

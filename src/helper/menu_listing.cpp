#include "helper/menu_listing.h"

#include "ax/ax_error.h"
#include "helper/menu_attributes.h"
#include "helper/menu_path.h"
#include "helper/menu_search.h"
#include "support/unicode.h"

namespace zorv::helper {
namespace {

class SilentOutput : public port::StandardOutput {
 public:
  void writeLine(const std::string&) override {}
};

std::optional<MenuListing::Shortcut> shortcutOf(port::Platform& platform,
                                                const port::ElementRef& element) {
  auto key = menu_attributes::readString(platform, element, "AXMenuItemCmdChar");
  if (!key || key->empty()) return std::nullopt;
  auto modifiers = menu_attributes::readInteger(platform, element, "AXMenuItemCmdModifiers");
  if (!modifiers || *modifiers < 0 || *modifiers > 15) return std::nullopt;
  return MenuListing::Shortcut{*key, *modifiers};
}

// Whether the path text, read back as menuCommand reads it, gives these names.
bool writable(const std::string& path, const std::vector<std::string>& names,
              const std::optional<std::string>& applicationName) {
  const auto parsed = menuPath(path, applicationName);
  if (parsed.size() != names.size()) return false;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!support::canonicallyEqual(parsed[i], names[i])) return false;
  }
  return true;
}

}  // namespace

MenuListing MenuListing::read(port::Platform& platform, const Options& options) {
  MenuListing listing;
  auto pid = options.pid;
  const bool withSkipped = options.withSkipped;
  auto& ax = platform.accessibility;
  if (pid) {
    auto running = platform.workspace.runningApplicationWithProcessIdentifier(*pid);
    if (running) listing.applicationName = running->localizedName();
  } else if (auto frontmost = platform.workspace.frontmostApplication()) {
    pid = frontmost->processIdentifier();
    listing.applicationName = frontmost->localizedName();
  } else {
    // Without an accessibility bus some sessions cannot tell the frontmost either.
    const auto focused = ax.copyAttributeValue(ax.createSystemWide(), "AXFocusedApplication");
    listing.failure = focused.code == ax::ax_error::apiDisabled ? Failure::noAccessibilityBus
                                                                : Failure::noFrontmostApplication;
    return listing;
  }
  listing.pid = *pid;
  const auto bar = ax.copyAttributeValue(ax.createApplication(*pid), "AXMenuBar");
  if (bar.code == ax::ax_error::apiDisabled) {
    listing.failure = Failure::noAccessibilityBus;
    return listing;
  }
  SilentOutput silent;
  port::Platform quiet{platform.application,
                       platform.dispatch,
                       platform.systemLog,
                       silent,
                       platform.accessibility,
                       platform.workspace,
                       platform.distributedNotifications,
                       platform.userNotifications,
                       platform.alerts,
                       platform.keyboardEvents,
                       platform.textInputSources,
                       platform.appleEvents,
                       platform.tasks,
                       platform.files};
  auto search = bar.ok() ? MenuSearch::open(quiet, *pid) : nullptr;
  if (!search) {
    listing.failure = Failure::noMenuBar;
    return listing;
  }

  std::vector<std::string> inherited;  // by depth: why nothing below is reached
  std::vector<bool> enabledAbove;
  search->walk(withSkipped, [&](const MenuSearch::Visit& visit) {
    const std::size_t depth = visit.names.size();
    inherited.resize(depth);
    enabledAbove.resize(depth);
    const bool own = menu_attributes::isEnabled(quiet, visit.element);
    // Separators are untitled and disabled: no item at all.
    if (!visit.titled && !own) return;
    // The search goes below a bar entry whatever its state, not below a disabled item.
    const bool enabled = own && (depth == 1 || enabledAbove[depth - 2]);
    std::string skipped = depth > 1 ? inherited[depth - 2] : std::string();
    Entry entry;
    for (std::size_t i = 0; i < depth; ++i) entry.path += (i ? " -> " : "") + visit.names[i];
    if (skipped.empty()) {
      if (!visit.titled) {
        skipped = "untitled";
      } else if (!visit.kept || (!visit.hasSubmenu && !enabled)) {
        // A bar entry is kept whatever its state; a press needs it enabled.
        skipped = enabled ? "hidden" : "disabled";
      } else if (!visit.first) {
        skipped = "duplicate";
      } else if (!writable(entry.path, visit.names, listing.applicationName)) {
        skipped = "unwritable";
      }
    }
    inherited[depth - 1] = skipped;
    enabledAbove[depth - 1] = depth == 1 || enabled;
    if (visit.hasSubmenu || (!skipped.empty() && !withSkipped)) return;
    entry.names = visit.names;
    entry.enabled = enabled;
    if (visit.titled && options.withShortcuts) entry.shortcut = shortcutOf(quiet, visit.element);
    entry.skipped = std::move(skipped);
    entry.element = visit.element;
    listing.entries.push_back(std::move(entry));
  });
  return listing;
}

}  // namespace zorv::helper

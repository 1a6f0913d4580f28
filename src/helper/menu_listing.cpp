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

  // By depth: why the search never goes below, whether enabled, whether first.
  std::vector<std::string> inherited;
  std::vector<bool> enabledAbove, firstAbove;
  search->walk(withSkipped, [&](const MenuSearch::Visit& visit) {
    const std::size_t depth = visit.names.size();
    inherited.resize(depth);
    enabledAbove.resize(depth);
    firstAbove.resize(depth);
    const bool own = menu_attributes::isEnabled(quiet, visit.element);
    // Separators are untitled and disabled: no item at all.
    if (!visit.titled && !own) return;
    const bool enabled = own && (depth == 1 || enabledAbove[depth - 2]);
    const bool first = visit.first && (depth == 1 || firstAbove[depth - 2]);
    std::string skipped = depth > 1 ? inherited[depth - 2] : std::string();
    if (skipped.empty() && !visit.titled) skipped = "untitled";
    if (skipped.empty() && !visit.kept) skipped = own ? "hidden" : "disabled";
    inherited[depth - 1] = skipped;
    // The search goes below a bar entry whatever its state.
    enabledAbove[depth - 1] = depth == 1 || enabled;
    firstAbove[depth - 1] = first;
    if (visit.hasSubmenu) return;

    Entry entry;
    for (std::size_t i = 0; i < depth; ++i) entry.path += (i ? " -> " : "") + visit.names[i];
    // A press needs the item enabled (a bar entry is kept whatever its state).
    if (skipped.empty() && !own) skipped = "disabled";
    // Listed as reachable only when menuCommand, given the path text, finds
    // this very item.
    if (skipped.empty() &&
        !search->reaches(menuPath(entry.path, listing.applicationName), visit.element)) {
      skipped = first ? "unwritable" : "duplicate";
    }
    if (!skipped.empty() && !withSkipped) return;
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

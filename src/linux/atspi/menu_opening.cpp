#include "linux/atspi/menu_opening.h"

#include <atspi/atspi-constants.h>
#include <glib.h>

#include <algorithm>
#include <string>

namespace zorv::linux_desktop {
namespace {

constexpr const char* kAccessible = "org.a11y.atspi.Accessible";
constexpr const char* kAction = "org.a11y.atspi.Action";
// A menu opened for the first time builds its items: Firefox took up to a
// second for its first menu on a fresh start.
constexpr gint64 kOpenWaitUs = 2'000'000;
constexpr gint64 kCloseWaitUs = 500'000;
constexpr gulong kPollUs = 20'000;
// The depth above which a menu is no longer searched for its menu bar.
constexpr int kMaxDepth = 12;

bool has(std::uint64_t states, AtspiStateType state) {
  return (states >> state) & 1u;
}

// Firefox marks an open menu expanded, GTK a selected one.
bool isOpen(std::uint64_t states) {
  return has(states, ATSPI_STATE_EXPANDED) || has(states, ATSPI_STATE_SELECTED);
}

}  // namespace

std::uint32_t MenuOpening::role(const AtspiRef& ref, int timeoutMs) {
  auto reply = bus_.call(ref, kAccessible, "GetRole", nullptr, G_VARIANT_TYPE("(u)"), timeoutMs, 0);
  std::uint32_t value = ATSPI_ROLE_INVALID;
  if (reply.ok()) g_variant_get(reply.value.get(), "(u)", &value);
  return value;
}

std::uint64_t MenuOpening::states(const AtspiRef& ref, int timeoutMs) {
  auto reply =
      bus_.call(ref, kAccessible, "GetState", nullptr, G_VARIANT_TYPE("(au)"), timeoutMs, 0);
  if (!reply.ok()) return 0;
  GVariantIter* iter = nullptr;
  g_variant_get(reply.value.get(), "(au)", &iter);
  std::uint64_t bits = 0;
  guint32 word = 0;
  for (int i = 0; i < 2 && g_variant_iter_next(iter, "u", &word); ++i) {
    bits |= std::uint64_t(word) << (32 * i);
  }
  g_variant_iter_free(iter);
  return bits;
}

std::vector<AtspiRef> MenuOpening::children(const AtspiRef& ref, int timeoutMs) {
  auto reply =
      bus_.call(ref, kAccessible, "GetChildren", nullptr, G_VARIANT_TYPE("(a(so))"), timeoutMs, 0);
  std::vector<AtspiRef> list;
  if (!reply.ok()) return list;
  GVariantIter* iter = nullptr;
  g_variant_get(reply.value.get(), "(a(so))", &iter);
  const gchar* bus = nullptr;
  const gchar* path = nullptr;
  while (g_variant_iter_next(iter, "(&s&o)", &bus, &path)) {
    if (std::string(path) != kNullPath) list.push_back(bus_.object(bus, path));
  }
  g_variant_iter_free(iter);
  return list;
}

std::string MenuOpening::name(const AtspiRef& ref, int timeoutMs) {
  auto reply = bus_.property(ref, kAccessible, "Name", timeoutMs);
  if (!reply.ok() || !g_variant_is_of_type(reply.value.get(), G_VARIANT_TYPE_STRING)) return {};
  return g_variant_get_string(reply.value.get(), nullptr);
}

std::optional<AtspiRef> MenuOpening::parentOf(const AtspiRef& ref, int timeoutMs) {
  auto reply = bus_.property(ref, kAccessible, "Parent", timeoutMs);
  if (!reply.ok() || !g_variant_is_of_type(reply.value.get(), G_VARIANT_TYPE("(so)"))) {
    return std::nullopt;
  }
  const gchar* bus = nullptr;
  const gchar* path = nullptr;
  g_variant_get(reply.value.get(), "(&s&o)", &bus, &path);
  if (std::string(path) == kNullPath) return std::nullopt;
  return bus_.object(bus, path);
}

bool MenuOpening::doAction(const AtspiRef& ref, int timeoutMs) {
  auto reply = bus_.call(ref, kAction, "DoAction", g_variant_new("(i)", 0), G_VARIANT_TYPE("(b)"),
                         timeoutMs, 0);
  gboolean done = FALSE;
  if (reply.ok()) g_variant_get(reply.value.get(), "(b)", &done);
  return done;
}

MenuOpening::Chain MenuOpening::chainTo(const AtspiRef& menu, int timeoutMs) {
  Chain chain;
  AtspiRef current = menu;
  for (int depth = 0; depth < kMaxDepth; ++depth) {
    const auto r = role(current, timeoutMs);
    if (r == ATSPI_ROLE_MENU_BAR) {
      std::reverse(chain.menus.begin(), chain.menus.end());
      chain.bar = current;
      return chain;
    }
    // Only menus lead up to the bar (Firefox has no object between a menu and
    // its items either).
    if (r != ATSPI_ROLE_MENU) return {};
    chain.menus.push_back(current);
    auto up = parentOf(current, timeoutMs);
    if (!up) return {};
    current = *up;
  }
  return {};
}

// Presses a closed menu and waits until it is open with its items shown.
bool MenuOpening::open(const AtspiRef& menu, int timeoutMs) {
  if (!doAction(menu, timeoutMs)) return false;
  const gint64 end = g_get_monotonic_time() + kOpenWaitUs;
  do {
    if (isOpen(states(menu, timeoutMs))) {
      // Shown: its first item is on screen.
      auto items = children(menu, timeoutMs);
      if (!items.empty() && has(states(items.front(), timeoutMs), ATSPI_STATE_SHOWING)) return true;
    }
    g_usleep(kPollUs);
  } while (g_get_monotonic_time() < end);
  return false;
}

// A menu's own action closes it again, and the menus open below it with it;
// one still open then (a toolkit that does not) is closed on its own, the
// innermost first.
void MenuOpening::close(const std::vector<AtspiRef>& opened, int timeoutMs) {
  auto closeOne = [&](const AtspiRef& menu) {
    if (!isOpen(states(menu, timeoutMs))) return;
    doAction(menu, timeoutMs);
    const gint64 end = g_get_monotonic_time() + kCloseWaitUs;
    while (isOpen(states(menu, timeoutMs)) && g_get_monotonic_time() < end) g_usleep(kPollUs);
  };
  if (opened.empty()) return;
  closeOne(opened.front());
  std::for_each(opened.rbegin(), opened.rend(), closeOne);
}

std::vector<AtspiRef> MenuOpening::itemsByOpening(const AtspiRef& menu, int timeoutMs) {
  // Only a menu that says it has a popup is filled in on opening (Firefox's say
  // so; GTK's do not, and an empty one stays closed). One open and still empty
  // is empty.
  const auto menuStates = states(menu, timeoutMs);
  if (!has(menuStates, ATSPI_STATE_HAS_POPUP) && !has(menuStates, ATSPI_STATE_EXPANDABLE)) {
    return {};
  }
  if (isOpen(menuStates)) return {};
  const auto chain = chainTo(menu, timeoutMs);
  if (chain.menus.empty()) return {};
  const bool barWasActive = has(states(chain.menus.front(), timeoutMs), ATSPI_STATE_FOCUSED);
  std::vector<AtspiRef> opened;
  std::vector<AtspiRef> items;
  for (const auto& step : chain.menus) {
    if (isOpen(states(step, timeoutMs))) continue;
    if (!open(step, timeoutMs)) break;
    opened.push_back(step);
    if (step == menu) items = children(menu, timeoutMs);
  }
  close(opened, timeoutMs);
  if (!opened.empty() && !barWasActive &&
      has(states(chain.menus.front(), timeoutMs), ATSPI_STATE_FOCUSED)) {
    // Firefox's menu bar stays active with its menus closed; its own action
    // gives the keyboard back. Waited for, so that the next menu opened does
    // not find the bar still active and leave it so.
    doAction(chain.bar, timeoutMs);
    const gint64 end = g_get_monotonic_time() + kCloseWaitUs;
    while (has(states(chain.menus.front(), timeoutMs), ATSPI_STATE_FOCUSED) &&
           g_get_monotonic_time() < end) {
      g_usleep(kPollUs);
    }
  }
  return items;
}

bool MenuOpening::needsOpenMenus(const AtspiRef& item, int timeoutMs) {
  if (name({item.bus, kRootPath, item.connection}, timeoutMs) != "soffice") return false;
  auto parent = parentOf(item, timeoutMs);
  return parent && chainTo(*parent, timeoutMs).menus.size() >= 2;
}

std::optional<AtspiRef> MenuOpening::openMenusAbove(const AtspiRef& item, int timeoutMs) {
  auto parent = parentOf(item, timeoutMs);
  if (!parent) return std::nullopt;
  auto before = children(*parent, timeoutMs);
  const auto place = std::find(before.begin(), before.end(), item) - before.begin();
  const auto title = name(item, timeoutMs);
  for (const auto& step : chainTo(*parent, timeoutMs).menus) {
    if (isOpen(states(step, timeoutMs))) continue;
    if (!open(step, timeoutMs)) {
      close(opened_, timeoutMs);
      opened_.clear();
      return std::nullopt;
    }
    opened_.push_back(step);
  }
  auto now = children(*parent, timeoutMs);
  if (std::size_t(place) < now.size() && name(now[std::size_t(place)], timeoutMs) == title) {
    return now[std::size_t(place)];
  }
  for (const auto& candidate : now) {
    if (name(candidate, timeoutMs) == title) return candidate;
  }
  return item;
}

void MenuOpening::closeAfterPress(int timeoutMs) {
  if (opened_.empty()) return;
  const gint64 end = g_get_monotonic_time() + kCloseWaitUs;
  while (isOpen(states(opened_.front(), timeoutMs)) && g_get_monotonic_time() < end) {
    g_usleep(kPollUs);
  }
  close(opened_, timeoutMs);
  opened_.clear();
}

}  // namespace zorv::linux_desktop

#include "linux/atspi/atspi_snapshot.h"

#include <atspi/atspi-constants.h>

#include <algorithm>
#include <vector>

namespace zorv::linux_desktop {
namespace {

constexpr port::StatusCode kAttributeUnsupported = -25205;
constexpr const char* kAccessible = "org.a11y.atspi.Accessible";

// The roles of menus and their items, each asked of a whole menu at once.
constexpr std::uint32_t kMenuRoles[] = {ATSPI_ROLE_MENU,
                                        ATSPI_ROLE_MENU_ITEM,
                                        ATSPI_ROLE_CHECK_MENU_ITEM,
                                        ATSPI_ROLE_RADIO_MENU_ITEM,
                                        ATSPI_ROLE_SEPARATOR,
                                        ATSPI_ROLE_TEAROFF_MENU_ITEM};

AtspiReply copy(const AtspiReply& reply) {
  return {reply.code, reply.value ? VariantPtr(g_variant_ref(reply.value.get())) : nullptr};
}

// A property's reply `(v)` as its value.
AtspiReply unwrapped(AtspiReply reply) {
  if (!reply.ok()) return reply;
  GVariant* inner = nullptr;
  g_variant_get(reply.value.get(), "(v)", &inner);
  return {0, VariantPtr(inner)};
}

// Collection.GetMatches below `ref`, all levels deep: the objects whose role is `role`.
AtspiCall descendantsWithRole(const AtspiRef& ref, std::uint32_t role) {
  std::int32_t roles[4] = {0, 0, 0, 0};
  roles[role / 32] = std::int32_t(1u << (role % 32));
  GVariant* rule = g_variant_new(
      "(@aii@a{ss}i@aii@asib)", g_variant_new_parsed("@ai [0, 0]"), ATSPI_Collection_MATCH_ALL,
      g_variant_new_parsed("@a{ss} {}"), ATSPI_Collection_MATCH_ALL,
      g_variant_new_fixed_array(G_VARIANT_TYPE_INT32, roles, 4, sizeof(std::int32_t)),
      ATSPI_Collection_MATCH_ANY, g_variant_new_strv(nullptr, 0), ATSPI_Collection_MATCH_ALL,
      FALSE);
  return {ref,
          "org.a11y.atspi.Collection",
          "GetMatches",
          g_variant_new("(@(aiia{ss}iaiiasib)uib)", rule, ATSPI_Collection_SORT_ORDER_CANONICAL, 0,
                        TRUE),
          G_VARIANT_TYPE("(a(so))"),
          kAttributeUnsupported};
}

}  // namespace

AtspiSnapshot::~AtspiSnapshot() {
  if (forgetSource_) g_source_remove(forgetSource_);
}

AtspiCall AtspiSnapshot::callFor(const AtspiRef& ref, Read what) const {
  switch (what) {
    case Read::role:
      return {ref, kAccessible, "GetRole", nullptr, G_VARIANT_TYPE("(u)"), kAttributeUnsupported};
    case Read::name:
      return {ref,
              "org.freedesktop.DBus.Properties",
              "Get",
              g_variant_new("(ss)", kAccessible, "Name"),
              G_VARIANT_TYPE("(v)"),
              kAttributeUnsupported};
    case Read::states:
      return {ref, kAccessible, "GetState", nullptr, G_VARIANT_TYPE("(au)"), kAttributeUnsupported};
    case Read::extents:
      return {ref,
              "org.a11y.atspi.Component",
              "GetExtents",
              g_variant_new("(u)", ATSPI_COORD_TYPE_SCREEN),
              G_VARIANT_TYPE("((iiii))"),
              kAttributeUnsupported};
    case Read::keyBinding:
      return {ref,
              "org.a11y.atspi.Action",
              "GetKeyBinding",
              g_variant_new("(i)", 0),
              G_VARIANT_TYPE("(s)"),
              kAttributeUnsupported};
    case Read::children:
      break;
  }
  return {
      ref, kAccessible, "GetChildren", nullptr, G_VARIANT_TYPE("(a(so))"), kAttributeUnsupported};
}

AtspiReply AtspiSnapshot::read(const AtspiRef& ref, Read what, int timeoutMs) {
  if (bus_.changes() != changes_) forget();
  AtspiReply reply;
  if (what != Read::role && what != Read::name) {
    // The first item of a menu asked is asked alone (a search reads the one
    // item that matches); a second one fetches them all.
    if (auto it = siblings_.find(key(ref, Read::role));
        it != siblings_.end() && !replies_.contains(key(ref, what)) &&
        !askedAlone_.emplace(it->second.get(), what).second) {
      const auto siblings = it->second;
      std::vector<std::pair<AtspiRef, Read>> wanted;
      // Size and state are asked together (whether a menu item is kept).
      const bool both = what == Read::states || what == Read::extents;
      for (const auto& sibling : *siblings) {
        wanted.emplace_back(sibling, what);
        if (both) wanted.emplace_back(sibling, what == Read::states ? Read::extents : Read::states);
      }
      fetch(std::move(wanted), timeoutMs);
    }
  }
  if (auto it = replies_.find(key(ref, what)); it != replies_.end()) {
    reply = copy(it->second);
  } else {
    auto c = callFor(ref, what);
    reply = bus_.call(c.ref, c.interface, c.method, c.parameters, c.replyType, timeoutMs,
                      c.unsupported);
    if (what == Read::name) reply = unwrapped(std::move(reply));
    // A call that changed the application leaves nothing read before it.
    if (bus_.changes() != changes_) forget();
    keep(ref, what, copy(reply));
  }
  if (what == Read::children && reply.ok() && !prefetched_.contains(key(ref, what))) {
    prefetched_.insert(key(ref, what));
    prefetch(ref, reply, timeoutMs);
  }
  return reply;
}

std::optional<std::uint32_t> AtspiSnapshot::knownRole(const AtspiRef& ref) const {
  auto it = replies_.find(key(ref, Read::role));
  if (it == replies_.end() || !it->second.ok()) return std::nullopt;
  std::uint32_t role = 0;
  g_variant_get(it->second.value.get(), "(u)", &role);
  return role;
}

void AtspiSnapshot::fetch(std::vector<std::pair<AtspiRef, Read>> wanted, int timeoutMs) {
  std::vector<AtspiCall> calls;
  std::vector<std::pair<AtspiRef, Read>> asked;
  for (auto& [ref, what] : wanted) {
    if (replies_.contains(key(ref, what))) continue;
    calls.push_back(callFor(ref, what));
    asked.emplace_back(std::move(ref), what);
  }
  if (calls.empty()) return;
  auto replies = bus_.callMany(std::move(calls), timeoutMs);
  if (bus_.changes() != changes_) return;  // a new connection to the bus meanwhile
  for (std::size_t i = 0; i < replies.size(); ++i) {
    auto& [ref, what] = asked[i];
    keep(ref, what, what == Read::name ? unwrapped(std::move(replies[i])) : std::move(replies[i]));
  }
}

void AtspiSnapshot::learnMenuRoles(const AtspiRef& menu, int timeoutMs) {
  std::vector<AtspiCall> calls;
  for (auto role : kMenuRoles) calls.push_back(descendantsWithRole(menu, role));
  auto replies = bus_.callMany(std::move(calls), timeoutMs);
  if (bus_.changes() != changes_) return;
  for (std::size_t i = 0; i < replies.size(); ++i) {
    if (!replies[i].ok()) return;  // no Collection: the roles are asked one by one
    GVariantIter* iter = nullptr;
    g_variant_get(replies[i].value.get(), "(a(so))", &iter);
    const gchar* bus = nullptr;
    const gchar* path = nullptr;
    while (g_variant_iter_next(iter, "(&s&o)", &bus, &path)) {
      const auto ref = bus_.object(bus, path);
      if (!replies_.contains(key(ref, Read::role))) {
        keep(ref, Read::role,
             {0, VariantPtr(g_variant_ref_sink(g_variant_new("(u)", kMenuRoles[i])))});
      }
    }
    g_variant_iter_free(iter);
  }
}

void AtspiSnapshot::prefetch(const AtspiRef& parent, const AtspiReply& children, int timeoutMs) {
  std::vector<AtspiRef> kids;
  GVariantIter* iter = nullptr;
  g_variant_get(children.value.get(), "(a(so))", &iter);
  const gchar* bus = nullptr;
  const gchar* path = nullptr;
  while (g_variant_iter_next(iter, "(&s&o)", &bus, &path)) {
    if (std::string(path) != kNullPath) kids.push_back(bus_.object(bus, path));
  }
  g_variant_iter_free(iter);
  const auto siblings = std::make_shared<const std::vector<AtspiRef>>(kids);
  for (const auto& kid : kids) siblings_[key(kid, Read::role)] = siblings;
  const auto parentRole = knownRole(parent);
  const bool menu = parentRole == ATSPI_ROLE_MENU_BAR || parentRole == ATSPI_ROLE_MENU;
  std::vector<std::pair<AtspiRef, Read>> wanted;
  const bool rolesKnown =
      std::all_of(kids.begin(), kids.end(), [&](const auto& kid) { return knownRole(kid); });
  // The roles of all menus and items inside a menu come in a handful of calls
  // (where the toolkit has AT-SPI's Collection interface), not one per item.
  if (!rolesKnown && parentRole == ATSPI_ROLE_MENU) learnMenuRoles(parent, timeoutMs);
  for (const auto& kid : kids) {
    if (!knownRole(kid)) wanted.emplace_back(kid, Read::role);
    if (menu) wanted.emplace_back(kid, Read::name);
  }
  fetch(std::move(wanted), timeoutMs);
  if (!menu) return;
  // The menu readers ask every item of a menu for its name (above), and every
  // entry with a submenu for its items, and for its size and state too unless
  // it sits in the menu bar (menu bar items are kept whatever their state).
  wanted.clear();
  for (const auto& kid : kids) {
    if (knownRole(kid) != ATSPI_ROLE_MENU) continue;
    wanted.emplace_back(kid, Read::children);
    if (parentRole != ATSPI_ROLE_MENU) continue;
    for (auto what : {Read::states, Read::extents}) wanted.emplace_back(kid, what);
  }
  fetch(std::move(wanted), timeoutMs);
}

void AtspiSnapshot::keep(const AtspiRef& ref, Read what, AtspiReply reply) {
  if (replies_.empty()) changes_ = bus_.changes();
  replies_[key(ref, what)] = std::move(reply);
  if (forgetSource_) return;
  // Reads block the main loop, so this runs only once the work that made them
  // has returned to it; its priority puts it before the next queued request.
  forgetSource_ = g_idle_add_full(
      G_PRIORITY_HIGH,
      [](gpointer self) {
        auto* snapshot = static_cast<AtspiSnapshot*>(self);
        snapshot->forgetSource_ = 0;
        snapshot->forget();
        return G_SOURCE_REMOVE;
      },
      this, nullptr);
}

void AtspiSnapshot::forget() {
  replies_.clear();
  prefetched_.clear();
  siblings_.clear();
  askedAlone_.clear();
  changes_ = bus_.changes();
}

}  // namespace zorv::linux_desktop

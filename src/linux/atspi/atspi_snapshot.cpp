#include "linux/atspi/atspi_snapshot.h"

#include <atspi/atspi-constants.h>

#include <algorithm>
#include <iterator>
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

bool isMenuRole(std::uint32_t role) {
  return std::find(std::begin(kMenuRoles), std::end(kMenuRoles), role) != std::end(kMenuRoles);
}

// A GetChildren reply without children.
AtspiReply noChildren() {
  return {0, VariantPtr(g_variant_ref_sink(g_variant_new(
                 "(@a(so))", g_variant_new_array(G_VARIANT_TYPE("(so)"), nullptr, 0))))};
}

// The objects of a `(a(so))` reply.
std::vector<std::pair<std::string, std::string>> objectsOf(const AtspiReply& reply) {
  std::vector<std::pair<std::string, std::string>> objects;
  GVariantIter* iter = nullptr;
  g_variant_get(reply.value.get(), "(a(so))", &iter);
  const gchar* bus = nullptr;
  const gchar* path = nullptr;
  while (g_variant_iter_next(iter, "(&s&o)", &bus, &path)) objects.emplace_back(bus, path);
  g_variant_iter_free(iter);
  return objects;
}

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

// Read through Properties.Get, whose reply `(v)` holds the value.
bool isProperty(AtspiSnapshot::Read what) {
  return what == AtspiSnapshot::Read::name || what == AtspiSnapshot::Read::parent;
}

// Collection.GetMatches below `ref`, all levels deep, in the order of a
// depth-first walk: the objects whose role is `role`; every object when none.
AtspiCall descendantsWithRole(const AtspiRef& ref, std::optional<std::uint32_t> role) {
  std::int32_t roles[4] = {0, 0, 0, 0};
  if (role) roles[*role / 32] = std::int32_t(1u << (*role % 32));
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
    case Read::parent:
      return {ref,
              "org.freedesktop.DBus.Properties",
              "Get",
              g_variant_new("(ss)", kAccessible, what == Read::name ? "Name" : "Parent"),
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
  if (what != Read::role && what != Read::name && what != Read::parent) {
    // The first item of a menu asked is asked alone (a search reads the one
    // item that matches); a second one fetches them all.
    if (auto it = siblings_.find(key(ref, Read::role));
        it != siblings_.end() && !replies_.contains(key(ref, what))) {
      const auto siblings = it->second;
      // Size and state are asked together (whether a menu item is kept).
      const bool both = what == Read::states || what == Read::extents;
      const auto other = what == Read::states ? Read::extents : Read::states;
      const bool alone = askedAlone_.emplace(siblings.get(), what).second;
      if (both) askedAlone_.emplace(siblings.get(), other);
      std::vector<std::pair<AtspiRef, Read>> wanted;
      for (const auto& sibling : alone ? std::vector{ref} : *siblings) {
        wanted.emplace_back(sibling, what);
        if (both) wanted.emplace_back(sibling, other);
      }
      if (!alone || both) fetch(std::move(wanted), timeoutMs);
    }
  }
  if (auto it = replies_.find(key(ref, what)); it != replies_.end()) {
    reply = copy(it->second);
  } else {
    auto c = callFor(ref, what);
    reply = bus_.call(c.ref, c.interface, c.method, c.parameters, c.replyType, timeoutMs,
                      c.unsupported);
    if (isProperty(what)) reply = unwrapped(std::move(reply));
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
    keep(ref, what, isProperty(what) ? unwrapped(std::move(replies[i])) : std::move(replies[i]));
  }
}

void AtspiSnapshot::readAll(std::vector<std::pair<AtspiRef, Read>> wanted, int timeoutMs) {
  if (bus_.changes() != changes_) forget();
  fetch(std::move(wanted), timeoutMs);
}

void AtspiSnapshot::readLevel(const std::vector<AtspiRef>& parents, int timeoutMs) {
  if (bus_.changes() != changes_) forget();
  std::vector<std::pair<AtspiRef, Read>> wanted;
  for (const auto& parent : parents) wanted.emplace_back(parent, Read::children);
  fetch(std::move(wanted), timeoutMs);
  std::vector<AtspiRef> kids;
  for (const auto& parent : parents) {
    auto it = replies_.find(key(parent, Read::children));
    if (it == replies_.end() || !it->second.ok()) continue;
    for (const auto& [bus, path] : objectsOf(it->second)) {
      if (path != kNullPath) kids.push_back(bus_.object(bus, path));
    }
  }
  wanted.clear();
  for (const auto& kid : kids) wanted.emplace_back(kid, Read::role);
  fetch(std::move(wanted), timeoutMs);
  wanted.clear();
  for (const auto& kid : kids) {
    if (knownRole(kid) != ATSPI_ROLE_MENU_BAR) continue;
    for (auto what : {Read::states, Read::extents}) wanted.emplace_back(kid, what);
  }
  fetch(std::move(wanted), timeoutMs);
}

void AtspiSnapshot::learnMenuRoles(const AtspiRef& menu, int timeoutMs) {
  std::vector<AtspiCall> calls;
  for (auto role : kMenuRoles) calls.push_back(descendantsWithRole(menu, role));
  calls.push_back(descendantsWithRole(menu, std::nullopt));
  auto replies = bus_.callMany(std::move(calls), timeoutMs);
  if (bus_.changes() != changes_) return;
  for (const auto& reply : replies) {
    if (!reply.ok()) return;  // no Collection: the roles are asked one by one
  }
  for (std::size_t i = 0; i < std::size(kMenuRoles); ++i) {
    for (const auto& [bus, path] : objectsOf(replies[i])) {
      const auto ref = bus_.object(bus, path);
      if (!replies_.contains(key(ref, Read::role))) {
        keep(ref, Read::role,
             {0, VariantPtr(g_variant_ref_sink(g_variant_new("(u)", kMenuRoles[i])))});
      }
    }
  }
  Walk walk;
  walk.objects = objectsOf(replies.back());
  for (std::size_t i = 0; i < walk.objects.size(); ++i) walk.index.emplace(walk.objects[i], i);
  spans_[{menu.bus, menu.path}] = {walks_.size(), 0, walk.objects.size()};
  walks_.push_back(std::move(walk));
}

bool AtspiSnapshot::learnSpans(const AtspiRef& parent, const std::vector<AtspiRef>& kids) {
  auto it = spans_.find({parent.bus, parent.path});
  if (it == spans_.end() || kids.empty()) return false;
  const auto span = it->second;
  const auto& walk = walks_[span.walk];
  // The children must come in the walk where a depth-first walk puts them:
  // the first right after the parent, each after the objects below the one
  // before it, all before the end of the objects below the parent.
  std::vector<std::size_t> at;
  for (const auto& kid : kids) {
    auto found = walk.index.find({kid.bus, kid.path});
    if (found == walk.index.end() || found->second >= span.end) return false;
    if (at.empty() ? found->second != span.begin : found->second <= at.back()) return false;
    at.push_back(found->second);
  }
  for (std::size_t i = 0; i < kids.size(); ++i) {
    spans_[{kids[i].bus, kids[i].path}] = {span.walk, at[i] + 1,
                                           i + 1 < kids.size() ? at[i + 1] : span.end};
  }
  return true;
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
  // Once a second menu of the menu bar is read, the whole bar is being
  // searched: its roles and walk in one batch, and then all the readers ask.
  if (bar_ && std::find(barMenus_.begin(), barMenus_.end(), parent) != barMenus_.end() &&
      ++barMenusRead_ == 2) {
    learnMenuRoles(*bar_, timeoutMs);
    if (auto span = spans_.find({bar_->bus, bar_->path});
        span != spans_.end() && learnSpans(*bar_, barMenus_)) {
      auto& walk = walks_[span->second.walk];
      walk.submenusRead = 2;
      prefetchWalk(walk, timeoutMs);
    }
  }
  if (auto span = spans_.find({parent.bus, parent.path});
      span != spans_.end() && span->second.begin > 0) {
    auto& walk = walks_[span->second.walk];
    if (++walk.submenusRead == 2) prefetchWalk(walk, timeoutMs);
  }
  const auto parentRole = knownRole(parent);
  const bool menu = parentRole == ATSPI_ROLE_MENU_BAR || parentRole == ATSPI_ROLE_MENU;
  if (parentRole == ATSPI_ROLE_MENU_BAR) {
    bar_ = parent;
    barMenus_ = kids;
    barMenusRead_ = 0;
  }
  std::vector<std::pair<AtspiRef, Read>> wanted;
  const bool rolesKnown =
      std::all_of(kids.begin(), kids.end(), [&](const auto& kid) { return knownRole(kid); });
  // The roles of all menus and items inside a menu come in a handful of calls
  // (where the toolkit has AT-SPI's Collection interface), not one per item.
  if (!rolesKnown && parentRole == ATSPI_ROLE_MENU) learnMenuRoles(parent, timeoutMs);
  for (const auto& kid : kids) {
    const auto role = knownRole(kid);
    if (!role) wanted.emplace_back(kid, Read::role);
    // A separator's title is empty whatever its name: its name is not asked.
    if (menu && role != ATSPI_ROLE_SEPARATOR) wanted.emplace_back(kid, Read::name);
  }
  // What else is fetched depends on the roles: once they are all known, it
  // goes in the same batch.
  if (!menu ||
      !std::all_of(kids.begin(), kids.end(), [&](const auto& kid) { return knownRole(kid); })) {
    fetch(std::move(wanted), timeoutMs);
    wanted.clear();
  }
  if (!menu) return;
  // The menu readers ask every item of a menu for its name (above), and for
  // its children, and every entry with a submenu for its size and state too
  // unless it sits in the menu bar (menu bar items are kept whatever their
  // state). Where the walk of an enclosing menu shows that nothing is below an
  // item, it has no children; the others' are fetched. Without a walk, those
  // of the menus among them.
  const bool spans = learnSpans(parent, kids);
  for (const auto& kid : kids) {
    const auto role = knownRole(kid);
    if (spans && role && isMenuRole(*role)) {
      const auto& span = spans_.at({kid.bus, kid.path});
      if (span.begin == span.end) {
        if (!replies_.contains(key(kid, Read::children))) {
          keep(kid, Read::children, noChildren());
        }
      } else {
        wanted.emplace_back(kid, Read::children);
      }
    } else if (role == ATSPI_ROLE_MENU && parentRole == ATSPI_ROLE_MENU) {
      // A menu of the bar is read when a search gets to it: a path reads one.
      wanted.emplace_back(kid, Read::children);
    }
    if (role != ATSPI_ROLE_MENU || parentRole != ATSPI_ROLE_MENU) continue;
    for (auto what : {Read::states, Read::extents}) wanted.emplace_back(kid, what);
  }
  fetch(std::move(wanted), timeoutMs);
}

void AtspiSnapshot::prefetchWalk(const Walk& walk, int timeoutMs) {
  std::vector<std::pair<AtspiRef, Read>> wanted;
  for (const auto& [bus, path] : walk.objects) {
    const auto ref = bus_.object(bus, path);
    const auto role = knownRole(ref);
    if (role != ATSPI_ROLE_SEPARATOR) wanted.emplace_back(ref, Read::name);
    if (role != ATSPI_ROLE_MENU) continue;
    for (auto what : {Read::children, Read::states, Read::extents}) wanted.emplace_back(ref, what);
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
  walks_.clear();
  spans_.clear();
  bar_.reset();
  barMenus_.clear();
  prefetched_.clear();
  siblings_.clear();
  askedAlone_.clear();
  changes_ = bus_.changes();
}

}  // namespace zorv::linux_desktop

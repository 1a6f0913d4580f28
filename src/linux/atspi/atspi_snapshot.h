#pragma once
// What the accessibility port reads of objects, fetched many objects at a time
// and kept for the work item in progress only.
//
// A menu is read item by item, and every attribute of every item is a D-Bus
// call. Asked for the children of a menu bar or a menu, the snapshot sends at
// once the calls for every child's name, and for every child with a submenu
// its children, and in a menu also its states and extents (children of
// anything else: their roles),
// and keeps the replies: reading a menu costs one wait instead of several per
// item. The roles of all menus and items inside a menu come from a handful of
// Collection.GetMatches calls, one per role, for all its levels. The replies are those the
// single calls would give, errors included.
//
// Nothing read is kept past the work item: the snapshot is emptied as soon as
// the main loop is back (a high-priority idle source, before the next queued
// request or event), and also at once after any call that may change an
// application (a press) or a new connection to the accessibility bus.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "linux/atspi/atspi_bus.h"

namespace zorv::linux_desktop {

class AtspiSnapshot {
 public:
  // keyBinding: Action.GetKeyBinding of the first action.
  enum class Read { role, name, states, extents, children, keyBinding };

  explicit AtspiSnapshot(AtspiBus& bus) : bus_(bus) {}
  ~AtspiSnapshot();
  AtspiSnapshot(const AtspiSnapshot&) = delete;
  AtspiSnapshot& operator=(const AtspiSnapshot&) = delete;

  // The reply of `what` on `ref`, as the single call gives it (for the name:
  // the property's value), from the snapshot when it holds it.
  AtspiReply read(const AtspiRef& ref, Read what, int timeoutMs);

 private:
  using Key = std::tuple<std::string, std::string, std::uint64_t, Read>;
  static Key key(const AtspiRef& ref, Read what) {
    return {ref.bus, ref.path, ref.connection, what};
  }
  AtspiCall callFor(const AtspiRef& ref, Read what) const;
  // What the readers will ask of the children of `parent`, fetched in one
  // batch (two when their roles are not known yet); what depends on the
  // parent's role, when known.
  void prefetch(const AtspiRef& parent, const AtspiReply& children, int timeoutMs);
  // The replies not kept yet, all in one batch.
  void fetch(std::vector<std::pair<AtspiRef, Read>> wanted, int timeoutMs);
  // The role of every menu and menu item below `menu`, all levels deep, as
  // role replies; nothing where the toolkit lacks Collection.GetMatches.
  void learnMenuRoles(const AtspiRef& menu, int timeoutMs);
  std::optional<std::uint32_t> knownRole(const AtspiRef& ref) const;
  void keep(const AtspiRef& ref, Read what, AtspiReply reply);
  void forget();

  AtspiBus& bus_;
  std::map<Key, AtspiReply> replies_;
  std::set<Key> prefetched_;  // the children replies whose children were prefetched
  // The children of a prefetched parent, by key(child, Read::role): their
  // states, extents, children or key binding, when not kept yet, are fetched
  // for all of them at once once a second of them is asked, as a reader that
  // asks two items of a menu asks the others next.
  std::map<Key, std::shared_ptr<const std::vector<AtspiRef>>> siblings_;
  std::set<std::pair<const void*, Read>> askedAlone_;  // by siblings_ entry
  std::uint64_t changes_ = 0;                          // bus_.changes() when the replies were read
  unsigned forgetSource_ = 0;                          // the idle source that empties the snapshot
};

}  // namespace zorv::linux_desktop

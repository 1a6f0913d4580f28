#pragma once
// What the accessibility port reads of objects, fetched many objects at a time
// and kept for the work item in progress only.
//
// A menu is read item by item, and every attribute of every item is a D-Bus
// call. Asked for the children of a menu bar or a menu, the snapshot sends at
// once the calls for every child's name, and in a menu for every child with a
// submenu its children, states and extents (children of anything else: their
// roles), and keeps the replies: reading a menu costs one wait instead of
// several per item. The menus of the bar are read as a search gets to them (a
// path reads one); the first item of a menu asked for its size or state is
// asked for both, alone, and a second item asked has them fetched for all.
// The roles of all menus and items inside a menu come from a handful of
// Collection.GetMatches calls, one per role, for all its levels, and one more
// gives every object below the menu in the order of a depth-first walk: an
// item that the next child follows at once there has nothing below it, so its
// (empty) children need no call. Once a second submenu of a menu is read, the
// whole menu is being searched: what the readers ask of all its objects goes
// in one batch; the same for the menu bar once a second of its menus is read.
// A level of a breadth-first search (for the menu bar below a window) is
// fetched in one batch too, and so is what checks that a menu bar found
// before is still where it was. The replies are those the single calls would
// give, errors included.
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
  enum class Read { role, name, parent, states, extents, children, keyBinding };

  explicit AtspiSnapshot(AtspiBus& bus) : bus_(bus) {}
  ~AtspiSnapshot();
  AtspiSnapshot(const AtspiSnapshot&) = delete;
  AtspiSnapshot& operator=(const AtspiSnapshot&) = delete;

  // The reply of `what` on `ref`, as the single call gives it (for the name
  // and the parent: the property's value), from the snapshot when it holds it.
  AtspiReply read(const AtspiRef& ref, Read what, int timeoutMs);
  // The role of `ref` when the snapshot holds it (no call).
  std::optional<std::uint32_t> knownRole(const AtspiRef& ref) const;
  // Fetches in one batch what a reader is about to ask.
  void readAll(std::vector<std::pair<AtspiRef, Read>> wanted, int timeoutMs);
  // Fetches the children of all `parents` in one batch, then the roles of all
  // those children in another, and the states and extents of the menu bars
  // among them in a third: a level of a breadth-first search.
  void readLevel(const std::vector<AtspiRef>& parents, int timeoutMs);

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
  // role replies, and the walk of all objects below it; nothing where the
  // toolkit lacks Collection.GetMatches.
  void learnMenuRoles(const AtspiRef& menu, int timeoutMs);
  // Where the objects below each of `kids`, the children of `parent`, are in
  // the walk that holds the objects below `parent`; false when there is none
  // or the children are not where a walk puts them.
  bool learnSpans(const AtspiRef& parent, const std::vector<AtspiRef>& kids);
  void keep(const AtspiRef& ref, Read what, AtspiReply reply);
  void forget();

  using Object = std::pair<std::string, std::string>;  // bus name, path
  // The objects below a menu, in the order Collection.GetMatches gives them
  // (depth first: each object, then the objects below it).
  struct Walk {
    std::vector<Object> objects;
    std::map<Object, std::size_t> index;
    int submenusRead = 0;  // menus below the first level whose children were read
  };
  // The objects below one object: [begin, end) of walks_[walk].
  struct Span {
    std::size_t walk, begin, end;
  };

  // What the readers ask of every object of a walk, in one batch: read once a
  // second submenu of the walk's menu is read (a search of all its levels,
  // not a path, which reads one submenu a level).
  void prefetchWalk(const Walk& walk, int timeoutMs);

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
  std::vector<Walk> walks_;
  std::map<Object, Span> spans_;
  std::optional<AtspiRef> bar_;     // the last menu bar whose children were read
  std::vector<AtspiRef> barMenus_;  // its children
  int barMenusRead_ = 0;            // how many of them had their children read
};

}  // namespace zorv::linux_desktop

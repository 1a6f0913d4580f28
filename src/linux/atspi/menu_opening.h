#pragma once
// Menus that an application fills in only when they open. Firefox gives each
// menu of its menu bar (and each submenu) its items only once the menu has been
// shown; LibreOffice's GTK menus list the items of a submenu that a controller
// builds (View > Toolbars) but carry out a press of one only while that submenu
// is open. This opens such menus the way a user would, through each menu's own
// action, and closes again what it opened.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "linux/atspi/atspi_bus.h"

namespace zorv::linux_desktop {

class MenuOpening {
 public:
  explicit MenuOpening(AtspiBus& bus) : bus_(bus) {}

  // The items of `menu`, which listed none and says it has a popup: its menus
  // from the menu bar down are opened, its items read once they are shown, and
  // the outermost menu opened is closed again (with it those below); when that
  // left the menu bar active (Firefox shows a hidden menu bar then, and keeps the
  // keyboard there) its own action gives it up, which hands the focus back to
  // where it was. Empty when the menu stays empty.
  std::vector<AtspiRef> itemsByOpening(const AtspiRef& menu, int timeoutMs);

  // Whether a press of `item` takes effect only while its menus are open: an
  // item two menus or more below the menu bar of LibreOffice.
  bool needsOpenMenus(const AtspiRef& item, int timeoutMs);

  // Opens the menus above `item` from the menu bar down and returns the item to
  // press: LibreOffice builds the items of such a menu anew as it opens, so it is
  // the open menu's item of the same name (at the same place when several share
  // it). Nullopt (and what was opened closed again) when a menu did not open.
  std::optional<AtspiRef> openMenusAbove(const AtspiRef& item, int timeoutMs);

  // After the press: the press closes the menus as a click on an item does; the
  // menus opened above are closed when they are still open after a moment.
  void closeAfterPress(int timeoutMs);

 private:
  // The menus from the one below the menu bar down to `menu` included, and the
  // menu bar; empty when `menu` is not in a menu bar.
  struct Chain {
    AtspiRef bar;
    std::vector<AtspiRef> menus;
  };
  Chain chainTo(const AtspiRef& menu, int timeoutMs);
  bool open(const AtspiRef& menu, int timeoutMs);
  void close(const std::vector<AtspiRef>& opened, int timeoutMs);

  std::uint32_t role(const AtspiRef& ref, int timeoutMs);
  std::uint64_t states(const AtspiRef& ref, int timeoutMs);
  std::vector<AtspiRef> children(const AtspiRef& ref, int timeoutMs);
  std::string name(const AtspiRef& ref, int timeoutMs);
  std::optional<AtspiRef> parentOf(const AtspiRef& ref, int timeoutMs);
  bool doAction(const AtspiRef& ref, int timeoutMs);

  AtspiBus& bus_;
  std::vector<AtspiRef> opened_;  // by openMenusAbove
};

}  // namespace zorv::linux_desktop

#pragma once
// Menus that an application fills in only when they open. Firefox gives each
// menu of its menu bar (and each submenu) its items only once the menu has been
// shown; LibreOffice's GTK menus list the items of a submenu that a controller
// builds (View > Toolbars) but carry out a press of one only while that submenu
// is open. This opens such menus the way a user would, through each menu's own
// action, and closes again what it opened.

#include <cstdint>
#include <optional>
#include <vector>

#include "linux/atspi/atspi_bus.h"

namespace zorv::linux_desktop {

class MenuOpening {
 public:
  explicit MenuOpening(AtspiBus& bus) : bus_(bus) {}

  // The items of `menu`, which listed none: its menus from the menu bar down are
  // opened, its items read once they appear, and the menus closed again in
  // reverse order; when that left the menu bar active (Firefox shows a hidden
  // menu bar then, and keeps the keyboard there) its own action gives it up, which
  // hands the focus back to where it was. Empty when the menu stays empty.
  std::vector<AtspiRef> itemsByOpening(const AtspiRef& menu, int timeoutMs);

  // Whether a press of `item` takes effect only while its menus are open: an
  // item two menus or more below the menu bar of LibreOffice.
  bool needsOpenMenus(const AtspiRef& item, int timeoutMs);

  // Opens the menus above `item` from the menu bar down; the press that follows
  // closes them as a click on an item does. False (and what was opened closed
  // again) when a menu did not open.
  bool openMenusAbove(const AtspiRef& item, int timeoutMs);

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
  std::optional<AtspiRef> parentOf(const AtspiRef& ref, int timeoutMs);
  bool doAction(const AtspiRef& ref, int timeoutMs);

  AtspiBus& bus_;
};

}  // namespace zorv::linux_desktop

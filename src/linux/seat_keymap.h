#pragma once
// The keymap a Wayland compositor gives its clients for the seat's keyboard.

#include <xkbcommon/xkbcommon.h>

#include "linux/wayland_display.h"
#include "linux/x11/xkb_layout.h"

namespace zorv::linux_desktop {

// The keymap of the seat's keyboard (wl_keyboard.keymap); null when the seat
// has no keyboard or the compositor sends none.
KeymapRef seatKeymap(WaylandDisplay& display, xkb_context* context);

}  // namespace zorv::linux_desktop

#pragma once
// Pressing an object (a menu item, a button) through AT-SPI's Action interface
// without stalling the helper on an application that runs the action in a
// nested main loop, as a modal dialog does.

#include "linux/atspi/atspi_bus.h"
#include "port/types.h"

namespace zorv::linux_desktop {

// How long a press waits for the application to come back from the action
// before it is taken to be running a modal dialog (and marked busy on `bus`).
inline constexpr int kPressSettleMs = 250;

// Action.DoAction(0) on `ref`, waiting up to `timeoutMs` for the answer: 0 when
// the application took the press, CannotComplete when it refused it or did not
// answer in time, InvalidUIElement when the object is gone. Then waits up to
// kPressSettleMs for the application to be through with the action; one that is
// not is busy, and calls to it fail at once until it is.
port::StatusCode pressObject(AtspiBus& bus, const AtspiRef& ref, int timeoutMs);

}  // namespace zorv::linux_desktop

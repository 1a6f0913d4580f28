#include "linux/atspi/menu_press.h"

namespace zorv::linux_desktop {
namespace {

constexpr port::StatusCode kCannotComplete = -25204;
constexpr port::StatusCode kActionUnsupported = -25206;

}  // namespace

port::StatusCode pressObject(AtspiBus& bus, const AtspiRef& ref, int timeoutMs) {
  // The toolkit bridge answers before it runs the action, and then runs it
  // inside the dispatch of this very call: an item that opens a modal dialog
  // keeps the application in that dispatch until the dialog closes, and it
  // reads no other accessibility message meanwhile. A bridge that answers only
  // afterwards keeps the answer back for as long.
  auto reply = bus.call(ref, "org.a11y.atspi.Action", "DoAction", g_variant_new("(i)", 0),
                        G_VARIANT_TYPE("(b)"), timeoutMs, kActionUnsupported);
  if (!reply.ok()) {
    // No answer in time: the application may still be in the action. Later
    // calls then fail at once instead of waiting for it again and again.
    if (reply.code == kCannotComplete) bus.settle(ref.bus, 0);
    return reply.code;
  }
  gboolean done = FALSE;
  g_variant_get(reply.value.get(), "(b)", &done);
  if (!done) return kCannotComplete;
  // The press was taken; whether the action has ended is learnt here, without
  // holding the helper for longer than a moment.
  bus.settle(ref.bus, kPressSettleMs);
  return 0;
}

}  // namespace zorv::linux_desktop

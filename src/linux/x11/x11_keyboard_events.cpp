#include "linux/x11/x11_keyboard_events.h"

#include <X11/extensions/XTest.h>

#include "linux/key_codes.h"

namespace zorv::linux_desktop {
namespace {

class X11EventSource : public port::EventSource {};

class X11KeyEvent : public port::KeyboardEvent {
 public:
  X11KeyEvent(std::uint16_t virtualKey, unsigned xKeycode, bool down)
      : virtualKey_(virtualKey), xKeycode_(xKeycode), down_(down) {}
  std::uint16_t keyCode() const override { return virtualKey_; }
  bool keyDown() const override { return down_; }
  // Kept, not sent: an X key event carries no modifier state of its own; the
  // server derives it from the modifier keys that are down.
  port::EventFlags flags() const override { return flags_; }
  void setFlags(port::EventFlags flags) override { flags_ = flags; }
  unsigned xKeycode() const { return xKeycode_; }

 private:
  std::uint16_t virtualKey_;
  unsigned xKeycode_;
  bool down_;
  port::EventFlags flags_ = 0;
};

}  // namespace

X11KeyboardEvents::X11KeyboardEvents(X11Display* display) : display_(display) {
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  xtest_ = display_ &&
           XTestQueryExtension(display_->get(), &eventBase, &errorBase, &major, &minor) == True;
}

std::unique_ptr<port::EventSource> X11KeyboardEvents::createEventSource(port::EventSourceState) {
  return std::make_unique<X11EventSource>();
}

std::unique_ptr<port::KeyboardEvent> X11KeyboardEvents::createKeyboardEvent(
    const port::EventSource*, std::uint16_t virtualKey, bool keyDown) {
  if (!xtest_) return nullptr;
  const auto evdev = evdevCode(virtualKey);
  if (!evdev) return nullptr;
  return std::make_unique<X11KeyEvent>(virtualKey, *evdev + kXKeycodeOffset, keyDown);
}

void X11KeyboardEvents::post(port::EventTap, const port::KeyboardEvent& event) {
  const auto* key = dynamic_cast<const X11KeyEvent*>(&event);
  if (!key || !display_) return;
  XTestFakeKeyEvent(display_->get(), key->xKeycode(), key->keyDown() ? True : False, CurrentTime);
  XFlush(display_->get());
}

}  // namespace zorv::linux_desktop

#pragma once
// Keyboard events posted into the X server's input stream with XTest: a key
// event there is a physical key going down or up.

#include "linux/x11/x11_display.h"
#include "port/keyboard_events.h"

namespace zorv::linux_desktop {

class X11KeyboardEvents : public port::KeyboardEvents {
 public:
  // `display` may be null (no X server): then no event can be created.
  explicit X11KeyboardEvents(X11Display* display);

  // X has no event sources; one is handed out so that callers can go on.
  std::unique_ptr<port::EventSource> createEventSource(port::EventSourceState state) override;
  // Null for a key code that has no key on a PC keyboard, or without XTest.
  std::unique_ptr<port::KeyboardEvent> createKeyboardEvent(const port::EventSource* source,
                                                           std::uint16_t virtualKey,
                                                           bool keyDown) override;
  // Every tap is the same on X: the event enters as if from the keyboard.
  void post(port::EventTap tap, const port::KeyboardEvent& event) override;

 private:
  X11Display* display_;
  bool xtest_ = false;
};

}  // namespace zorv::linux_desktop

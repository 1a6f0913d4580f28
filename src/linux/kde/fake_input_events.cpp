#include "linux/kde/fake_input_events.h"

#include "fake-input-client-protocol.h"
#include "linux/evdev_key_event.h"
#include "linux/key_codes.h"
#include "linux/seat_keymap.h"

namespace zorv::linux_desktop {

FakeInputEvents::FakeInputEvents(WaylandDisplay* display) : display_(display) {
  if (!display_) return;
  // keyboard_key came with version 4.
  const auto global = display_->global(org_kde_kwin_fake_input_interface.name);
  if (!global || global->version < 4) return;
  input_ =
      static_cast<org_kde_kwin_fake_input*>(display_->bind(org_kde_kwin_fake_input_interface, 4));
  if (!input_) return;
  // KWin ignores the events of a client that has not asked.
  org_kde_kwin_fake_input_authenticate(input_, "zorv-helper",
                                       "Carries out keystroke requests on the desktop");
  if (auto* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {
    keymap_ = seatKeymap(*display_, context);
    xkb_context_unref(context);
  }
  display_->roundtrip();
}

FakeInputEvents::~FakeInputEvents() {
  if (!input_) return;
  if (!display_->connectionLost()) {
    // Keys of ours still down would stay down for the application.
    for (auto evdev : down_) {
      org_kde_kwin_fake_input_keyboard_key(input_, evdev, WL_KEYBOARD_KEY_STATE_RELEASED);
    }
    display_->flush();
  }
  org_kde_kwin_fake_input_destroy(input_);
}

std::unique_ptr<port::EventSource> FakeInputEvents::createEventSource(port::EventSourceState) {
  return std::make_unique<EvdevEventSource>();
}

std::unique_ptr<port::KeyboardEvent> FakeInputEvents::createKeyboardEvent(const port::EventSource*,
                                                                          std::uint16_t virtualKey,
                                                                          bool keyDown) {
  if (!input_ || display_->connectionLost()) return nullptr;
  const auto evdev = evdevCode(virtualKey);
  if (!evdev) return nullptr;
  return std::make_unique<EvdevKeyEvent>(virtualKey, *evdev, keyDown);
}

void FakeInputEvents::post(port::EventTap, const port::KeyboardEvent& event) {
  const auto* key = dynamic_cast<const EvdevKeyEvent*>(&event);
  if (!key || !input_ || display_->connectionLost()) return;
  if (key->keyDown()) {
    down_.insert(key->evdev());
  } else {
    down_.erase(key->evdev());
  }
  org_kde_kwin_fake_input_keyboard_key(
      input_, key->evdev(),
      key->keyDown() ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
  display_->flush();
}

}  // namespace zorv::linux_desktop

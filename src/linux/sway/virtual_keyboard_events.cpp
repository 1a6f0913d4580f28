#include "linux/sway/virtual_keyboard_events.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "linux/evdev_key_event.h"
#include "linux/key_codes.h"
#include "linux/seat_keymap.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace zorv::linux_desktop {

namespace {

// A sealed memory file holding the keymap's text with its final NUL, as the
// protocol wants it.
int keymapFile(xkb_keymap* keymap, std::uint32_t& size) {
  char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
  if (!text) return -1;
  const std::size_t length = std::strlen(text) + 1;
  int fd = memfd_create("zorv-keymap", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd >= 0 && write(fd, text, length) != static_cast<ssize_t>(length)) {
    close(fd);
    fd = -1;
  }
  std::free(text);
  if (fd >= 0) fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
  size = static_cast<std::uint32_t>(length);
  return fd;
}

std::uint32_t nowMs() {
  return static_cast<std::uint32_t>(g_get_monotonic_time() / 1000);
}

}  // namespace

VirtualKeyboardEvents::VirtualKeyboardEvents(WaylandDisplay* display, CurrentGroup currentGroup)
    : display_(display),
      currentGroup_(std::move(currentGroup)),
      context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {
  if (!display_ || !context_) return;
  manager_ = static_cast<zwp_virtual_keyboard_manager_v1*>(
      display_->bind(zwp_virtual_keyboard_manager_v1_interface, 1));
  auto* seat = static_cast<wl_seat*>(display_->bind(wl_seat_interface, 5));
  if (!manager_ || !seat) {
    if (seat) wl_seat_release(seat);
    return;
  }
  // The session's keymap: the seat's, while it has a keyboard before ours.
  KeymapRef keymap = seatKeymap(*display_, context_);
  if (!keymap) {
    keymap = adoptKeymap(xkb_keymap_new_from_names(context_, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS));
  }
  std::uint32_t size = 0;
  const int fd = keymap ? keymapFile(keymap.get(), size) : -1;
  if (fd >= 0) {
    keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager_, seat);
    zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, size);
    close(fd);
    display_->roundtrip();
    keymap_ = keymap;
    state_.reset(xkb_state_new(keymap_.get()));
  }
  wl_seat_release(seat);
  display_->flush();
}

VirtualKeyboardEvents::~VirtualKeyboardEvents() {
  if (keyboard_) {
    // Keys of ours still down would stay down for the application.
    for (auto evdev : down_) zwp_virtual_keyboard_v1_key(keyboard_, nowMs(), evdev, 0);
    zwp_virtual_keyboard_v1_destroy(keyboard_);
  }
  if (manager_) zwp_virtual_keyboard_manager_v1_destroy(manager_);
  if (display_ && !display_->connectionLost()) display_->flush();
  if (context_) xkb_context_unref(context_);
}

std::unique_ptr<port::EventSource> VirtualKeyboardEvents::createEventSource(
    port::EventSourceState) {
  return std::make_unique<EvdevEventSource>();
}

std::unique_ptr<port::KeyboardEvent> VirtualKeyboardEvents::createKeyboardEvent(
    const port::EventSource*, std::uint16_t virtualKey, bool keyDown) {
  if (!keyboard_ || display_->connectionLost()) return nullptr;
  const auto evdev = evdevCode(virtualKey);
  if (!evdev) return nullptr;
  return std::make_unique<EvdevKeyEvent>(virtualKey, *evdev, keyDown);
}

void VirtualKeyboardEvents::post(port::EventTap, const port::KeyboardEvent& event) {
  const auto* key = dynamic_cast<const EvdevKeyEvent*>(&event);
  if (!key || !keyboard_ || display_->connectionLost()) return;
  // A keystroke starts with nothing of ours down: the layout is read then, and
  // holds for the whole keystroke.
  if (down_.empty() && currentGroup_) {
    if (auto group = currentGroup_()) group_ = *group;
  }
  if (key->keyDown()) {
    down_.insert(key->evdev());
  } else {
    down_.erase(key->evdev());
  }
  xkb_state_update_key(state_.get(), key->evdev() + kXKeycodeOffset,
                       key->keyDown() ? XKB_KEY_DOWN : XKB_KEY_UP);
  zwp_virtual_keyboard_v1_key(keyboard_, nowMs(), key->evdev(), key->keyDown() ? 1 : 0);
  // The compositor keeps a virtual keyboard's modifiers as the client says.
  zwp_virtual_keyboard_v1_modifiers(
      keyboard_, xkb_state_serialize_mods(state_.get(), XKB_STATE_MODS_DEPRESSED),
      xkb_state_serialize_mods(state_.get(), XKB_STATE_MODS_LATCHED),
      xkb_state_serialize_mods(state_.get(), XKB_STATE_MODS_LOCKED), group_);
  display_->flush();
}

}  // namespace zorv::linux_desktop

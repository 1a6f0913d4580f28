#include "linux/seat_keymap.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

namespace zorv::linux_desktop {
namespace {

struct SeatKeyboard {
  xkb_context* context;
  KeymapRef keymap;
  bool hasKeyboard = false;
};

const wl_keyboard_listener keyboardListener = {
    [](void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
      auto* seat = static_cast<SeatKeyboard*>(data);
      if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (text != MAP_FAILED) {
          seat->keymap = adoptKeymap(
              xkb_keymap_new_from_buffer(seat->context, static_cast<const char*>(text),
                                         strnlen(static_cast<const char*>(text), size),
                                         XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
          munmap(text, size);
        }
      }
      close(fd);
    },
    [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},
    [](void*, wl_keyboard*, std::uint32_t, wl_surface*) {},
    [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
    [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
       std::uint32_t) {},
    [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
};

const wl_seat_listener seatListener = {
    [](void* data, wl_seat*, std::uint32_t capabilities) {
      static_cast<SeatKeyboard*>(data)->hasKeyboard =
          (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    },
    [](void*, wl_seat*, const char*) {},
};

}  // namespace

KeymapRef seatKeymap(WaylandDisplay& display, xkb_context* context) {
  auto* seat = static_cast<wl_seat*>(display.bind(wl_seat_interface, 5));
  if (!seat) return nullptr;
  SeatKeyboard keyboard{context, nullptr, false};
  wl_seat_add_listener(seat, &seatListener, &keyboard);
  display.roundtrip();
  if (keyboard.hasKeyboard) {
    auto* wlKeyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(wlKeyboard, &keyboardListener, &keyboard);
    display.roundtrip();
    wl_keyboard_release(wlKeyboard);
  }
  wl_seat_release(seat);
  display.flush();
  return keyboard.keymap;
}

}  // namespace zorv::linux_desktop

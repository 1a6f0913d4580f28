// zorv-bench-key-observer: the smallest Wayland window that takes keyboard
// focus, for timing key delivery on a compositor. It prints "ready" once it
// has the focus, then one line per wl_keyboard.key event as the client library
// hands it over: "key press|release EVDEV-CODE MICROSECONDS" (CLOCK_MONOTONIC).
//
//   zorv-bench-key-observer [TITLE]

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "xdg-shell-client-protocol.h"

namespace {

constexpr int kWidth = 64, kHeight = 64;

struct State {
  wl_compositor* compositor = nullptr;
  wl_shm* shm = nullptr;
  xdg_wm_base* wmBase = nullptr;
  wl_seat* seat = nullptr;
  wl_keyboard* keyboard = nullptr;
  wl_surface* surface = nullptr;
  bool configured = false;
};

long long monotonicMicros() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000LL + now.tv_nsec / 1000;
}

void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t) {
  auto* state = static_cast<State*>(data);
  auto bind = [&](const wl_interface* type, std::uint32_t version) {
    return wl_registry_bind(registry, name, type, version);
  };
  if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
    state->compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
  } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
    state->shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
  } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
    state->wmBase = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 1));
  } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !state->seat) {
    state->seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 5));
  }
}
void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener registryListener{onGlobal, onGlobalRemove};

void onPing(void*, xdg_wm_base* base, std::uint32_t serial) {
  xdg_wm_base_pong(base, serial);
}
const xdg_wm_base_listener wmBaseListener{onPing};

// A white buffer, attached on the first configure.
wl_buffer* whiteBuffer(wl_shm* shm) {
  const int stride = kWidth * 4, size = stride * kHeight;
  const int fd = memfd_create("zorv-key-observer", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, size) != 0) return nullptr;
  void* pixels = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (pixels == MAP_FAILED) return nullptr;
  std::memset(pixels, 0xff, size);
  munmap(pixels, size);
  wl_shm_pool* pool = wl_shm_create_pool(shm, fd, size);
  wl_buffer* buffer =
      wl_shm_pool_create_buffer(pool, 0, kWidth, kHeight, stride, WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
  return buffer;
}

void onSurfaceConfigure(void* data, xdg_surface* surface, std::uint32_t serial) {
  auto* state = static_cast<State*>(data);
  xdg_surface_ack_configure(surface, serial);
  if (!state->configured) {
    state->configured = true;
    wl_surface_attach(state->surface, whiteBuffer(state->shm), 0, 0);
  }
  wl_surface_commit(state->surface);
}
const xdg_surface_listener surfaceListener{onSurfaceConfigure};

void onToplevelConfigure(void*, xdg_toplevel*, std::int32_t, std::int32_t, wl_array*) {}
void onToplevelClose(void*, xdg_toplevel*) {}
// Bound at version 1: the later events (bounds, capabilities) never come.
const xdg_toplevel_listener toplevelListener{onToplevelConfigure, onToplevelClose, nullptr,
                                             nullptr};

void onKeymap(void*, wl_keyboard*, std::uint32_t, int fd, std::uint32_t) {
  close(fd);
}
void onEnter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {
  std::printf("ready\n");
  std::fflush(stdout);
}
void onLeave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
void onKey(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key,
           std::uint32_t pressed) {
  const long long now = monotonicMicros();
  std::printf("key %s %u %lld\n", pressed ? "press" : "release", key, now);
  std::fflush(stdout);
}
void onModifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                 std::uint32_t) {}
void onRepeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {}
const wl_keyboard_listener keyboardListener{onKeymap, onEnter,     onLeave,
                                            onKey,    onModifiers, onRepeatInfo};

// A seat has a keyboard only while some keyboard exists (on a headless
// compositor, once a virtual keyboard is made).
void onCapabilities(void* data, wl_seat* seat, std::uint32_t capabilities) {
  auto* state = static_cast<State*>(data);
  if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && !state->keyboard) {
    state->keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(state->keyboard, &keyboardListener, nullptr);
  }
}
void onSeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener seatListener{onCapabilities, onSeatName};

}  // namespace

int main(int argc, char** argv) {
  wl_display* display = wl_display_connect(nullptr);
  if (!display) {
    std::fprintf(stderr, "%s: no Wayland display\n", argv[0]);
    return 1;
  }
  State state;
  wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &state);
  wl_display_roundtrip(display);
  if (!state.compositor || !state.shm || !state.wmBase || !state.seat) {
    std::fprintf(stderr, "%s: the compositor lacks a needed global\n", argv[0]);
    return 1;
  }
  xdg_wm_base_add_listener(state.wmBase, &wmBaseListener, nullptr);
  state.surface = wl_compositor_create_surface(state.compositor);
  xdg_surface* surface = xdg_wm_base_get_xdg_surface(state.wmBase, state.surface);
  xdg_surface_add_listener(surface, &surfaceListener, &state);
  xdg_toplevel* toplevel = xdg_surface_get_toplevel(surface);
  xdg_toplevel_add_listener(toplevel, &toplevelListener, nullptr);
  xdg_toplevel_set_title(toplevel, argc > 1 ? argv[1] : "key observer");
  wl_seat_add_listener(state.seat, &seatListener, &state);
  wl_surface_commit(state.surface);
  while (wl_display_dispatch(display) != -1) {
  }
  return 0;
}

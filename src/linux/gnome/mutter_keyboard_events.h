#pragma once
// Keyboard events on GNOME: mutter's remote desktop service
// (org.gnome.Mutter.RemoteDesktop on the session bus) takes evdev key codes.
// One remote desktop session serves the helper's whole life. It belongs to the
// bus connection that created it, so the helper holds a connection of its own
// for it: created with the first key event, made anew when mutter drops it.
// The interface is private to GNOME; the events go through `KeySink`, so that
// another service (the desktop portal's RemoteDesktop) can take its place.

#include <gio/gio.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "port/keyboard_events.h"

namespace zorv::linux_desktop {

// Where key events end up: a physical key (an evdev code) going down or up.
class KeySink {
 public:
  virtual ~KeySink() = default;
  // False when the event could not be delivered.
  virtual bool key(std::uint32_t evdev, bool down) = 0;
};

class MutterRemoteDesktop : public KeySink {
 public:
  // `busAddress`: the session bus's address; empty for the environment's.
  explicit MutterRemoteDesktop(std::string busAddress = {});
  ~MutterRemoteDesktop() override;
  MutterRemoteDesktop(const MutterRemoteDesktop&) = delete;
  MutterRemoteDesktop& operator=(const MutterRemoteDesktop&) = delete;

  bool key(std::uint32_t evdev, bool down) override;
  // Whether mutter answers on the bus of `connection` (asked at start-up).
  static bool available(GDBusConnection* connection);

 private:
  bool ensureSession();
  void dropSession();
  bool notify(std::uint32_t evdev, bool down);

  std::string busAddress_;
  GDBusConnection* connection_ = nullptr;
  std::string session_;  // the session's object path; empty without one
  guint closedSubscription_ = 0;
};

class MutterKeyboardEvents : public port::KeyboardEvents {
 public:
  explicit MutterKeyboardEvents(std::unique_ptr<KeySink> sink) : sink_(std::move(sink)) {}
  ~MutterKeyboardEvents() override;

  std::unique_ptr<port::EventSource> createEventSource(port::EventSourceState state) override;
  // Null for a key code that has no key on a PC keyboard.
  std::unique_ptr<port::KeyboardEvent> createKeyboardEvent(const port::EventSource* source,
                                                           std::uint16_t virtualKey,
                                                           bool keyDown) override;
  void post(port::EventTap tap, const port::KeyboardEvent& event) override;

 private:
  std::unique_ptr<KeySink> sink_;
  std::set<std::uint32_t> down_;  // evdev codes of our keys that are down
};

}  // namespace zorv::linux_desktop

#pragma once
// Synthetic keyboard events posted into the system's input stream.
// Threads: every call on the main thread.

#include <cstdint>
#include <memory>

namespace zorv::port {

using EventFlags = std::uint64_t;

namespace event_flag {
inline constexpr EventFlags shift = 0x20000;
inline constexpr EventFlags control = 0x40000;
inline constexpr EventFlags alternate = 0x80000;
inline constexpr EventFlags command = 0x100000;
}  // namespace event_flag

enum class EventSourceState : int { privateState = -1, combinedSession = 0, hidSystem = 1 };
enum class EventTap : int { hid = 0, session = 1, annotatedSession = 2 };

class EventSource {
 public:
  virtual ~EventSource() = default;
};

// One keyboard event; released when the owner drops it.
class KeyboardEvent {
 public:
  virtual ~KeyboardEvent() = default;
  virtual std::uint16_t keyCode() const = 0;
  virtual bool keyDown() const = 0;
  virtual EventFlags flags() const = 0;
  virtual void setFlags(EventFlags flags) = 0;
};

class KeyboardEvents {
 public:
  virtual ~KeyboardEvents() = default;
  // Null when the platform cannot make a source.
  virtual std::unique_ptr<EventSource> createEventSource(EventSourceState state) = 0;
  // `source` may be null (no source). Null when the platform cannot make the event.
  virtual std::unique_ptr<KeyboardEvent> createKeyboardEvent(const EventSource* source,
                                                             std::uint16_t virtualKey,
                                                             bool keyDown) = 0;
  virtual void post(EventTap tap, const KeyboardEvent& event) = 0;
};

}  // namespace zorv::port

#pragma once
// In-memory keyboard: posted events are recorded; input sources and their
// layouts are what the test declares.

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "desktop/event_log.h"
#include "port/keyboard_events.h"
#include "port/text_input_sources.h"

namespace zorv::testing {

struct PostedKeyEvent {
  std::uint16_t keyCode;
  bool keyDown;
  port::EventFlags flags;
  port::EventTap tap;
  bool hadSource;
};

class MemoryKeyboardEvents : public port::KeyboardEvents {
 public:
  explicit MemoryKeyboardEvents(EventLog& log) : log_(log) {}
  std::unique_ptr<port::EventSource> createEventSource(port::EventSourceState state) override;
  std::unique_ptr<port::KeyboardEvent> createKeyboardEvent(const port::EventSource* source,
                                                           std::uint16_t virtualKey,
                                                           bool keyDown) override;
  void post(port::EventTap tap, const port::KeyboardEvent& event) override;

  std::vector<PostedKeyEvent> posted;
  // Flags a new event starts with (the platform may set some, e.g. caps lock).
  port::EventFlags initialFlags = 0;
  std::set<std::uint16_t> failingKeyCodes;
  int liveEvents = 0;  // created and not yet released

 private:
  EventLog& log_;
};

// A layout: key code → what a display translation yields.
struct MemoryLayout : port::KeyboardLayout {
  std::map<std::uint16_t, std::u16string> keys;
  std::map<std::uint16_t, port::StatusCode> failures;
};

struct MemoryInputSource : port::InputSourceHandle {
  std::optional<std::string> id;
  std::optional<std::string> localizedName;
  std::optional<port::PropertyValue> category =
      port::PropertyValue(std::string(port::kCategoryKeyboardInputSource));
  std::optional<port::PropertyValue> selectCapable = port::PropertyValue(true);
  std::shared_ptr<const MemoryLayout> layout;
};

// The arguments of one layout translation.
struct TranslationCall {
  std::uint16_t keyCode;
  port::KeyAction action;
  std::uint32_t modifierKeyState;
  std::uint32_t keyboardType;
  std::uint32_t options;
  std::uint32_t deadKeyState;  // as it came in
  std::size_t maxLength;
};

class MemoryTextInputSources : public port::TextInputSources {
 public:
  explicit MemoryTextInputSources(EventLog& log) : log_(log) {}

  std::vector<std::shared_ptr<MemoryInputSource>> enabled;
  std::shared_ptr<MemoryInputSource> current;
  int listRequests = 0;
  int translations = 0;
  std::vector<TranslationCall> translationCalls;

  port::InputSourceRef copyCurrentKeyboardInputSource() override { return current; }
  std::vector<port::InputSourceRef> createInputSourceList(bool includeAllInstalled) override;
  std::optional<port::PropertyValue> getInputSourceProperty(
      const port::InputSourceRef& source, port::InputSourceProperty property) override;
  port::StatusCode selectInputSource(const port::InputSourceRef& source) override;
  std::uint32_t keyboardType() override { return 40; }
  port::KeyTranslation keyTranslate(const port::KeyboardLayout& layout,
                                    std::uint16_t virtualKeyCode, port::KeyAction action,
                                    std::uint32_t modifierKeyState, std::uint32_t keyboardType,
                                    std::uint32_t options, std::uint32_t& deadKeyState,
                                    std::size_t maxLength) override;
  // Test sources have no icons.
  port::ImageRef imageWithContentsOfURL(const std::string&) override { return nullptr; }
  port::ImageRef imageWithIcon(const port::IconHandle&) override { return nullptr; }

 private:
  EventLog& log_;
};

}  // namespace zorv::testing

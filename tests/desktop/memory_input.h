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

class MemoryKeyEvent : public port::KeyboardEvent {
 public:
  MemoryKeyEvent(std::uint16_t code, bool down, port::EventFlags flags, bool hadSource, int& live)
      : code_(code), down_(down), flags_(flags), hadSource_(hadSource), live_(++live) {}
  ~MemoryKeyEvent() override { --live_; }
  std::uint16_t keyCode() const override { return code_; }
  bool keyDown() const override { return down_; }
  port::EventFlags flags() const override { return flags_; }
  void setFlags(port::EventFlags flags) override { flags_ = flags; }
  bool hadSource() const { return hadSource_; }

 private:
  std::uint16_t code_;
  bool down_;
  port::EventFlags flags_;
  bool hadSource_;
  int& live_;
};

class MemoryKeyboardEvents : public port::KeyboardEvents {
 public:
  explicit MemoryKeyboardEvents(EventLog& log) : log_(log) {}
  std::unique_ptr<port::EventSource> createEventSource(port::EventSourceState) override {
    return std::make_unique<port::EventSource>();
  }
  std::unique_ptr<port::KeyboardEvent> createKeyboardEvent(const port::EventSource* source,
                                                           std::uint16_t virtualKey,
                                                           bool keyDown) override {
    if (failingKeyCodes.contains(virtualKey)) return nullptr;
    return std::make_unique<MemoryKeyEvent>(virtualKey, keyDown, initialFlags, source != nullptr,
                                            liveEvents);
  }
  void post(port::EventTap tap, const port::KeyboardEvent& event) override {
    const auto& e = static_cast<const MemoryKeyEvent&>(event);
    log_.add("key: " + std::to_string(e.keyCode()) + (e.keyDown() ? " down" : " up") +
             " flags=" + std::to_string(e.flags()));
    posted.push_back({e.keyCode(), e.keyDown(), e.flags(), tap, e.hadSource()});
  }

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
  std::vector<TranslationCall> translationCalls;

  port::InputSourceRef copyCurrentKeyboardInputSource() override { return current; }
  std::vector<port::InputSourceRef> createInputSourceList(bool includeAllInstalled) override {
    log_.add(std::string("TISCreateInputSourceList all=") + (includeAllInstalled ? "1" : "0"));
    ++listRequests;
    return {enabled.begin(), enabled.end()};
  }
  std::optional<port::PropertyValue> getInputSourceProperty(
      const port::InputSourceRef& source, port::InputSourceProperty property) override {
    const auto& s = static_cast<const MemoryInputSource&>(*source);
    using P = port::InputSourceProperty;
    if (property == P::inputSourceID && s.id) return *s.id;
    if (property == P::localizedName && s.localizedName) return *s.localizedName;
    if (property == P::inputSourceCategory) return s.category;
    if (property == P::isSelectCapable) return s.selectCapable;
    if (property == P::unicodeKeyLayoutData && s.layout) {
      return std::shared_ptr<const port::KeyboardLayout>(s.layout);
    }
    return std::nullopt;
  }
  port::StatusCode selectInputSource(const port::InputSourceRef& source) override {
    const auto& s = static_cast<const MemoryInputSource&>(*source);
    log_.add("TISSelectInputSource " + s.id.value_or("?"));
    for (const auto& e : enabled) {
      if (e.get() == &s) current = e;
    }
    return port::kSuccess;
  }
  std::uint32_t keyboardType() override { return 40; }
  port::KeyTranslation keyTranslate(const port::KeyboardLayout& layout,
                                    std::uint16_t virtualKeyCode, port::KeyAction action,
                                    std::uint32_t modifierKeyState, std::uint32_t keyboardType,
                                    std::uint32_t options, std::uint32_t& deadKeyState,
                                    std::size_t maxLength) override {
    translationCalls.push_back(
        {virtualKeyCode, action, modifierKeyState, keyboardType, options, deadKeyState, maxLength});
    const auto& l = static_cast<const MemoryLayout&>(layout);
    deadKeyState = 0;
    if (auto f = l.failures.find(virtualKeyCode); f != l.failures.end()) return {f->second, {}};
    auto it = l.keys.find(virtualKeyCode);
    if (it == l.keys.end()) return {port::kSuccess, {}};
    return {port::kSuccess, it->second.substr(0, maxLength)};
  }
  // Test sources have no icons.
  port::ImageRef imageWithContentsOfURL(const std::string&) override { return nullptr; }
  port::ImageRef imageWithIcon(const port::IconHandle&) override { return nullptr; }

 private:
  EventLog& log_;
};

}  // namespace zorv::testing

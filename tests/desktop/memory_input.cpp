#include "desktop/memory_input.h"

namespace zorv::testing {
namespace {

class MemorySource : public port::EventSource {};

class MemoryKeyEvent : public port::KeyboardEvent {
 public:
  MemoryKeyEvent(std::uint16_t code, bool down, port::EventFlags flags, bool hadSource, int& live)
      : code_(code), down_(down), flags_(flags), hadSource_(hadSource), live_(live) {
    ++live_;
  }
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

}  // namespace

std::unique_ptr<port::EventSource> MemoryKeyboardEvents::createEventSource(port::EventSourceState) {
  return std::make_unique<MemorySource>();
}

std::unique_ptr<port::KeyboardEvent> MemoryKeyboardEvents::createKeyboardEvent(
    const port::EventSource* source, std::uint16_t virtualKey, bool keyDown) {
  if (failingKeyCodes.contains(virtualKey)) return nullptr;
  return std::make_unique<MemoryKeyEvent>(virtualKey, keyDown, initialFlags, source != nullptr,
                                          liveEvents);
}

void MemoryKeyboardEvents::post(port::EventTap tap, const port::KeyboardEvent& event) {
  const auto& e = static_cast<const MemoryKeyEvent&>(event);
  log_.add("key: " + std::to_string(e.keyCode()) + (e.keyDown() ? " down" : " up") +
           " flags=" + std::to_string(e.flags()));
  posted.push_back({e.keyCode(), e.keyDown(), e.flags(), tap, e.hadSource()});
}

std::vector<port::InputSourceRef> MemoryTextInputSources::createInputSourceList(
    bool includeAllInstalled) {
  log_.add(std::string("TISCreateInputSourceList all=") + (includeAllInstalled ? "1" : "0"));
  ++listRequests;
  return {enabled.begin(), enabled.end()};
}

std::optional<port::PropertyValue> MemoryTextInputSources::getInputSourceProperty(
    const port::InputSourceRef& source, port::InputSourceProperty property) {
  const auto& s = static_cast<const MemoryInputSource&>(*source);
  using P = port::InputSourceProperty;
  switch (property) {
    case P::inputSourceID:
      if (s.id) return *s.id;
      return std::nullopt;
    case P::localizedName:
      if (s.localizedName) return *s.localizedName;
      return std::nullopt;
    case P::inputSourceCategory:
      return s.category;
    case P::isSelectCapable:
      return s.selectCapable;
    case P::iconImageURL:
    case P::iconRef:
      return std::nullopt;
    case P::unicodeKeyLayoutData:
      if (s.layout) return std::shared_ptr<const port::KeyboardLayout>(s.layout);
      return std::nullopt;
  }
  return std::nullopt;
}

port::StatusCode MemoryTextInputSources::selectInputSource(const port::InputSourceRef& source) {
  const auto& s = static_cast<const MemoryInputSource&>(*source);
  log_.add("TISSelectInputSource " + s.id.value_or("?"));
  for (const auto& e : enabled) {
    if (e.get() == &s) current = e;
  }
  return port::kSuccess;
}

port::KeyTranslation MemoryTextInputSources::keyTranslate(
    const port::KeyboardLayout& layout, std::uint16_t virtualKeyCode, port::KeyAction action,
    std::uint32_t modifierKeyState, std::uint32_t keyboardType, std::uint32_t options,
    std::uint32_t& deadKeyState, std::size_t maxLength) {
  ++translations;
  translationCalls.push_back(
      {virtualKeyCode, action, modifierKeyState, keyboardType, options, deadKeyState, maxLength});
  const auto& l = static_cast<const MemoryLayout&>(layout);
  deadKeyState = 0;
  if (auto f = l.failures.find(virtualKeyCode); f != l.failures.end()) return {f->second, {}};
  auto it = l.keys.find(virtualKeyCode);
  if (it == l.keys.end()) return {port::kSuccess, {}};
  return {port::kSuccess, it->second.substr(0, maxLength)};
}

}  // namespace zorv::testing

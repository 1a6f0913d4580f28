#include "helper/keystroke.h"

#include <memory>
#include <string>
#include <vector>

namespace zorv::helper {
namespace {

struct ModifierKey {
  bool KeyModifiers::*isSet;
  std::uint16_t keyCode;
  port::EventFlags flag;
};

// Also the order in which the modifier keys are posted, down and up alike.
constexpr ModifierKey kModifierKeys[] = {
    {&KeyModifiers::command, 55, port::event_flag::command},
    {&KeyModifiers::shift, 56, port::event_flag::shift},
    {&KeyModifiers::option, 58, port::event_flag::alternate},
    {&KeyModifiers::control, 59, port::event_flag::control},
};

}  // namespace

Keystroke decodeKeystroke(std::int64_t code) {
  Keystroke keystroke;
  keystroke.keyCode = static_cast<std::uint16_t>(code & 0xFF);
  keystroke.modifiers.command = (code & 0x100) != 0;
  keystroke.modifiers.shift = (code & 0x200) != 0;
  keystroke.modifiers.option = (code & 0x800) != 0;
  keystroke.modifiers.control = (code & 0x1000) != 0;
  return keystroke;
}

bool KeystrokeSimulator::simulateKeyDown(std::uint16_t keyCode, const KeyModifiers& modifiers) {
  return simulate(keyCode, modifiers, true);
}

bool KeystrokeSimulator::simulateKeyUp(std::uint16_t keyCode, const KeyModifiers& modifiers) {
  return simulate(keyCode, modifiers, false);
}

bool KeystrokeSimulator::simulate(std::uint16_t keyCode, const KeyModifiers& modifiers,
                                  bool keyDown) {
  auto& events = platform_.keyboardEvents;
  const char* const half = keyDown ? " key down" : " key up";

  // Every event of this half is created before any is posted, so that a failure
  // cannot leave a modifier pressed that is never released.
  auto main = events.createKeyboardEvent(nullptr, keyCode, keyDown);
  std::vector<std::unique_ptr<port::KeyboardEvent>> modifierEvents;
  bool created = main != nullptr;
  for (const auto& key : kModifierKeys) {
    if (!created || !(modifiers.*key.isSet)) continue;
    modifierEvents.push_back(events.createKeyboardEvent(nullptr, key.keyCode, keyDown));
    created = modifierEvents.back() != nullptr;
  }
  if (!created) {
    platform_.standardOutput.writeLine(keyNames_.keystrokeDescription(keyCode, modifiers) + half +
                                       " not simulated: the keyboard event could not be created");
    return false;
  }

  // The modifiers only add flags: whatever the platform set stays.
  auto flags = main->flags();
  for (const auto& key : kModifierKeys) {
    if (modifiers.*key.isSet) flags |= key.flag;
  }
  main->setFlags(flags);

  if (!keyDown) events.post(port::EventTap::hid, *main);
  for (auto& event : modifierEvents) {
    events.post(port::EventTap::hid, *event);
    event.reset();
  }
  if (keyDown) events.post(port::EventTap::hid, *main);
  platform_.standardOutput.writeLine(keyNames_.keystrokeDescription(keyCode, modifiers) + half +
                                     " simulated");
  return true;
}

}  // namespace zorv::helper

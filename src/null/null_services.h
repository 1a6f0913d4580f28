#pragma once
// Services with no platform behind them. Every call fails the way the platform
// fails when a service is missing, so the core's error paths run as they would;
// a backend uses these for whatever it does not map (yet).

#include "port/apple_events.h"
#include "port/keyboard_events.h"
#include "port/tasks.h"
#include "port/text_input_sources.h"

namespace zorv::null_platform {

// The platform's "unimplemented routine" status.
inline constexpr port::StatusCode kUnimplemented = -4;

class NullKeyboardEvents : public port::KeyboardEvents {
 public:
  std::unique_ptr<port::EventSource> createEventSource(port::EventSourceState) override {
    return nullptr;
  }
  std::unique_ptr<port::KeyboardEvent> createKeyboardEvent(const port::EventSource*, std::uint16_t,
                                                           bool) override {
    return nullptr;
  }
  void post(port::EventTap, const port::KeyboardEvent&) override {}
};

class NullTextInputSources : public port::TextInputSources {
 public:
  port::InputSourceRef copyCurrentKeyboardInputSource() override { return nullptr; }
  std::vector<port::InputSourceRef> createInputSourceList(bool) override { return {}; }
  std::optional<port::PropertyValue> getInputSourceProperty(const port::InputSourceRef&,
                                                            port::InputSourceProperty) override {
    return std::nullopt;
  }
  port::StatusCode selectInputSource(const port::InputSourceRef&) override {
    return kUnimplemented;
  }
  std::uint32_t keyboardType() override { return 0; }
  port::KeyTranslation keyTranslate(const port::KeyboardLayout&, std::uint16_t, port::KeyAction,
                                    std::uint32_t, std::uint32_t, std::uint32_t,
                                    std::uint32_t& deadKeyState, std::size_t) override {
    deadKeyState = 0;
    return {kUnimplemented, {}};
  }
  port::ImageRef imageWithContentsOfURL(const std::string&) override { return nullptr; }
  port::ImageRef imageWithIcon(const port::IconHandle&) override { return nullptr; }
};

class NullAppleEvents : public port::AppleEvents {
 public:
  port::DescriptorResult createDesc(port::FourCharCode, const std::vector<std::uint8_t>&) override {
    return {kUnimplemented, 0};
  }
  port::DescriptorResult createAppleEvent(port::FourCharCode, port::FourCharCode,
                                          port::DescriptorId, std::int16_t, std::int32_t) override {
    return {kUnimplemented, 0};
  }
  port::StatusCode sendMessage(port::DescriptorId, port::DescriptorId& reply, std::int32_t,
                               std::int64_t) override {
    reply = 0;
    return kUnimplemented;
  }
  port::StatusCode disposeDesc(port::DescriptorId) override { return port::kSuccess; }
};

class NullTasks : public port::Tasks {
 public:
  std::shared_ptr<port::Task> createTask() override;
  std::shared_ptr<port::Pipe> createPipe() override;
};

class NullFiles : public port::Files {
 public:
  std::string temporaryDirectory() override { return "/nonexistent/"; }
  std::string currentDirectoryPath() override { return "/"; }
  bool fileExistsAtPath(const std::string&, bool& isDirectory) override {
    isDirectory = false;
    return false;
  }
  std::optional<port::PlatformError> writeNewFile(const std::string&, const std::string&) override {
    return port::PlatformError{"zorv", kUnimplemented, "Files cannot be written here."};
  }
};

}  // namespace zorv::null_platform

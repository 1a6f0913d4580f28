#include "ax/ui_element.h"

#include "ax/observer.h"
#include "ax/role.h"
#include "support/unicode.h"

namespace zorv::ax {
namespace {

using namespace ax_error;

[[noreturn]] void raise(port::StatusCode code) {
  throw AXError(code);
}

// Reads that treat "no value" and "unsupported" as absent.
bool absentOnMissing(port::StatusCode code) {
  if (code == success) return false;
  if (code == noValue || code == attributeUnsupported) return true;
  raise(code);
}

}  // namespace

UIElement::UIElement(port::Platform& platform, port::ElementRef element)
    : platform_(platform), element_(std::move(element)) {}

bool UIElement::isProcessTrusted(port::Platform& platform, bool prompt) {
  return platform.accessibility.isProcessTrustedWithOptions(prompt);
}

std::vector<std::string> UIElement::attributeNames() {
  auto r = platform_.accessibility.copyAttributeNames(element_);
  if (r.code == noValue || r.code == attributeUnsupported) return {};
  if (!r.ok()) raise(r.code);
  return r.value;
}

bool UIElement::attributeIsSupported(const std::string& name) {
  auto r = platform_.accessibility.copyAttributeValues(element_, name, 0, 0);
  if (r.code == noValue) return true;
  if (r.code == attributeUnsupported) return false;
  if (!r.ok()) raise(r.code);
  return true;
}

bool UIElement::attributeIsSettable(const std::string& name) {
  auto r = platform_.accessibility.isAttributeSettable(element_, name);
  if (r.code == noValue || r.code == attributeUnsupported) return false;
  if (!r.ok()) raise(r.code);
  return r.value;
}

std::optional<AXValue> UIElement::attributeValue(const std::string& name) {
  auto r = platform_.accessibility.copyAttributeValue(element_, name);
  if (absentOnMissing(r.code)) return std::nullopt;
  return unpackValue(r.value);
}

void UIElement::setAttribute(const std::string& name, const AXValue& value) {
  const auto code = platform_.accessibility.setAttributeValue(element_, name, packValue(value));
  if (code != success) raise(code);
}

std::vector<std::pair<std::string, AXValue>> UIElement::multipleAttributes(
    const std::vector<std::string>& names) {
  auto r = platform_.accessibility.copyMultipleAttributeValues(element_, names, 0);
  if (!r.ok()) raise(r.code);
  std::vector<std::pair<std::string, AXValue>> out;
  for (std::size_t i = 0; i < names.size() && i < r.value.size(); ++i) {
    out.emplace_back(names[i], unpackValue(r.value[i]));
  }
  return out;
}

std::optional<std::vector<AXValue>> UIElement::attributeValues(const std::string& name,
                                                               std::int64_t index,
                                                               std::int64_t maxCount) {
  auto r = platform_.accessibility.copyAttributeValues(element_, name, index, maxCount);
  if (absentOnMissing(r.code)) return std::nullopt;
  std::vector<AXValue> out;
  for (const auto& entry : r.value) out.push_back(unpackValue(entry));
  return out;
}

std::optional<std::int64_t> UIElement::attributeValueCount(const std::string& name) {
  auto r = platform_.accessibility.getAttributeValueCount(element_, name);
  if (r.code == attributeUnsupported || r.code == illegalArgument) return std::nullopt;
  if (!r.ok()) raise(r.code);
  return r.value;
}

std::vector<std::string> UIElement::parameterizedAttributeNames() {
  auto r = platform_.accessibility.copyParameterizedAttributeNames(element_);
  if (r.code == noValue || r.code == attributeUnsupported) return {};
  if (!r.ok()) raise(r.code);
  return r.value;
}

std::optional<AXValue> UIElement::parameterizedAttribute(const std::string& name,
                                                         const AXValue& parameter) {
  auto r =
      platform_.accessibility.copyParameterizedAttributeValue(element_, name, packValue(parameter));
  if (absentOnMissing(r.code)) return std::nullopt;
  return unpackValue(r.value);
}

std::vector<std::string> UIElement::actionNames() {
  auto r = platform_.accessibility.copyActionNames(element_);
  if (r.code == noValue || r.code == attributeUnsupported) return {};
  if (!r.ok()) raise(r.code);
  return r.value;
}

std::optional<std::string> UIElement::actionDescription(const std::string& name) {
  auto r = platform_.accessibility.copyActionDescription(element_, name);
  if (r.code == noValue || r.code == actionUnsupported) return std::nullopt;
  if (!r.ok()) raise(r.code);
  return r.value;
}

void UIElement::performAction(const std::string& name) {
  const auto code = platform_.accessibility.performAction(element_, name);
  if (code != success) raise(code);
}

port::Pid UIElement::pid() {
  auto r = platform_.accessibility.getPid(element_);
  if (!r.ok()) raise(r.code);
  return r.value;
}

void UIElement::setMessagingTimeout(float seconds) {
  messagingTimeout_ = seconds > 0 ? seconds : 0;
  const auto code = platform_.accessibility.setMessagingTimeout(element_, messagingTimeout_);
  if (code != success && code != invalidUIElement) {
    platform_.standardOutput.writeLine("Unexpected error setting messaging timeout: " +
                                       axErrorDescription(code));
  }
}

UIElementPtr UIElement::elementAt(float x, float y) {
  auto r = platform_.accessibility.copyElementAtPosition(element_, x, y);
  if (r.code == noValue) return nullptr;
  if (!r.ok()) raise(r.code);
  return std::make_shared<UIElement>(platform_, r.value);
}

std::vector<Attribute> UIElement::attributes() {
  std::vector<Attribute> known;
  for (const auto& name : attributeNames()) {
    if (auto attribute = attributeFromRawValue(name)) {
      known.push_back(*attribute);
    } else {
      platform_.standardOutput.writeLine("Unrecognized attribute: " + name);
    }
  }
  return known;
}

std::vector<Attribute> UIElement::parameterizedAttributes() {
  std::vector<Attribute> known;
  for (const auto& name : parameterizedAttributeNames()) {
    if (auto attribute = attributeFromRawValue(name)) {
      known.push_back(*attribute);
    } else {
      platform_.standardOutput.writeLine("Unrecognized attribute: " + name);
    }
  }
  return known;
}

std::vector<Action> UIElement::actions() {
  std::vector<Action> known;
  for (const auto& name : actionNames()) {
    if (auto action = actionFromRawValue(name)) known.push_back(*action);
  }
  return known;
}

bool UIElement::attributeIsSupported(Attribute attribute) {
  return attributeIsSupported(std::string(rawValue(attribute)));
}
bool UIElement::attributeIsSettable(Attribute attribute) {
  return attributeIsSettable(std::string(rawValue(attribute)));
}
void UIElement::setAttribute(Attribute attribute, const AXValue& value) {
  setAttribute(std::string(rawValue(attribute)), value);
}
std::optional<std::int64_t> UIElement::attributeValueCount(Attribute attribute) {
  return attributeValueCount(std::string(rawValue(attribute)));
}
std::optional<std::string> UIElement::actionDescription(Action action) {
  return actionDescription(std::string(rawValue(action)));
}
void UIElement::performAction(Action action) {
  performAction(std::string(rawValue(action)));
}

AXValue UIElement::unpackValue(const port::Value& value) {
  return std::visit(
      [this](const auto& v) -> AXValue {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, port::ElementRef>) {
          return AXValue{std::make_shared<UIElement>(platform_, v)};
        } else {
          return AXValue{v};
        }
      },
      value.kind);
}

port::Value UIElement::packValue(const AXValue& value) const {
  return std::visit(
      [](const auto& v) -> port::Value {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, UIElementPtr>) {
          return port::Value(v ? v->element() : port::ElementRef{});
        } else {
          return port::Value(v);
        }
      },
      value.kind);
}

std::string UIElement::description() {
  std::string pidText = "??";
  try {
    pidText = std::to_string(pid());
  } catch (const AXError&) {
  }
  std::string role;
  std::string label = element_->description();
  std::optional<std::string> roleValue;
  try {
    roleValue = attribute<std::string>(Attribute::role);
  } catch (const AXError& error) {
    role = error.code() == invalidUIElement ? "InvalidUIElement" : "UnknownUIElement";
  } catch (const TypeMismatch&) {
  }
  if (role.empty()) {
    const auto known = roleValue ? roleFromRawValue(*roleValue) : std::nullopt;
    if (!known) {
      role = "UIElementNoRole";
    } else {
      role = std::string(rawValue(*known));
      if (*known == Role::window) {
        try {
          label = attribute<std::string>(Attribute::title).value_or("");
        } catch (const support::Error&) {
          label.clear();
        }
      } else if (*known == Role::application) {
        label.clear();
        if (pidText != "??") {
          auto app = platform_.workspace.runningApplicationWithProcessIdentifier(pid());
          if (app) label = app->bundleIdentifier().value_or("");
        }
      }
    }
  }
  return "<" + role + " \"" + label + "\" (pid=" + pidText + ")>";
}

std::shared_ptr<Application> Application::fromRunningApplication(
    port::Platform& platform, const port::RunningApplicationRef& application) {
  if (!application || application->isTerminated()) return nullptr;
  const auto pid = application->processIdentifier();
  if (pid < 0) return nullptr;
  return std::make_shared<Application>(platform, platform.accessibility.createApplication(pid));
}

std::shared_ptr<Application> Application::fromPid(port::Platform& platform, port::Pid pid) {
  return fromRunningApplication(platform,
                                platform.workspace.runningApplicationWithProcessIdentifier(pid));
}

std::vector<std::shared_ptr<Application>> Application::allApplications(port::Platform& platform) {
  std::vector<std::shared_ptr<Application>> out;
  for (const auto& app : platform.workspace.runningApplications()) {
    if (app->activationPolicy() == port::ActivationPolicy::prohibited) continue;
    if (auto element = fromRunningApplication(platform, app)) out.push_back(element);
  }
  return out;
}

std::vector<std::shared_ptr<Application>> Application::applicationsWithBundleID(
    port::Platform& platform, const std::string& bundleID) {
  std::vector<std::shared_ptr<Application>> out;
  for (const auto& app : platform.workspace.runningApplications()) {
    const auto id = app->bundleIdentifier();
    if (!id || !support::canonicallyEqual(*id, bundleID)) continue;
    if (auto element = fromRunningApplication(platform, app)) out.push_back(element);
  }
  return out;
}

namespace {

template <class Callback>
std::unique_ptr<Observer> makeObserver(port::Platform& platform, Application& application,
                                       Callback callback) {
  try {
    return std::make_unique<Observer>(platform, application.pid(), std::move(callback));
  } catch (const AXError& error) {
    if (error.code() == invalidUIElement) return nullptr;
    platform.standardOutput.writeLine("Caught unexpected error creating observer: " +
                                      error.localizedDescription());
  }
  return nullptr;
}

}  // namespace

std::unique_ptr<Observer> Application::createObserver(
    std::function<void(Observer&, UIElementPtr, AXNotification)> callback) {
  return makeObserver(platform_, *this, Observer::Callback(std::move(callback)));
}

std::unique_ptr<Observer> Application::createObserver(
    std::function<void(Observer&, UIElementPtr, AXNotification,
                       const std::optional<port::Dictionary>&)>
        callbackWithInfo) {
  return makeObserver(platform_, *this, Observer::CallbackWithInfo(std::move(callbackWithInfo)));
}

std::optional<std::vector<UIElementPtr>> Application::windows() {
  return arrayAttribute<UIElementPtr>(Attribute::windows);
}

SystemWideElement::SystemWideElement(port::Platform& platform)
    : UIElement(platform, platform.accessibility.createSystemWide()) {}

}  // namespace zorv::ax

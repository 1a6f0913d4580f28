#pragma once
// The element layer: objects over the platform's accessibility elements, with
// the platform's result codes turned into absent values, defaults or thrown
// AXErrors as each operation's rules say.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ax/action.h"
#include "ax/attribute.h"
#include "ax/ax_error.h"
#include "ax/ax_notification.h"
#include "ax/ax_value.h"
#include "port/platform.h"

namespace zorv::ax {

class UIElement : public std::enable_shared_from_this<UIElement> {
 public:
  UIElement(port::Platform& platform, port::ElementRef element);
  virtual ~UIElement() = default;
  UIElement(const UIElement&) = delete;
  UIElement& operator=(const UIElement&) = delete;

  static bool isProcessTrusted(port::Platform& platform, bool prompt);

  // By name. Each form that takes a vocabulary case calls these.
  virtual std::vector<std::string> attributeNames();
  virtual bool attributeIsSupported(const std::string& name);
  virtual bool attributeIsSettable(const std::string& name);
  virtual std::optional<AXValue> attributeValue(const std::string& name);
  virtual void setAttribute(const std::string& name, const AXValue& value);
  virtual std::vector<std::pair<std::string, AXValue>> multipleAttributes(
      const std::vector<std::string>& names);
  virtual std::optional<std::vector<AXValue>> attributeValues(const std::string& name,
                                                              std::int64_t index,
                                                              std::int64_t maxCount);
  virtual std::optional<std::int64_t> attributeValueCount(const std::string& name);
  virtual std::vector<std::string> parameterizedAttributeNames();
  virtual std::optional<AXValue> parameterizedAttribute(const std::string& name,
                                                        const AXValue& parameter);
  virtual std::vector<std::string> actionNames();
  virtual std::optional<std::string> actionDescription(const std::string& name);
  virtual void performAction(const std::string& name);
  virtual port::Pid pid();
  virtual float messagingTimeout() const { return messagingTimeout_; }
  virtual void setMessagingTimeout(float seconds);
  virtual UIElementPtr elementAt(float x, float y);

  // Typed reads: absent when there is no value; TypeMismatch for another type.
  template <class T>
  std::optional<T> attribute(const std::string& name) {
    auto value = attributeValue(name);
    if (!value) return std::nullopt;
    return convert<T>(*value);
  }
  template <class T>
  std::optional<T> attribute(Attribute attribute) {
    return this->attribute<T>(std::string(rawValue(attribute)));
  }
  // An attribute whose value is an array, each entry unpacked and converted.
  template <class T>
  std::optional<std::vector<T>> arrayAttribute(Attribute attribute) {
    return arrayAttribute<T>(std::string(rawValue(attribute)));
  }
  template <class T>
  std::optional<std::vector<T>> arrayAttribute(const std::string& name) {
    auto value = attributeValue(name);
    if (!value) return std::nullopt;
    const auto* array = std::get_if<port::Array>(&value->kind);
    if (!array) throw AXError(ax_error::illegalArgument);
    std::vector<T> out;
    for (const auto& entry : *array) out.push_back(convert<T>(unpackValue(entry)));
    return out;
  }

  // The vocabulary forms.
  std::vector<Attribute> attributes();
  std::vector<Attribute> parameterizedAttributes();
  std::vector<Action> actions();
  bool attributeIsSupported(Attribute attribute);
  bool attributeIsSettable(Attribute attribute);
  void setAttribute(Attribute attribute, const AXValue& value);
  std::optional<std::int64_t> attributeValueCount(Attribute attribute);
  std::optional<std::string> actionDescription(Action action);
  void performAction(Action action);

  AXValue unpackValue(const port::Value& value);
  port::Value packValue(const AXValue& value) const;

  const port::ElementRef& element() const { return element_; }
  // "<ROLE "LABEL" (pid=PID)>"
  std::string description();
  friend bool operator==(const UIElement& a, const UIElement& b) {
    return port::sameElement(a.element_, b.element_);
  }

 protected:
  port::Platform& platform_;

 private:
  port::ElementRef element_;
  float messagingTimeout_ = 0;
};

class Observer;

class Application : public UIElement {
 public:
  using UIElement::UIElement;

  // An observer of this application's process, or null: an application that is
  // gone yields none; any other failure is printed as an unexpected error.
  std::unique_ptr<Observer> createObserver(
      std::function<void(Observer&, UIElementPtr, AXNotification)> callback);
  std::unique_ptr<Observer> createObserver(
      std::function<void(Observer&, UIElementPtr, AXNotification,
                         const std::optional<port::Dictionary>&)>
          callbackWithInfo);

  // Absent for a terminated application or a negative pid.
  static std::shared_ptr<Application> fromRunningApplication(
      port::Platform& platform, const port::RunningApplicationRef& application);
  static std::shared_ptr<Application> fromPid(port::Platform& platform, port::Pid pid);
  static std::vector<std::shared_ptr<Application>> allApplications(port::Platform& platform);
  static std::vector<std::shared_ptr<Application>> applicationsWithBundleID(
      port::Platform& platform, const std::string& bundleID);

  std::optional<std::vector<UIElementPtr>> windows();
};

class SystemWideElement : public UIElement {
 public:
  explicit SystemWideElement(port::Platform& platform);
};

}  // namespace zorv::ax

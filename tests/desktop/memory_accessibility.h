#pragma once
// In-memory accessibility: trees of elements whose attributes, error codes and
// action results a test chooses, and observers it can fire notifications at.

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desktop/event_log.h"
#include "port/accessibility.h"

namespace zorv::testing {

inline constexpr port::StatusCode kAXErrorFailure = -25200;
inline constexpr port::StatusCode kAXErrorIllegalArgument = -25201;
inline constexpr port::StatusCode kAXErrorInvalidUIElement = -25202;
inline constexpr port::StatusCode kAXErrorCannotComplete = -25204;
inline constexpr port::StatusCode kAXErrorAttributeUnsupported = -25205;
inline constexpr port::StatusCode kAXErrorNotificationAlreadyRegistered = -25209;
inline constexpr port::StatusCode kAXErrorNotificationNotRegistered = -25210;
inline constexpr port::StatusCode kAXErrorAPIDisabled = -25211;
inline constexpr port::StatusCode kAXErrorNoValue = -25212;

// One element. Attributes not in `attributes` read as AttributeUnsupported.
struct AXNode {
  port::Pid pid = -1;
  int serial = 0;
  std::map<std::string, port::Value> attributes;
  std::map<std::string, port::StatusCode> readErrors;    // forced result of a read
  std::map<std::string, port::StatusCode> writeResults;  // result of a write
  std::map<std::string, port::StatusCode> actionResults;
  // Values that the next reads return, one per read, before `attributes` applies
  // again (an item that changes between two reads).
  std::map<std::string, std::deque<port::Value>> nextValues;
  std::vector<std::string> performed;  // actions performed on this element
  // Every call on a node with a code here fails with it (a vanished element, say).
  std::optional<port::StatusCode> allCallsFail;
};

class MemoryAccessibility : public port::Accessibility {
 public:
  explicit MemoryAccessibility(EventLog& log) : log_(log) {}

  bool trusted = true;

  std::shared_ptr<AXNode> newNode(port::Pid pid, const std::string& role,
                                  std::optional<std::string> title = std::nullopt);
  port::ElementRef ref(const std::shared_ptr<AXNode>& node) const;
  // The application element of `pid`, made on first use with role "AXApplication".
  std::shared_ptr<AXNode> application(port::Pid pid);
  std::shared_ptr<AXNode> systemWide();
  void setChildren(const std::shared_ptr<AXNode>& parent,
                   const std::vector<std::shared_ptr<AXNode>>& children) const;
  // The node behind an element reference that this desktop made.
  static std::shared_ptr<AXNode> node(const port::ElementRef& element);
  int totalAttributeReads() const { return totalReads_; }

  // Fires a notification at the observers registered for `element` (or for its
  // application), as the platform would from its run loop.
  void postNotification(const std::shared_ptr<AXNode>& element, const std::string& notification,
                        std::optional<port::Dictionary> info = std::nullopt);
  std::map<std::string, port::StatusCode> addNotificationResults;  // forced results by name
  // Delivers any notification name to every registration of the element.
  bool deliverEveryName = false;

  bool isProcessTrustedWithOptions(bool prompt) override;
  port::ElementRef createApplication(port::Pid pid) override;
  port::ElementRef createSystemWide() override;
  port::AXResult<std::vector<std::string>> copyAttributeNames(const port::ElementRef&) override;
  port::AXResult<port::Value> copyAttributeValue(const port::ElementRef& element,
                                                 const std::string& attribute) override;
  port::AXResult<port::Array> copyAttributeValues(const port::ElementRef& element,
                                                  const std::string& attribute, std::int64_t index,
                                                  std::int64_t maxValues) override;
  port::AXResult<std::int64_t> getAttributeValueCount(const port::ElementRef& element,
                                                      const std::string& attribute) override;
  port::AXResult<bool> isAttributeSettable(const port::ElementRef& element,
                                           const std::string& attribute) override;
  port::StatusCode setAttributeValue(const port::ElementRef& element, const std::string& attribute,
                                     const port::Value& value) override;
  port::AXResult<port::Pid> getPid(const port::ElementRef& element) override;
  port::StatusCode performAction(const port::ElementRef& element,
                                 const std::string& action) override;
  // Calls no action of the helper makes.
  port::AXResult<port::Array> copyMultipleAttributeValues(const port::ElementRef&,
                                                          const std::vector<std::string>&,
                                                          std::uint32_t) override {
    return {kAXErrorFailure, {}};
  }
  port::AXResult<std::vector<std::string>> copyParameterizedAttributeNames(
      const port::ElementRef&) override {
    return {kAXErrorFailure, {}};
  }
  port::AXResult<port::Value> copyParameterizedAttributeValue(const port::ElementRef&,
                                                              const std::string&,
                                                              const port::Value&) override {
    return {kAXErrorFailure, {}};
  }
  port::AXResult<std::vector<std::string>> copyActionNames(const port::ElementRef&) override {
    return {kAXErrorFailure, {}};
  }
  port::AXResult<std::string> copyActionDescription(const port::ElementRef&,
                                                    const std::string&) override {
    return {kAXErrorFailure, {}};
  }
  port::StatusCode setMessagingTimeout(const port::ElementRef&, float) override {
    return kAXErrorFailure;
  }
  port::AXResult<port::ElementRef> copyElementAtPosition(const port::ElementRef&, float,
                                                         float) override {
    return {kAXErrorFailure, nullptr};
  }
  port::AXResult<std::unique_ptr<port::AXObserver>> createObserver(
      port::Pid pid, bool withInfo, port::AXObserverCallback callback) override;

 private:
  class Observer;
  friend class Observer;

  EventLog& log_;
  int nextSerial_ = 1;
  int totalReads_ = 0;
  std::map<port::Pid, std::shared_ptr<AXNode>> applications_;
  std::shared_ptr<AXNode> systemWide_;
  std::vector<Observer*> observers_;
};

}  // namespace zorv::testing

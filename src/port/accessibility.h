#pragma once
// The accessibility interface: elements of other applications, their attributes
// and actions, observers of their notifications, and the permission check.
// Threads: every call on the main thread; observer callbacks arrive there too.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "port/types.h"
#include "port/value.h"

namespace zorv::port {

// The result of a call that yields a value: the code, and the value when the code is 0.
template <class T>
struct AXResult {
  StatusCode code = kSuccess;
  T value{};
  bool ok() const { return code == kSuccess; }
};

// Delivers notifications of one process. The callback runs on the thread whose
// run loop holds the source, and receives the reference constant given at
// registration. `info` is the notification's information dictionary, when the
// observer was created with the information form and the platform supplied one.
using AXObserverCallback =
    std::function<void(const ElementRef& element, const std::string& notification, void* refcon,
                       const std::optional<Dictionary>& info)>;

class AXObserver {
 public:
  virtual ~AXObserver() = default;
  virtual StatusCode addNotification(const ElementRef& element, const std::string& notification,
                                     void* refcon) = 0;
  virtual StatusCode removeNotification(const ElementRef& element,
                                        const std::string& notification) = 0;
  // Attaches the observer's run-loop source to the calling thread's run loop
  // (default mode), or detaches it.
  virtual void addRunLoopSource() = 0;
  virtual void removeRunLoopSource() = 0;
};

class Accessibility {
 public:
  virtual ~Accessibility() = default;

  // Permission. With `prompt` the platform asks the user to grant it when missing;
  // the answer is the state at the time of the call.
  virtual bool isProcessTrustedWithOptions(bool prompt) = 0;

  virtual ElementRef createApplication(Pid pid) = 0;
  virtual ElementRef createSystemWide() = 0;

  virtual AXResult<std::vector<std::string>> copyAttributeNames(const ElementRef& element) = 0;
  virtual AXResult<Value> copyAttributeValue(const ElementRef& element,
                                             const std::string& attribute) = 0;
  virtual AXResult<Array> copyAttributeValues(const ElementRef& element,
                                              const std::string& attribute, std::int64_t index,
                                              std::int64_t maxValues) = 0;
  virtual AXResult<std::int64_t> getAttributeValueCount(const ElementRef& element,
                                                        const std::string& attribute) = 0;
  virtual AXResult<bool> isAttributeSettable(const ElementRef& element,
                                             const std::string& attribute) = 0;
  virtual StatusCode setAttributeValue(const ElementRef& element, const std::string& attribute,
                                       const Value& value) = 0;
  // One entry per requested name, in order; a failed read is an ErrorValue entry.
  virtual AXResult<Array> copyMultipleAttributeValues(const ElementRef& element,
                                                      const std::vector<std::string>& attributes,
                                                      std::uint32_t options) = 0;

  virtual AXResult<std::vector<std::string>> copyParameterizedAttributeNames(
      const ElementRef& element) = 0;
  virtual AXResult<Value> copyParameterizedAttributeValue(const ElementRef& element,
                                                          const std::string& attribute,
                                                          const Value& parameter) = 0;

  virtual AXResult<std::vector<std::string>> copyActionNames(const ElementRef& element) = 0;
  virtual AXResult<std::string> copyActionDescription(const ElementRef& element,
                                                      const std::string& action) = 0;
  virtual StatusCode performAction(const ElementRef& element, const std::string& action) = 0;

  virtual AXResult<Pid> getPid(const ElementRef& element) = 0;
  virtual StatusCode setMessagingTimeout(const ElementRef& element, float seconds) = 0;
  virtual AXResult<ElementRef> copyElementAtPosition(const ElementRef& element, float x,
                                                     float y) = 0;

  // Observers of one process. `withInfo` selects the form whose callback also
  // receives the information dictionary.
  virtual AXResult<std::unique_ptr<AXObserver>> createObserver(Pid pid, bool withInfo,
                                                               AXObserverCallback callback) = 0;
};

}  // namespace zorv::port

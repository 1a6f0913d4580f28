#include "desktop/memory_accessibility.h"

#include <algorithm>
#include <cstdint>
#include <functional>

namespace zorv::testing {
namespace {

class MemoryElement : public port::Element {
 public:
  explicit MemoryElement(std::shared_ptr<AXNode> node) : node_(std::move(node)) {}
  bool equals(const port::Element& other) const override {
    const auto* o = dynamic_cast<const MemoryElement*>(&other);
    return o != nullptr && o->node_ == node_;
  }
  std::size_t hash() const override { return std::hash<AXNode*>{}(node_.get()); }
  std::string description() const override {
    return "<AXUIElement #" + std::to_string(node_->serial) +
           " {pid=" + std::to_string(node_->pid) + "}>";
  }
  const std::shared_ptr<AXNode>& node() const { return node_; }

 private:
  std::shared_ptr<AXNode> node_;
};

std::string stringAttribute(const AXNode& node, const std::string& name) {
  auto it = node.attributes.find(name);
  if (it == node.attributes.end()) return "";
  const auto* s = it->second.get<std::string>();
  return s ? *s : "";
}

// "AXMenuItem "PDF"": how the log names an element.
std::string label(const AXNode& node) {
  return stringAttribute(node, "AXRole") + " \"" + stringAttribute(node, "AXTitle") + "\"";
}

}  // namespace

class MemoryAccessibility::Observer : public port::AXObserver {
 public:
  Observer(MemoryAccessibility& owner, port::Pid pid, bool withInfo,
           port::AXObserverCallback callback)
      : owner_(owner), pid_(pid), withInfo_(withInfo), callback_(std::move(callback)) {
    owner_.observers_.push_back(this);
  }
  ~Observer() override {
    auto& list = owner_.observers_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }

  port::StatusCode addNotification(const port::ElementRef& element, const std::string& notification,
                                   void* refcon) override {
    auto forced = owner_.addNotificationResults.find(notification);
    if (forced != owner_.addNotificationResults.end()) return forced->second;
    for (const auto& r : registrations_) {
      if (r.notification == notification && port::sameElement(r.element, element)) {
        return kAXErrorNotificationAlreadyRegistered;
      }
    }
    registrations_.push_back({element, notification, refcon});
    return port::kSuccess;
  }
  port::StatusCode removeNotification(const port::ElementRef& element,
                                      const std::string& notification) override {
    auto it = std::find_if(registrations_.begin(), registrations_.end(), [&](const auto& r) {
      return r.notification == notification && port::sameElement(r.element, element);
    });
    if (it == registrations_.end()) return kAXErrorNotificationNotRegistered;
    registrations_.erase(it);
    return port::kSuccess;
  }
  void addRunLoopSource() override { attached_ = true; }
  void removeRunLoopSource() override { attached_ = false; }

  void deliver(const std::shared_ptr<AXNode>& node, const std::string& notification,
               const std::optional<port::Dictionary>& info) {
    if (!attached_ || node->pid != pid_) return;
    const auto target = owner_.ref(node);
    const auto app = owner_.ref(owner_.application(pid_));
    // A copy: the callback may add or remove registrations.
    const auto registrations = registrations_;
    for (const auto& r : registrations) {
      if (r.notification != notification && !owner_.deliverEveryName) continue;
      if (!port::sameElement(r.element, target) && !port::sameElement(r.element, app)) continue;
      callback_(target, notification, r.refcon, withInfo_ ? info : std::nullopt);
      return;
    }
  }

 private:
  struct Registration {
    port::ElementRef element;
    std::string notification;
    void* refcon;
  };
  MemoryAccessibility& owner_;
  port::Pid pid_;
  bool withInfo_;
  port::AXObserverCallback callback_;
  std::vector<Registration> registrations_;
  bool attached_ = false;
};

std::shared_ptr<AXNode> MemoryAccessibility::newNode(port::Pid pid, const std::string& role,
                                                     std::optional<std::string> title) {
  auto node = std::make_shared<AXNode>();
  node->pid = pid;
  node->serial = nextSerial_++;
  node->attributes["AXRole"] = role;
  if (title) node->attributes["AXTitle"] = *title;
  return node;
}

port::ElementRef MemoryAccessibility::ref(const std::shared_ptr<AXNode>& node) const {
  return std::make_shared<MemoryElement>(node);
}

std::shared_ptr<AXNode> MemoryAccessibility::node(const port::ElementRef& element) {
  const auto* memory = dynamic_cast<const MemoryElement*>(element.get());
  return memory ? memory->node() : nullptr;
}

std::shared_ptr<AXNode> MemoryAccessibility::application(port::Pid pid) {
  auto& app = applications_[pid];
  if (!app) app = newNode(pid, "AXApplication");
  return app;
}

std::shared_ptr<AXNode> MemoryAccessibility::systemWide() {
  if (!systemWide_) systemWide_ = newNode(-1, "AXSystemWide");
  return systemWide_;
}

void MemoryAccessibility::setChildren(const std::shared_ptr<AXNode>& parent,
                                      const std::vector<std::shared_ptr<AXNode>>& children) const {
  port::Array refs;
  for (const auto& child : children) refs.push_back(ref(child));
  parent->attributes["AXChildren"] = std::move(refs);
}

void MemoryAccessibility::postNotification(const std::shared_ptr<AXNode>& element,
                                           const std::string& notification,
                                           std::optional<port::Dictionary> info) {
  const auto observers = observers_;
  for (auto* observer : observers) {
    if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) continue;
    observer->deliver(element, notification, info);
  }
}

bool MemoryAccessibility::isProcessTrustedWithOptions(bool prompt) {
  log_.add(std::string("AXIsProcessTrustedWithOptions prompt=") + (prompt ? "true" : "false"));
  return trusted;
}

port::ElementRef MemoryAccessibility::createApplication(port::Pid pid) {
  return ref(application(pid));
}

port::ElementRef MemoryAccessibility::createSystemWide() {
  return ref(systemWide());
}

port::AXResult<std::vector<std::string>> MemoryAccessibility::copyAttributeNames(
    const port::ElementRef& element) {
  auto n = node(element);
  if (n->allCallsFail) return {*n->allCallsFail, {}};
  std::vector<std::string> names;
  for (const auto& [name, value] : n->attributes) names.push_back(name);
  return {port::kSuccess, names};
}

port::AXResult<port::Value> MemoryAccessibility::copyAttributeValue(const port::ElementRef& element,
                                                                    const std::string& attribute) {
  auto n = node(element);
  ++totalReads_;
  if (n->allCallsFail) return {*n->allCallsFail, {}};
  if (auto e = n->readErrors.find(attribute); e != n->readErrors.end()) return {e->second, {}};
  if (auto next = n->nextValues.find(attribute);
      next != n->nextValues.end() && !next->second.empty()) {
    auto value = std::move(next->second.front());
    next->second.pop_front();
    return {port::kSuccess, std::move(value)};
  }
  auto it = n->attributes.find(attribute);
  if (it == n->attributes.end()) return {kAXErrorAttributeUnsupported, {}};
  return {port::kSuccess, it->second};
}

port::AXResult<port::Array> MemoryAccessibility::copyAttributeValues(
    const port::ElementRef& element, const std::string& attribute, std::int64_t index,
    std::int64_t maxValues) {
  auto value = copyAttributeValue(element, attribute);
  const auto* array = value.value.get<port::Array>();
  if (!value.ok() || !array) return {value.ok() ? kAXErrorIllegalArgument : value.code, {}};
  const auto size = std::int64_t(array->size());
  const auto from = std::clamp(index, std::int64_t(0), size);
  const auto to = std::clamp(index + maxValues, from, size);
  return {port::kSuccess, port::Array(array->begin() + from, array->begin() + to)};
}

port::AXResult<std::int64_t> MemoryAccessibility::getAttributeValueCount(
    const port::ElementRef& element, const std::string& attribute) {
  auto values = copyAttributeValues(element, attribute, 0, INT32_MAX);
  return {values.code, std::int64_t(values.value.size())};
}

port::AXResult<bool> MemoryAccessibility::isAttributeSettable(const port::ElementRef& element,
                                                              const std::string& attribute) {
  auto n = node(element);
  if (n->allCallsFail) return {*n->allCallsFail, false};
  if (auto e = n->readErrors.find(attribute); e != n->readErrors.end()) return {e->second, false};
  if (!n->attributes.contains(attribute)) return {kAXErrorAttributeUnsupported, false};
  return {port::kSuccess, n->writeResults.contains(attribute)};
}

port::StatusCode MemoryAccessibility::setAttributeValue(const port::ElementRef& element,
                                                        const std::string& attribute,
                                                        const port::Value& value) {
  auto n = node(element);
  log_.add("AXUIElementSetAttributeValue " + attribute + " " + label(*n));
  if (n->allCallsFail) return *n->allCallsFail;
  if (auto it = n->writeResults.find(attribute); it != n->writeResults.end()) {
    if (it->second == port::kSuccess) n->attributes[attribute] = value;
    return it->second;
  }
  n->attributes[attribute] = value;
  return port::kSuccess;
}

port::StatusCode MemoryAccessibility::performAction(const port::ElementRef& element,
                                                    const std::string& action) {
  auto n = node(element);
  log_.add(action + " " + label(*n));
  if (n->allCallsFail) return *n->allCallsFail;
  n->performed.push_back(action);
  auto it = n->actionResults.find(action);
  return it == n->actionResults.end() ? port::kSuccess : it->second;
}

port::AXResult<port::Pid> MemoryAccessibility::getPid(const port::ElementRef& element) {
  auto n = node(element);
  if (n->allCallsFail) return {*n->allCallsFail, -1};
  return {port::kSuccess, n->pid};
}

port::AXResult<std::unique_ptr<port::AXObserver>> MemoryAccessibility::createObserver(
    port::Pid pid, bool withInfo, port::AXObserverCallback callback) {
  return {port::kSuccess, std::make_unique<Observer>(*this, pid, withInfo, std::move(callback))};
}

}  // namespace zorv::testing

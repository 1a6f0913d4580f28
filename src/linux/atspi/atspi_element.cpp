#include "linux/atspi/atspi_element.h"

#include <functional>
#include <memory>

namespace zorv::linux_desktop {

port::ElementRef AtspiElement::make(Kind kind, AtspiRef ref, port::Pid pid) {
  return std::shared_ptr<const AtspiElement>(new AtspiElement(kind, std::move(ref), pid));
}

bool AtspiElement::equals(const port::Element& other) const {
  const auto* o = dynamic_cast<const AtspiElement*>(&other);
  if (!o || o->kind_ != kind_) return false;
  switch (kind_) {
    case Kind::application:
      return o->pid_ == pid_;
    case Kind::systemWide:
      return true;
    default:
      return o->ref_ == ref_;
  }
}

std::size_t AtspiElement::hash() const {
  const std::size_t base = std::hash<int>{}(static_cast<int>(kind_));
  if (kind_ == Kind::application) return base ^ std::hash<port::Pid>{}(pid_);
  return base ^ std::hash<std::string>{}(ref_.bus) ^ (std::hash<std::string>{}(ref_.path) << 1);
}

std::string AtspiElement::description() const {
  switch (kind_) {
    case Kind::application:
      return "<AXUIElement application {pid=" + std::to_string(pid_) + "}>";
    case Kind::systemWide:
      return "<AXUIElement system-wide>";
    case Kind::submenu:
      return "<AXUIElement " + ref_.bus + ref_.path + " menu>";
    case Kind::object:
      break;
  }
  return "<AXUIElement " + ref_.bus + ref_.path + ">";
}

}  // namespace zorv::linux_desktop

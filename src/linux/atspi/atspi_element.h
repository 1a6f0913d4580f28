#pragma once
// An element reference on the accessibility bus. Besides real objects it names
// the two things AT-SPI has no object for: the submenu of a menu (GTK puts a
// menu's items directly below it, where the platform has one menu object in
// between) and the system-wide element.

#include <string>

#include "linux/atspi/atspi_bus.h"
#include "port/value.h"

namespace zorv::linux_desktop {

class AtspiElement : public port::Element {
 public:
  enum class Kind { object, submenu, application, systemWide };

  static port::ElementRef object(AtspiRef ref) { return make(Kind::object, std::move(ref), -1); }
  static port::ElementRef submenuOf(AtspiRef ref) {
    return make(Kind::submenu, std::move(ref), -1);
  }
  static port::ElementRef application(port::Pid pid) { return make(Kind::application, {}, pid); }
  static port::ElementRef systemWide() { return make(Kind::systemWide, {}, -1); }

  Kind kind() const { return kind_; }
  const AtspiRef& ref() const { return ref_; }
  port::Pid pid() const { return pid_; }
  // Per-element messaging timeout in seconds; 0 is the default.
  float timeout() const { return timeout_; }
  void setTimeout(float seconds) const { timeout_ = seconds; }

  bool equals(const port::Element& other) const override;
  std::size_t hash() const override;
  std::string description() const override;

 private:
  static port::ElementRef make(Kind kind, AtspiRef ref, port::Pid pid);
  AtspiElement(Kind kind, AtspiRef ref, port::Pid pid)
      : kind_(kind), ref_(std::move(ref)), pid_(pid) {}

  Kind kind_;
  AtspiRef ref_;
  port::Pid pid_;
  mutable float timeout_ = 0;
};

}  // namespace zorv::linux_desktop

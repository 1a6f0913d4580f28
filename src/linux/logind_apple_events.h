#pragma once
// Core events to the system process, carried out by systemd-logind on the
// system bus ($DBUS_SYSTEM_BUS_ADDRESS when set): 'aevt'/'slep' becomes
// org.freedesktop.login1.Manager.Suspend(false). Descriptors are kept in a table
// of this object; the bus's failures become the platform's statuses (see
// docs/linux-backend.md, "Sleep").

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "port/apple_events.h"

namespace zorv::linux_desktop {

// The platform's statuses this backend reports.
inline constexpr port::StatusCode kProcNotFound = -600;
inline constexpr port::StatusCode kConnectionInvalid = -609;
inline constexpr port::StatusCode kErrAENotAEDesc = -1704;
inline constexpr port::StatusCode kErrAEEventNotHandled = -1708;
inline constexpr port::StatusCode kErrAETimeout = -1712;
inline constexpr port::StatusCode kErrAEPrivilegeError = -10004;

class LogindAppleEvents : public port::AppleEvents {
 public:
  port::DescriptorResult createDesc(port::FourCharCode type,
                                    const std::vector<std::uint8_t>& data) override;
  port::DescriptorResult createAppleEvent(port::FourCharCode eventClass, port::FourCharCode eventID,
                                          port::DescriptorId target, std::int16_t returnID,
                                          std::int32_t transactionID) override;
  // Waits for logind's answer (at most `timeoutTicks` sixtieths of a second),
  // so that a refusal is reported; the reply descriptor is always null.
  port::StatusCode sendMessage(port::DescriptorId event, port::DescriptorId& reply,
                               std::int32_t sendMode, std::int64_t timeoutTicks) override;
  port::StatusCode disposeDesc(port::DescriptorId descriptor) override;

  // The status for a failed logind call, by the D-Bus error name
  // ("org.freedesktop.DBus.Error.ServiceUnknown", ...); an empty name is a
  // failure without an answer (the connection broke).
  static port::StatusCode statusForBusError(const std::string& errorName, bool timedOut);

  std::size_t liveDescriptors() const;

 private:
  struct Descriptor {
    port::FourCharCode type = 0;
    std::vector<std::uint8_t> data;
    // Events only.
    bool isEvent = false;
    port::FourCharCode eventClass = 0;
    port::FourCharCode eventID = 0;
    port::FourCharCode targetType = 0;
    std::vector<std::uint8_t> targetData;
  };

  mutable std::mutex mutex_;
  std::map<port::DescriptorId, Descriptor> descriptors_;  // guarded by mutex_
  port::DescriptorId next_ = 1;                           // guarded by mutex_
};

}  // namespace zorv::linux_desktop

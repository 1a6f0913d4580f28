#pragma once
// The system-wide notification centre through which other programs post requests.
// Threads: every call on the main thread; handlers are called there too.

#include <functional>
#include <string>

#include "port/notification.h"

namespace zorv::port {

enum class SuspensionBehavior : int { drop = 1, coalesce = 2, hold = 3, deliverImmediately = 4 };

// Identifies whoever registered; `removeObserver` removes all of its registrations.
using ObserverToken = const void*;

class DistributedNotificationCenter {
 public:
  virtual ~DistributedNotificationCenter() = default;
  // Delivers notifications of `name` from any sender on the main thread.
  virtual void addObserver(ObserverToken observer, const std::string& name,
                           SuspensionBehavior suspension,
                           std::function<void(const Notification&)> handler) = 0;
  virtual void removeObserver(ObserverToken observer) = 0;
};

}  // namespace zorv::port

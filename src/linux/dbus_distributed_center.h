#pragma once
// The distributed notification centre on the user's session bus: a notification
// named "I.M" is the D-Bus signal of interface I and member M, from any sender
// and any object path; its object is the signal's first argument when that is a
// string.

#include <gio/gio.h>

#include <functional>
#include <string>
#include <vector>

#include "port/distributed_notifications.h"

namespace zorv::linux_desktop {

class DBusDistributedCenter : public port::DistributedNotificationCenter {
 public:
  // `bus` may be null (no session bus): registrations then receive nothing.
  explicit DBusDistributedCenter(GDBusConnection* bus);
  ~DBusDistributedCenter() override;
  DBusDistributedCenter(const DBusDistributedCenter&) = delete;
  DBusDistributedCenter& operator=(const DBusDistributedCenter&) = delete;

  void addObserver(port::ObserverToken observer, const std::string& name,
                   port::SuspensionBehavior suspension,
                   std::function<void(const port::Notification&)> handler) override;
  void removeObserver(port::ObserverToken observer) override;

  // How a received signal becomes a notification (exposed for tests).
  static port::Notification notificationFromSignal(const std::string& name, GVariant* parameters);

 private:
  struct Registration {
    port::ObserverToken observer;
    std::string name;
    std::function<void(const port::Notification&)> handler;
    guint subscription;
  };
  void release(Registration* registration);

  GDBusConnection* bus_;
  std::vector<Registration*> registrations_;
};

}  // namespace zorv::linux_desktop

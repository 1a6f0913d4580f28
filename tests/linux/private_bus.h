#pragma once
// A private D-Bus message bus for one test, started and stopped with it.

#include <gio/gio.h>

#include <functional>
#include <optional>
#include <string>

namespace zorv::testing {

class PrivateBus {
 public:
  PrivateBus();
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  const std::string& address() const { return address_; }
  // A new client connection to the bus (owned by the caller).
  GDBusConnection* connect() const;

 private:
  std::string address_;
  GPid pid_ = 0;
};

// Sets an environment variable (or, without a value, unsets it) for one scope.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::optional<std::string>& value);
  ~ScopedVariable();
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Runs the default main context until `done` holds or `timeoutMs` passes.
bool iterateUntil(const std::function<bool()>& done, int timeoutMs = 5000);

}  // namespace zorv::testing

#pragma once
// A running application as a process of the session: its identity is its pid,
// its bundle identifier the executable's file name.

#include <optional>
#include <string>

#include "port/running_application.h"

namespace zorv::linux_desktop {

bool processExists(port::Pid pid);

// The executable's file name: the closest thing to an application identifier
// that every process has.
std::optional<std::string> executableName(port::Pid pid);

// An application with windows, named after its executable; none once the
// process has ended.
port::RunningApplicationRef windowedApplication(port::Pid pid);

class ProcessApplication : public port::RunningApplication {
 public:
  ProcessApplication(port::Pid pid, std::optional<std::string> name,
                     std::optional<std::string> bundle, port::ActivationPolicy policy)
      : pid_(pid), name_(std::move(name)), bundle_(std::move(bundle)), policy_(policy) {}
  port::Pid processIdentifier() const override { return pid_; }
  std::optional<std::string> localizedName() const override { return name_; }
  std::optional<std::string> bundleIdentifier() const override { return bundle_; }
  bool isTerminated() const override { return !processExists(pid_); }
  port::ActivationPolicy activationPolicy() const override { return policy_; }

 private:
  port::Pid pid_;
  std::optional<std::string> name_;
  std::optional<std::string> bundle_;
  port::ActivationPolicy policy_;
};

}  // namespace zorv::linux_desktop

#pragma once
// A running application as the workspace reports it. Its state is live: an
// application that quits reports itself terminated from then on.
// Threads: every call on the main thread.

#include <memory>
#include <optional>
#include <string>

#include "port/types.h"

namespace zorv::port {

enum class ActivationPolicy : int { regular = 0, accessory = 1, prohibited = 2 };

class RunningApplication {
 public:
  virtual ~RunningApplication() = default;
  virtual Pid processIdentifier() const = 0;
  virtual std::optional<std::string> localizedName() const = 0;
  virtual std::optional<std::string> bundleIdentifier() const = 0;
  virtual bool isTerminated() const = 0;
  virtual ActivationPolicy activationPolicy() const = 0;
};

using RunningApplicationRef = std::shared_ptr<const RunningApplication>;

}  // namespace zorv::port

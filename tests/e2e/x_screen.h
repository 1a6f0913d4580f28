#pragma once
// The test's own view of the X server: which window is active, and activating
// one as a user's click would.

#include <string>

#include "child_process.h"

namespace zorv::e2e {

class Screen {
 public:
  explicit Screen(const std::string& display);
  ~Screen();
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  // The title of the active window, or "" when none is.
  std::string activeTitle();
  // Asks the window manager to activate the managed window titled `title`.
  void activate(const std::string& title);
  bool waitForActive(const std::string& title, Duration timeout = kDefaultTimeout);

 private:
  struct Connection;
  Connection* connection_;
};

}  // namespace zorv::e2e

#pragma once
// The keyboard layout groups of a desktop's X server, through a connection of
// the test's own: which group is locked, locking one, the groups' names.

#include <string>
#include <vector>

#include "child_process.h"

typedef struct _XDisplay Display;

namespace zorv::e2e {

class XkbGroups {
 public:
  // Connects to the DISPLAY of `env`; throws std::runtime_error when it cannot.
  explicit XkbGroups(const Environment& env);
  ~XkbGroups();
  XkbGroups(const XkbGroups&) = delete;
  XkbGroups& operator=(const XkbGroups&) = delete;

  int locked() const;
  // Locks `group` and waits until the server has done it.
  void lock(int group);
  // Waits up to `timeout` for `group` to be the locked one.
  bool waitForLocked(int group, Duration timeout = kDefaultTimeout) const;
  std::vector<std::string> names() const;

 private:
  Display* display_;
};

}  // namespace zorv::e2e

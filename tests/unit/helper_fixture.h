#pragma once
// A helper running on the in-memory desktop.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/memory_desktop.h"
#include "helper/app_delegate.h"

namespace zorv::testing {

class HelperOnMemoryDesktop : public ::testing::Test {
 protected:
  MemoryDesktop desktop;
  helper::AppDelegate delegate{desktop.platform()};

  void launch() { desktop.application.run(delegate); }
  void send(const std::string& json) { desktop.distributed.postRequest(json); }
  // Sends and runs everything the request queued.
  void run(const std::string& json) {
    send(json);
    desktop.settle();
  }
  const std::vector<std::string>& out() const { return desktop.console.lines; }
  std::vector<std::string> notificationTitles() const {
    std::vector<std::string> titles;
    for (const auto& n : desktop.userNotifications.delivered) titles.push_back(n.content.title);
    return titles;
  }
};

}  // namespace zorv::testing

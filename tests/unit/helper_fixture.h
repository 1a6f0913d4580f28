#pragma once
// A helper running on the in-memory desktop.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "desktop/memory_desktop.h"
#include "helper/app_delegate.h"

namespace zorv::testing {

class HelperOnMemoryDesktop : public ::testing::Test {
 protected:
  MemoryDesktop desktop;
  helper::AppDelegate delegate{desktop.platform()};

  void launch() {
    desktop.application.run(delegate);
    printedAtLaunch_ = out().size();
  }
  void send(const std::string& json) { desktop.distributed.postRequest(json); }
  // Sends and runs everything the request queued.
  void run(const std::string& json) {
    send(json);
    desktop.settle();
  }
  const std::vector<std::string>& out() const { return desktop.console.lines; }
  // What the helper printed after its launch.
  std::vector<std::string> printed() const {
    return {out().begin() + std::ptrdiff_t(printedAtLaunch_), out().end()};
  }
  // Title and subtitle of each notification delivered.
  std::vector<std::pair<std::string, std::optional<std::string>>> notifications() const {
    std::vector<std::pair<std::string, std::optional<std::string>>> all;
    for (const auto& n : desktop.userNotifications.delivered) {
      all.emplace_back(n.content.title, n.content.subtitle);
    }
    return all;
  }
  std::vector<std::string> notificationTitles() const {
    std::vector<std::string> titles;
    for (const auto& n : desktop.userNotifications.delivered) titles.push_back(n.content.title);
    return titles;
  }

 private:
  std::size_t printedAtLaunch_ = 0;
};

}  // namespace zorv::testing

#pragma once
// What every end-to-end suite does: a desktop (shared by a suite's tests), the
// helper of this build listening on it, the sample application in front, the
// helper's alerts, and clean stops: the helper's, and the desktop's with
// nothing of it left running (the desktop checks that itself).

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "accessibility.h"
#include "child_process.h"
#include "desktop_bus.h"
#include "headless_desktop.h"

namespace zorv::e2e {

// The helper of this build with the desktop's environment, listening once this
// returns: `probe` was executed.
std::unique_ptr<ChildProcess> startHelper(const HeadlessDesktop& desktop,
                                          const std::string& probe = kNoOpRequest);
// The sample application named `name`, ready and on the accessibility bus.
std::unique_ptr<ChildProcess> startApp(const HeadlessDesktop& desktop, const std::string& name,
                                       std::vector<std::string> options = {});
// The helper's open alerts once there are `count` of them (those open at the
// time-out otherwise).
std::vector<AccessibleNode> waitForAlerts(const HeadlessDesktop& desktop, std::size_t count = 1,
                                          Duration timeout = std::chrono::seconds(20));
// Ends the helper as a service manager would: it must still be running, and end
// with status 0, under the sanitizers without a finding.
void expectCleanStop(ChildProcess& helper);

std::string menuCommand(const std::string& title);
// A `menu` request prints its list of titles before anything else, which makes
// it a marker in the helper's output: ["text"].
std::string marker(const std::string& text);
std::string markerLine(const std::string& text);
// The markers the helper printed from line `from` on, in order.
std::vector<std::string> markersSince(const ChildProcess& helper, std::size_t from);
std::size_t countSince(const ChildProcess& helper, std::size_t from, const std::string& text);

// A suite whose tests share one desktop. ctest runs each such suite in one
// process; a test must leave the desktop as it found it (no application or
// helper of its own left running, no service stopped).
template <HeadlessDesktopOptions options = HeadlessDesktopOptions{}>
class DesktopSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { desktop = std::make_unique<HeadlessDesktop>(options); }
  static void TearDownTestSuite() { desktop.reset(); }
  static inline std::unique_ptr<HeadlessDesktop> desktop;
};

}  // namespace zorv::e2e

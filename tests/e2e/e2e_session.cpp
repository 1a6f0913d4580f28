#include "e2e_session.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <nlohmann/json.hpp>

namespace zorv::e2e {
namespace {

// The helper subscribes to requests once it has launched, and a request sent
// before is lost: sends `probe` until one is executed, then lets probes still
// on their way arrive, so that they are not taken for later requests' lines.
bool waitUntilListening(ChildProcess& helper, const Environment& env, const std::string& probe) {
  for (int attempt = 0; attempt < 200; ++attempt) {
    emitRequest(env, probe);
    if (helper.waitForLine("in helper", 0, std::chrono::milliseconds(50))) {
      helper.waitForLine([](const std::string&) { return false; }, 0,
                         std::chrono::milliseconds(300));
      return true;
    }
  }
  return false;
}

}  // namespace

std::unique_ptr<ChildProcess> startHelper(const HeadlessDesktop& desktop,
                                          const std::string& probe) {
  auto helper =
      std::make_unique<ChildProcess>(std::vector<std::string>{ZORV_E2E_HELPER}, desktop.env());
  EXPECT_TRUE(waitUntilListening(*helper, desktop.env(), probe)) << helper->transcript();
  return helper;
}

std::unique_ptr<ChildProcess> startApp(const HeadlessDesktop& desktop, const std::string& name,
                                       std::vector<std::string> options) {
  options.insert(options.begin(), {ZORV_E2E_SAMPLE_APP, "--name", name, "--print-ready"});
  auto app = std::make_unique<ChildProcess>(options, desktop.env());
  EXPECT_TRUE(app->waitForLine("ready")) << app->transcript();
  std::string problem;
  EXPECT_TRUE(accessibleApplication(desktop.env(), name, std::chrono::seconds(20), &problem))
      << problem;
  return app;
}

std::vector<AccessibleNode> waitForAlerts(const HeadlessDesktop& desktop, std::size_t count,
                                          Duration timeout) {
  std::vector<AccessibleNode> alerts;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (alerts.size() < count && std::chrono::steady_clock::now() < deadline) {
    alerts.clear();
    if (auto helper = accessibleApplication(desktop.env(), "zorv-helper", timeout)) {
      std::copy_if(helper->children.begin(), helper->children.end(), std::back_inserter(alerts),
                   [](const AccessibleNode& node) { return node.role == "alert"; });
    }
  }
  return alerts;
}

void expectCleanStop(ChildProcess& helper) {
  EXPECT_TRUE(helper.running()) << helper.transcript();
  const auto status = helper.terminate();
  EXPECT_TRUE(status.success()) << status.describe() << "\n" << helper.transcript();
  EXPECT_THAT(helper.lines(Stream::err),
              ::testing::Not(::testing::Contains(::testing::HasSubstr("Sanitizer"))));
}

std::string menuCommand(const std::string& title) {
  return nlohmann::json{{"menuCommand", {{"info", {{"menuTitle", title}}}}}}.dump();
}
std::string marker(const std::string& text) {
  return nlohmann::json{{"menu", {{"menuItems", {text}}}}}.dump();
}
std::string markerLine(const std::string& text) {
  return R"([")" + text + R"("])";
}

std::vector<std::string> markersSince(const ChildProcess& helper, std::size_t from) {
  std::vector<std::string> found;
  const auto lines = helper.lines();
  for (std::size_t i = from; i < lines.size(); ++i) {
    if (lines[i].starts_with(R"([")") && lines[i].ends_with(R"("])")) {
      found.push_back(lines[i].substr(2, lines[i].size() - 4));
    }
  }
  return found;
}

std::size_t countSince(const ChildProcess& helper, std::size_t from, const std::string& text) {
  const auto lines = helper.lines();
  return std::size_t(
      std::count(lines.begin() + std::ptrdiff_t(std::min(from, lines.size())), lines.end(), text));
}

}  // namespace zorv::e2e

#include "accessibility.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace zorv::e2e {

namespace {

AccessibleNode fromJson(const nlohmann::json& json) {
  AccessibleNode node{json.at("role"), json.at("name"), json.at("states"), {}};
  for (const auto& child : json.at("children")) node.children.push_back(fromJson(child));
  return node;
}

// The reader's output once it succeeded; its own waits end before this one.
std::optional<std::string> runReader(const Environment& env, std::vector<std::string> args,
                                     Duration timeout, std::string* problem = nullptr) {
  args.insert(args.begin(), ZORV_E2E_ATSPI_DUMP);
  args.insert(args.end(), {"--timeout", std::to_string(double(timeout.count()) / 1000)});
  ChildProcess reader(args, env);
  const auto status = reader.wait(timeout + std::chrono::seconds(10));
  if (!status || !status->success()) {
    if (problem != nullptr) *problem = reader.transcript();
    return std::nullopt;
  }
  std::string text;
  for (const std::string& line : reader.lines()) text += (text.empty() ? "" : "\n") + line;
  return text;
}

}  // namespace

bool AccessibleNode::hasState(const std::string& state) const {
  return std::find(states.begin(), states.end(), state) != states.end();
}

const AccessibleNode* AccessibleNode::find(const std::string& wantedRole,
                                           const std::optional<std::string>& wantedName) const {
  if (role == wantedRole && (!wantedName || name == *wantedName)) return this;
  for (const AccessibleNode& node : children) {
    if (const AccessibleNode* found = node.find(wantedRole, wantedName)) return found;
  }
  return nullptr;
}

std::optional<AccessibleNode> accessibleApplication(const Environment& env, const std::string& app,
                                                    Duration timeout, std::string* problem) {
  const auto text = runReader(env, {"--app", app}, timeout, problem);
  if (!text) return std::nullopt;
  const nlohmann::json json = nlohmann::json::parse(*text, nullptr, false);
  if (json.is_array() && !json.empty()) return fromJson(json[0]);
  if (problem != nullptr) *problem = "unreadable output:\n" + *text;
  return std::nullopt;
}

std::optional<std::string> textFieldContents(const Environment& env, const std::string& app) {
  return runReader(env, {"--text", app}, kDefaultTimeout);
}

}  // namespace zorv::e2e

#include "accessibility.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include "headless_desktop.h"

namespace zorv::e2e {

namespace {

AccessibleNode fromJson(const nlohmann::json& json) {
  AccessibleNode node;
  node.role = json.value("role", "");
  node.name = json.value("name", "");
  if (json.contains("states")) node.states = json["states"].get<std::vector<std::string>>();
  if (json.contains("keys")) node.keys = json["keys"].get<std::string>();
  for (const auto& child : json.value("children", nlohmann::json::array())) {
    node.children.push_back(fromJson(child));
  }
  return node;
}

std::string seconds(Duration timeout) {
  return std::to_string(static_cast<double>(timeout.count()) / 1000.0);
}

// The reader's own waits end first; this one only guards against a hang.
Duration readerLimit(Duration timeout) {
  return timeout + std::chrono::seconds(10);
}

std::string joinedErr(const ChildProcess& reader) {
  std::string text;
  for (const std::string& line : reader.lines(Stream::err)) text += line + "\n";
  return text;
}

}  // namespace

bool AccessibleNode::hasState(const std::string& state) const {
  return std::find(states.begin(), states.end(), state) != states.end();
}

const AccessibleNode* AccessibleNode::child(const std::string& childName) const {
  for (const AccessibleNode& node : children) {
    if (node.name == childName) return &node;
  }
  return nullptr;
}

const AccessibleNode* AccessibleNode::find(const std::string& wantedRole,
                                           const std::optional<std::string>& wantedName) const {
  if (role == wantedRole && (!wantedName || name == *wantedName)) return this;
  for (const AccessibleNode& node : children) {
    if (const AccessibleNode* found = node.find(wantedRole, wantedName)) return found;
  }
  return nullptr;
}

const AccessibleNode* AccessibleNode::menuItem(const std::vector<std::string>& path) const {
  const AccessibleNode* current = find("menu bar");
  for (const std::string& label : path) {
    if (current == nullptr) return nullptr;
    current = current->child(label);
  }
  return current;
}

std::vector<std::string> AccessibleNode::childNames() const {
  std::vector<std::string> names;
  for (const AccessibleNode& node : children) names.push_back(node.name);
  return names;
}

std::optional<AccessibleNode> accessibleApplication(const Environment& env, const std::string& app,
                                                    Duration timeout, std::string* problem) {
  ChildProcess reader(
      {atspiDumpPath().string(), "--app", app, "--json", "--timeout", seconds(timeout)}, env);
  const auto status = reader.finish(readerLimit(timeout));
  if (!status || !status->success()) {
    if (problem != nullptr)
      *problem = joinedErr(reader) + (status ? status->describe() : "no exit");
    return std::nullopt;
  }
  std::string text;
  for (const std::string& line : reader.lines()) text += line + "\n";
  const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
  if (!json.is_array() || json.empty()) {
    if (problem != nullptr) *problem = "unreadable output:\n" + text;
    return std::nullopt;
  }
  return fromJson(json[0]);
}

bool pressMenuItem(const Environment& env, const std::string& app, const std::string& path,
                   const std::optional<std::string>& window, Duration timeout,
                   std::string* problem) {
  std::vector<std::string> argv = {atspiDumpPath().string(), "--press", app, path, "--timeout",
                                   seconds(timeout)};
  if (window) {
    argv.emplace_back("--window");
    argv.push_back(*window);
  }
  ChildProcess reader(argv, env);
  const auto status = reader.finish(readerLimit(timeout));
  const bool pressed = status && status->success();
  if (!pressed && problem != nullptr) {
    *problem = joinedErr(reader) + (status ? status->describe() : "no exit");
  }
  return pressed;
}

std::optional<std::string> textFieldContents(const Environment& env, const std::string& app,
                                             Duration timeout) {
  ChildProcess reader({atspiDumpPath().string(), "--text", app, "--timeout", seconds(timeout)},
                      env);
  const auto status = reader.finish(readerLimit(timeout));
  if (!status || !status->success()) return std::nullopt;
  const auto lines = reader.lines();
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) text += (i ? "\n" : "") + lines[i];
  return text;
}

}  // namespace zorv::e2e

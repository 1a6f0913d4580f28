#include "linux/sway/sway_session.h"

namespace zorv::linux_desktop {
namespace {

// Depth first, each node's children in its focus order (most recent first):
// the first window found is the one focused last.
const nlohmann::json* findWindow(const nlohmann::json& node, port::Pid pid,
                                 const std::optional<std::string>& title) {
  if (!node.is_object()) return nullptr;
  if (node.value("pid", -1) == pid && node.contains("app_id") &&
      (!title || node.value("name", "") == *title)) {
    return &node;
  }
  std::vector<const nlohmann::json*> children;
  for (const char* key : {"nodes", "floating_nodes"}) {
    if (auto it = node.find(key); it != node.end() && it->is_array()) {
      for (const auto& child : *it) children.push_back(&child);
    }
  }
  std::vector<const nlohmann::json*> ordered;
  if (auto focus = node.find("focus"); focus != node.end() && focus->is_array()) {
    for (const auto& id : *focus) {
      for (const auto* child : children) {
        if ((*child).value("id", std::int64_t(-1)) == id) ordered.push_back(child);
      }
    }
  }
  for (const auto* child : children) {
    if (std::find(ordered.begin(), ordered.end(), child) == ordered.end()) ordered.push_back(child);
  }
  for (const auto* child : ordered) {
    if (const auto* found = findWindow(*child, pid, title)) return found;
  }
  return nullptr;
}

}  // namespace

std::optional<std::int64_t> swayWindowOf(const nlohmann::json& tree, port::Pid pid,
                                         const std::optional<std::string>& title) {
  const auto* window = findWindow(tree, pid, title);
  if (!window) return std::nullopt;
  return window->value("id", std::int64_t(-1));
}

bool SwayWindowRaiser::focus(port::Pid pid, const ApplicationName& application,
                             const std::optional<std::string>& title) {
  // The process is the more exact key; the application id the one left when
  // sway knows no window of that process.
  if (auto tree = ipc_.request(SwayIpc::Message::getTree)) {
    if (auto id = swayWindowOf(*tree, pid, title)) {
      return ipc_.command("[con_id=" + std::to_string(*id) + "] focus");
    }
  }
  const auto appId = application ? application() : std::string();
  return !appId.empty() && toplevels_.activate(appId, title);
}

bool SwayWindowRaiser::raiseApplication(port::Pid pid, const ApplicationName& application) {
  return focus(pid, application, std::nullopt);
}

bool SwayWindowRaiser::raiseWindow(port::Pid pid, const ApplicationName& application,
                                   const std::string& title) {
  return focus(pid, application, title);
}

SwaySession::SwaySession(std::unique_ptr<WaylandDisplay> display, std::string swaySocket,
                         port::Dispatch& dispatch)
    : display_(std::move(display)),
      ipc_(std::move(swaySocket)),
      focus_(ipc_),
      workspace_(ipc_, focus_, dispatch, display_->compositorPid()),
      inputSources_(&ipc_, [this] { return keyboard_.keymap(); }),
      keyboard_(display_.get(), [this] { return inputSources_.activeLayout(); }),
      toplevels_(*display_),
      raiser_(ipc_, toplevels_) {}

}  // namespace zorv::linux_desktop

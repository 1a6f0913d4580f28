#include "linux/sway/sway_workspace.h"

#include <glib-unix.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "linux/process_application.h"

namespace zorv::linux_desktop {
namespace {

// Calls `visit` for each window (a container with a process) of the tree.
template <typename Visit>
void forEachWindow(const nlohmann::json& node, const Visit& visit) {
  if (!node.is_object()) return;
  if (node.value("pid", 0) > 0) visit(node);
  for (const char* key : {"nodes", "floating_nodes"}) {
    if (auto it = node.find(key); it != node.end() && it->is_array()) {
      for (const auto& child : *it) forEachWindow(child, visit);
    }
  }
}

std::optional<FocusedWindow> windowOf(const nlohmann::json& container) {
  const auto pid = container.value("pid", 0);
  if (pid <= 0) return std::nullopt;
  const auto name = container.find("name");
  return FocusedWindow{static_cast<port::Pid>(pid), name != container.end() && name->is_string()
                                                        ? std::optional(name->get<std::string>())
                                                        : std::nullopt};
}

}  // namespace

std::optional<FocusedWindow> swayFocusedWindow(const nlohmann::json& tree) {
  std::optional<FocusedWindow> found;
  forEachWindow(tree, [&](const nlohmann::json& window) {
    if (window.value("focused", false)) found = windowOf(window);
  });
  return found;
}

SwayWindowFocus::SwayWindowFocus(const SwayIpc& ipc)
    : ipc_(ipc),
      events_(ipc, R"(["window"])", [this](std::uint32_t type, const nlohmann::json& event) {
        if (type != SwayIpc::kWindowEvent || !event.is_object() ||
            event.value("change", "") != "focus") {
          return;
        }
        if (auto window = windowOf(event.value("container", nlohmann::json::object()))) {
          focused(*window);
        }
      }) {}

std::optional<FocusedWindow> SwayWindowFocus::focusedWindow() {
  auto tree = ipc_.request(SwayIpc::Message::getTree);
  return tree ? swayFocusedWindow(*tree) : std::nullopt;
}

SwayWorkspace::SwayWorkspace(const SwayIpc& ipc, WindowFocus& focus, port::Dispatch& dispatch,
                             std::optional<port::Pid> compositorPid)
    : SessionWorkspace(dispatch), ipc_(ipc), focus_(focus), compositorPid_(compositorPid) {
  listener_ = focus_.addListener([this](const FocusedWindow& window) {
    // Every change starts the wait again: only a focus that holds counts.
    pending_ = window.pid;
    if (settleSource_) g_source_remove(settleSource_);
    settleSource_ = g_timeout_add(
        static_cast<guint>(kSettleTime.count()),
        [](gpointer self) {
          auto* workspace = static_cast<SwayWorkspace*>(self);
          workspace->settleSource_ = 0;
          if (!workspace->ignored(*workspace->pending_)) workspace->activated(*workspace->pending_);
          return G_SOURCE_REMOVE;
        },
        this);
  });
  if (auto window = focus_.focusedWindow(); window && !ignored(window->pid)) {
    lastActivePid_ = window->pid;
  }
}

SwayWorkspace::~SwayWorkspace() {
  if (settleSource_) g_source_remove(settleSource_);
  focus_.removeListener(listener_);
}

bool SwayWorkspace::ignored(port::Pid pid) const {
  return pid == compositorPid_ || pid == static_cast<port::Pid>(getpid());
}

port::RunningApplicationRef SwayWorkspace::frontmostApplication() {
  auto window = focus_.focusedWindow();
  return window && !ignored(window->pid) ? windowedApplication(window->pid) : nullptr;
}

std::vector<port::RunningApplicationRef> SwayWorkspace::runningApplications() {
  std::vector<port::RunningApplicationRef> apps;
  auto tree = ipc_.request(SwayIpc::Message::getTree);
  if (!tree) return apps;
  std::set<port::Pid> seen;
  forEachWindow(*tree, [&](const nlohmann::json& window) {
    const auto pid = static_cast<port::Pid>(window.value("pid", 0));
    if (ignored(pid) || !seen.insert(pid).second) return;
    if (auto app = windowedApplication(pid)) apps.push_back(app);
  });
  return apps;
}

port::RunningApplicationRef SwayWorkspace::runningApplicationWithProcessIdentifier(port::Pid pid) {
  return windowedApplication(pid);
}

}  // namespace zorv::linux_desktop

#include "linux/atspi_workspace.h"

#include <atspi/atspi-constants.h>
#include <unistd.h>

#include <set>

#include "linux/process_application.h"

namespace zorv::linux_desktop {
namespace {

constexpr int kTimeoutMs = 2000;

bool isWindowRole(std::uint32_t role) {
  return role == ATSPI_ROLE_FRAME || role == ATSPI_ROLE_WINDOW || role == ATSPI_ROLE_DIALOG ||
         role == ATSPI_ROLE_ALERT || role == ATSPI_ROLE_FILE_CHOOSER;
}

}  // namespace

bool AtspiWorkspace::ignored(port::Pid pid) const {
  return pid == compositorPid_ || pid == static_cast<port::Pid>(getpid());
}

std::optional<port::Pid> AtspiWorkspace::activePid() {
  if (!bus_.connect()) return std::nullopt;
  for (const auto& app : bus_.applications(kTimeoutMs)) {
    auto pid = bus_.pidOf(app.bus, kTimeoutMs);
    if (!pid || ignored(*pid)) continue;
    auto children = bus_.call({app.bus, kRootPath, app.connection}, "org.a11y.atspi.Accessible",
                              "GetChildren", nullptr, G_VARIANT_TYPE("(a(so))"), kTimeoutMs, -1);
    if (!children.ok()) continue;
    GVariantIter* iter = nullptr;
    g_variant_get(children.value.get(), "(a(so))", &iter);
    const gchar* name = nullptr;
    const gchar* path = nullptr;
    bool active = false;
    while (!active && g_variant_iter_next(iter, "(&s&o)", &name, &path)) {
      const AtspiRef window = bus_.object(name, path);
      auto role = bus_.call(window, "org.a11y.atspi.Accessible", "GetRole", nullptr,
                            G_VARIANT_TYPE("(u)"), kTimeoutMs, -1);
      std::uint32_t r = 0;
      if (!role.ok()) continue;
      g_variant_get(role.value.get(), "(u)", &r);
      if (!isWindowRole(r)) continue;
      auto state = bus_.call(window, "org.a11y.atspi.Accessible", "GetState", nullptr,
                             G_VARIANT_TYPE("(au)"), kTimeoutMs, -1);
      if (!state.ok()) continue;
      GVariantIter* words = nullptr;
      g_variant_get(state.value.get(), "(au)", &words);
      guint32 word = 0;
      if (g_variant_iter_next(words, "u", &word)) active = (word >> ATSPI_STATE_ACTIVE) & 1u;
      g_variant_iter_free(words);
    }
    g_variant_iter_free(iter);
    if (active) return pid;
  }
  return std::nullopt;
}

port::RunningApplicationRef AtspiWorkspace::frontmostApplication() {
  auto pid = activePid();
  return pid ? windowedApplication(*pid) : nullptr;
}

std::vector<port::RunningApplicationRef> AtspiWorkspace::runningApplications() {
  std::vector<port::RunningApplicationRef> apps;
  if (!bus_.connect()) return apps;
  std::set<port::Pid> seen;
  for (const auto& app : bus_.applications(kTimeoutMs)) {
    auto pid = bus_.pidOf(app.bus, kTimeoutMs);
    if (!pid || ignored(*pid) || !seen.insert(*pid).second) continue;
    if (auto running = windowedApplication(*pid)) apps.push_back(running);
  }
  return apps;
}

port::RunningApplicationRef AtspiWorkspace::runningApplicationWithProcessIdentifier(port::Pid pid) {
  return windowedApplication(pid);
}

FocusWorkspace::FocusWorkspace(GDBusConnection* sessionBus, port::Dispatch& dispatch,
                               std::optional<port::Pid> compositorPid, WindowFocus* focus)
    : AtspiWorkspace(sessionBus, dispatch, compositorPid), focus_(focus) {
  if (!focus_) return;
  listener_ = focus_->addListener([this](const FocusedWindow& window) {
    if (!ignored(window.pid)) activated(window.pid);
  });
  if (auto window = focus_->focusedWindow(); window && !ignored(window->pid)) {
    lastActivePid_ = window->pid;
  }
}

FocusWorkspace::~FocusWorkspace() {
  if (focus_) focus_->removeListener(listener_);
}

port::RunningApplicationRef FocusWorkspace::frontmostApplication() {
  if (!focus_) return AtspiWorkspace::frontmostApplication();
  auto window = focus_->focusedWindow();
  return window && !ignored(window->pid) ? windowedApplication(window->pid) : nullptr;
}

}  // namespace zorv::linux_desktop

#pragma once
// The workspace of a session without an X window manager (Wayland): the
// frontmost application is the one whose frame has state ACTIVE on the
// accessibility bus, and an application becomes active when a window of
// another process is activated there (window:activate) and stays active for a
// moment: a window that is briefly deactivated and activated again (as when a
// virtual keyboard appears) is no activation. The compositor's own process,
// which may put windows of its own on the bus, never becomes frontmost.

#include <gio/gio.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "linux/atspi/atspi_bus.h"
#include "linux/gio_opener.h"
#include "port/dispatch.h"
#include "port/workspace.h"

namespace zorv::linux_desktop {

class AtspiWorkspace : public port::Workspace {
 public:
  // How long a window must stay active before its application counts as activated.
  static constexpr std::chrono::milliseconds kSettleTime{120};

  // Where activations are learnt: the accessibility bus's window events, or
  // the compositor, which reports them through `applicationActivated`.
  enum class Activations { accessibility, compositor };

  // `sessionBus` may be null (no accessibility bus: nothing is ever frontmost).
  AtspiWorkspace(GDBusConnection* sessionBus, port::Dispatch& dispatch,
                 std::optional<port::Pid> compositorPid,
                 Activations activations = Activations::accessibility);
  ~AtspiWorkspace() override;
  AtspiWorkspace(const AtspiWorkspace&) = delete;
  AtspiWorkspace& operator=(const AtspiWorkspace&) = delete;

  port::RunningApplicationRef frontmostApplication() override;
  std::vector<port::RunningApplicationRef> runningApplications() override;
  port::RunningApplicationRef runningApplicationWithProcessIdentifier(port::Pid pid) override;

  bool openURL(const std::string& url) override { return opener_.openURL(url); }
  void openURLs(const std::vector<std::string>& urls, const std::string& applicationURL,
                const port::OpenConfiguration& configuration,
                port::OpenCompletion completion) override {
    opener_.openURLs(urls, applicationURL, configuration, std::move(completion));
  }
  void openApplication(const std::string& applicationURL,
                       const port::OpenConfiguration& configuration,
                       port::OpenCompletion completion) override {
    opener_.openApplication(applicationURL, configuration, std::move(completion));
  }

  void addObserver(port::ObserverToken observer, const std::string& name,
                   std::function<void(const port::Notification&)> handler) override;
  void removeObserver(port::ObserverToken observer) override;

  // A window of process `pid` became the active one (Activations::compositor).
  void applicationActivated(port::Pid pid);

 private:
  // The process of the application with an ACTIVE frame, asked of the bus.
  std::optional<port::Pid> activePid();
  bool ignored(port::Pid pid) const;
  void listen();
  void stopListening();
  void onWindowEvent(const std::string& sender, const std::string& path, bool activated);
  void settled();

  Activations activations_;
  AtspiBus bus_;
  GioOpener opener_;
  std::optional<port::Pid> compositorPid_;
  std::optional<port::Pid> lastActivePid_;
  // The window activated last and not deactivated since (bus name, path).
  std::optional<std::pair<std::string, std::string>> active_;
  guint activateSubscription_ = 0, deactivateSubscription_ = 0;
  GDBusConnection* listening_ = nullptr;
  gulong closedHandler_ = 0;
  guint settleSource_ = 0, retrySource_ = 0;
  struct Registration {
    port::ObserverToken observer;
    std::string name;
    std::function<void(const port::Notification&)> handler;
  };
  std::vector<Registration> registrations_;
};

}  // namespace zorv::linux_desktop

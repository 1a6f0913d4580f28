#include "linux/atspi_workspace.h"

#include <atspi/atspi-constants.h>
#include <unistd.h>

#include <map>
#include <set>

#include "linux/process_application.h"

namespace zorv::linux_desktop {
namespace {

constexpr int kTimeoutMs = 2000;

bool isWindowRole(std::uint32_t role) {
  return role == ATSPI_ROLE_FRAME || role == ATSPI_ROLE_WINDOW || role == ATSPI_ROLE_DIALOG ||
         role == ATSPI_ROLE_ALERT || role == ATSPI_ROLE_FILE_CHOOSER;
}

port::RunningApplicationRef applicationOf(port::Pid pid) {
  if (!processExists(pid)) return nullptr;
  auto name = executableName(pid);
  return std::make_shared<ProcessApplication>(pid, name, name, port::ActivationPolicy::regular);
}

}  // namespace

AtspiWorkspace::AtspiWorkspace(GDBusConnection* sessionBus, port::Dispatch& dispatch,
                               std::optional<port::Pid> compositorPid, Activations activations)
    : activations_(activations),
      bus_(sessionBus),
      opener_(dispatch),
      compositorPid_(compositorPid) {}

AtspiWorkspace::~AtspiWorkspace() {
  if (settleSource_) g_source_remove(settleSource_);
  if (retrySource_) g_source_remove(retrySource_);
  stopListening();
}

void AtspiWorkspace::stopListening() {
  if (!listening_) return;
  g_signal_handler_disconnect(listening_, closedHandler_);
  g_dbus_connection_signal_unsubscribe(listening_, activateSubscription_);
  g_dbus_connection_signal_unsubscribe(listening_, deactivateSubscription_);
  g_object_unref(listening_);
  listening_ = nullptr;
}

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
  return pid ? applicationOf(*pid) : nullptr;
}

std::vector<port::RunningApplicationRef> AtspiWorkspace::runningApplications() {
  std::vector<port::RunningApplicationRef> apps;
  if (!bus_.connect()) return apps;
  std::set<port::Pid> seen;
  for (const auto& app : bus_.applications(kTimeoutMs)) {
    auto pid = bus_.pidOf(app.bus, kTimeoutMs);
    if (!pid || ignored(*pid) || !seen.insert(*pid).second) continue;
    if (auto running = applicationOf(*pid)) apps.push_back(running);
  }
  return apps;
}

port::RunningApplicationRef AtspiWorkspace::runningApplicationWithProcessIdentifier(port::Pid pid) {
  return applicationOf(pid);
}

void AtspiWorkspace::listen() {
  if (activations_ == Activations::compositor) {
    if (!lastActivePid_) lastActivePid_ = activePid();
    return;
  }
  if (listening_ && !g_dbus_connection_is_closed(listening_)) return;
  stopListening();
  if (!bus_.connect()) return;
  listening_ = G_DBUS_CONNECTION(g_object_ref(bus_.connection()));
  // A bus that goes away (its launcher died) is looked for again every second
  // until one answers: activations are heard again on the new one.
  closedHandler_ = g_signal_connect(
      listening_, "closed", G_CALLBACK(+[](GDBusConnection*, gboolean, GError*, gpointer self) {
        auto* workspace = static_cast<AtspiWorkspace*>(self);
        if (workspace->retrySource_) return;
        workspace->retrySource_ = g_timeout_add_seconds(
            1,
            [](gpointer data) -> gboolean {
              auto* w = static_cast<AtspiWorkspace*>(data);
              w->listen();
              if (!w->listening_) return G_SOURCE_CONTINUE;
              w->retrySource_ = 0;
              return G_SOURCE_REMOVE;
            },
            self);
      }),
      this);
  bus_.registerEvent("window:activate");
  bus_.registerEvent("window:deactivate");
  auto subscribe = [this](const char* member) {
    return g_dbus_connection_signal_subscribe(
        listening_, nullptr, "org.a11y.atspi.Event.Window", member, nullptr, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar* sender, const gchar* path, const gchar*,
           const gchar* signal, GVariant*, gpointer self) {
          static_cast<AtspiWorkspace*>(self)->onWindowEvent(sender, path,
                                                            std::string(signal) == "Activate");
        },
        this, nullptr);
  };
  activateSubscription_ = subscribe("Activate");
  deactivateSubscription_ = subscribe("Deactivate");
  if (!lastActivePid_) lastActivePid_ = activePid();
}

void AtspiWorkspace::onWindowEvent(const std::string& sender, const std::string& path,
                                   bool activated) {
  if (activated) {
    active_ = {sender, path};
  } else if (active_ && active_->first == sender && active_->second == path) {
    active_.reset();
  }
  // Every event starts the wait again: only a state that holds is an activation.
  if (settleSource_) g_source_remove(settleSource_);
  settleSource_ = g_timeout_add(
      static_cast<guint>(kSettleTime.count()),
      [](gpointer self) {
        auto* workspace = static_cast<AtspiWorkspace*>(self);
        workspace->settleSource_ = 0;
        workspace->settled();
        return G_SOURCE_REMOVE;
      },
      this);
}

void AtspiWorkspace::settled() {
  if (!active_) return;
  if (auto pid = bus_.pidOf(active_->first, kTimeoutMs)) applicationActivated(*pid);
}

void AtspiWorkspace::applicationActivated(port::Pid pid) {
  if (ignored(pid) || pid == lastActivePid_) return;
  lastActivePid_ = pid;
  auto app = applicationOf(pid);
  if (!app) return;
  port::Notification notification{
      port::kWorkspaceDidActivateApplicationNotification, std::nullopt,
      std::map<std::string, port::NotificationObject>{{port::kWorkspaceApplicationKey, app}}};
  const auto registrations = registrations_;
  for (const auto& r : registrations) {
    if (r.name == notification.name) r.handler(notification);
  }
}

void AtspiWorkspace::addObserver(port::ObserverToken observer, const std::string& name,
                                 std::function<void(const port::Notification&)> handler) {
  registrations_.push_back({observer, name, std::move(handler)});
  listen();
}

void AtspiWorkspace::removeObserver(port::ObserverToken observer) {
  std::erase_if(registrations_, [&](const Registration& r) { return r.observer == observer; });
}

}  // namespace zorv::linux_desktop

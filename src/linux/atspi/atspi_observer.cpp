#include "linux/atspi/atspi_observer.h"

#include <algorithm>
#include <cstring>

#include "linux/atspi/atspi_element.h"

namespace zorv::linux_desktop {
namespace {

constexpr port::StatusCode kNotificationUnsupported = -25207;
constexpr port::StatusCode kNotificationAlreadyRegistered = -25209;
constexpr port::StatusCode kNotificationNotRegistered = -25210;
constexpr port::StatusCode kCannotComplete = -25204;

bool isWindowChange(const std::string& notification) {
  return notification == "AXMainWindowChanged" || notification == "AXFocusedWindowChanged";
}

}  // namespace

std::optional<AtspiEvent> atspiEventFor(const std::string& notification) {
  struct Entry {
    const char* notification;
    AtspiEvent event;
  };
  static constexpr Entry table[] = {
      {"AXMainWindowChanged", {"Window", "Activate", "", "window:activate"}},
      {"AXFocusedWindowChanged", {"Window", "Activate", "", "window:activate"}},
      {"AXWindowCreated", {"Window", "Create", "", "window:create"}},
      {"AXWindowMoved", {"Window", "Move", "", "window:move"}},
      {"AXWindowResized", {"Window", "Resize", "", "window:resize"}},
      {"AXWindowMiniaturized", {"Window", "Minimize", "", "window:minimize"}},
      {"AXWindowDeminiaturized", {"Window", "Restore", "", "window:restore"}},
      {"AXUIElementDestroyed",
       {"Object", "StateChanged", "defunct", "object:state-changed:defunct"}},
      {"AXFocusedUIElementChanged",
       {"Object", "StateChanged", "focused", "object:state-changed:focused"}},
      {"AXTitleChanged",
       {"Object", "PropertyChange", "accessible-name", "object:property-change:accessible-name"}},
      {"AXValueChanged",
       {"Object", "PropertyChange", "accessible-value", "object:property-change:accessible-value"}},
      {"AXSelectedTextChanged",
       {"Object", "TextSelectionChanged", "", "object:text-selection-changed"}},
  };
  for (const auto& entry : table) {
    if (notification == entry.notification) return entry.event;
  }
  return std::nullopt;
}

struct AtspiObserver::Registration {
  AtspiObserver* owner;
  port::ElementRef element;
  std::string notification;
  void* refcon;
  AtspiEvent event;
  std::optional<std::string> path;  // only this object's events; none: the whole application
  guint subscription = 0;
};

AtspiObserver::AtspiObserver(
    AtspiBus& bus, GDBusConnection* connection, X11Display* display, AtspiRef application,
    port::Pid pid, bool withInfo, port::AXObserverCallback callback,
    std::function<std::optional<std::string>(const std::optional<std::string>&)> currentMainWindow,
    std::function<port::ElementRef(const AtspiRef&)> elementFor, ActiveWindowFeed* feed)
    : bus_(bus),
      connection_(G_DBUS_CONNECTION(g_object_ref(connection))),
      display_(display && !display->connectionLost() ? display : nullptr),
      feed_(display_ ? nullptr : feed),
      application_(std::move(application)),
      pid_(pid),
      withInfo_(withInfo),
      callback_(std::move(callback)),
      currentMainWindow_(std::move(currentMainWindow)),
      elementFor_(std::move(elementFor)) {
  if (feed_) {
    feedListener_ = feed_->addListener(
        [this](port::Pid process, const std::string& title) { onWindowActivated(process, title); });
  }
  if (!display_) return;
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display_->get(), display_->root(), &attributes)) {
    XSelectInput(display_->get(), display_->root(),
                 attributes.your_event_mask | PropertyChangeMask);
  }
  displayListener_ = display_->addEventListener([this](const XEvent& event) { onXEvent(event); });
}

AtspiObserver::~AtspiObserver() {
  if (feed_) feed_->removeListener(feedListener_);
  if (displayListener_) display_->removeEventListener(displayListener_);
  for (auto* registration : registrations_) {
    // GDBus frees the registration once no callback can run any more.
    if (registration->subscription) {
      g_dbus_connection_signal_unsubscribe(connection_, registration->subscription);
    } else {
      delete registration;
    }
  }
  g_object_unref(connection_);
}

port::StatusCode AtspiObserver::addNotification(const port::ElementRef& element,
                                                const std::string& notification, void* refcon) {
  auto event = atspiEventFor(notification);
  if (!event) return kNotificationUnsupported;
  const auto* target = dynamic_cast<const AtspiElement*>(element.get());
  if (!target || target->kind() == AtspiElement::Kind::systemWide) return kCannotComplete;
  for (const auto* r : registrations_) {
    if (r->notification == notification && port::sameElement(r->element, element)) {
      return kNotificationAlreadyRegistered;
    }
  }
  const bool fromWindowManager = (display_ || feed_) && isWindowChange(notification);
  if (!fromWindowManager) bus_.registerEvent(event->listener);
  if (isWindowChange(notification) && !lastMainWindow_) {
    lastMainWindow_ = currentMainWindow_(std::nullopt);
  }

  auto* registration = new Registration{this, element, notification, refcon, *event, std::nullopt};
  if (target->kind() == AtspiElement::Kind::object) registration->path = target->ref().path;
  registrations_.push_back(registration);
  if (fromWindowManager) return 0;
  const std::string interface = std::string("org.a11y.atspi.Event.") + event->interface;
  registration->subscription = g_dbus_connection_signal_subscribe(
      connection_, application_.bus.c_str(), interface.c_str(), event->member, nullptr, nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE,
      [](GDBusConnection*, const gchar*, const gchar* path, const gchar*, const gchar*,
         GVariant* parameters, gpointer data) {
        auto* r = static_cast<Registration*>(data);
        r->owner->onEvent(*r, path, parameters);
      },
      registration, [](gpointer data) { delete static_cast<Registration*>(data); });
  return 0;
}

port::StatusCode AtspiObserver::removeNotification(const port::ElementRef& element,
                                                   const std::string& notification) {
  auto it = std::find_if(registrations_.begin(), registrations_.end(), [&](const Registration* r) {
    return r->notification == notification && port::sameElement(r->element, element);
  });
  if (it == registrations_.end()) return kNotificationNotRegistered;
  if ((*it)->subscription) {
    g_dbus_connection_signal_unsubscribe(connection_, (*it)->subscription);
  } else {
    delete *it;
  }
  registrations_.erase(it);
  return 0;
}

void AtspiObserver::onEvent(Registration& registration, const std::string& path,
                            GVariant* parameters) {
  if (!attached_) return;
  if (*registration.event.detail != '\0') {
    const gchar* detail = "";
    gint32 detail1 = 0;
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(siiva{sv})"))) return;
    g_variant_get_child(parameters, 0, "&s", &detail);
    g_variant_get_child(parameters, 1, "i", &detail1);
    if (std::strcmp(detail, registration.event.detail) != 0) return;
    if (std::strcmp(registration.event.member, "StateChanged") == 0 && detail1 != 1) return;
  }
  deliver(registration, path);
}

void AtspiObserver::onXEvent(const XEvent& event) {
  if (!attached_ || event.type != PropertyNotify || event.xproperty.window != display_->root() ||
      event.xproperty.atom != display_->atom("_NET_ACTIVE_WINDOW")) {
    return;
  }
  const auto window = display_->cardinalProperty(display_->root(), "_NET_ACTIVE_WINDOW");
  if (!window || *window == 0) return;
  const auto pid = display_->cardinalProperty(Window(*window), "_NET_WM_PID");
  if (!pid) return;
  auto title = display_->stringProperty(Window(*window), "_NET_WM_NAME");
  if (!title) title = display_->stringProperty(Window(*window), "WM_NAME");
  onWindowActivated(static_cast<port::Pid>(*pid), title);
}

void AtspiObserver::onWindowActivated(port::Pid pid, const std::optional<std::string>& title) {
  if (!attached_ || pid != pid_) return;
  std::vector<Registration*> windowChanges;
  for (auto* r : registrations_) {
    if (isWindowChange(r->notification)) windowChanges.push_back(r);
  }
  if (windowChanges.empty()) return;
  const auto path = currentMainWindow_(title);
  if (!path) return;
  for (auto* r : windowChanges) {
    // The callback may remove registrations.
    if (std::find(registrations_.begin(), registrations_.end(), r) != registrations_.end()) {
      deliver(*r, *path);
    }
  }
}

void AtspiObserver::deliver(Registration& registration, const std::string& path) {
  if (registration.path && *registration.path != path) return;
  // The window manager activates a window also when its application is merely
  // activated again; only a different window is a new main window.
  if (isWindowChange(registration.notification)) {
    if (lastMainWindow_ == path) return;
    lastMainWindow_ = path;
  }
  const auto element = elementFor_({application_.bus, path, application_.connection});
  std::optional<port::Dictionary> info;
  if (withInfo_) info = port::Dictionary{};
  callback_(element, registration.notification, registration.refcon, info);
}

}  // namespace zorv::linux_desktop

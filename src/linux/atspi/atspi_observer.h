#pragma once
// Accessibility notifications of one process from AT-SPI events on the
// accessibility bus, delivered on the main loop while the observer's source is
// attached. Only the events a registration needs are asked for: listening to
// everything makes applications flood the bus. A change of main or focused
// window comes from the window manager (_NET_ACTIVE_WINDOW) when there is an X
// display, or from the compositor's feed: asking applications for window events would make the
// helper their client for good, and a client's presence makes GTK hand every key press to the
// registry first, which freezes an application whose accessibility connection is held by a modal
// dialog (docs/linux-backend.md, "Pressing").

#include <gio/gio.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "linux/active_window_feed.h"
#include "linux/atspi/atspi_bus.h"
#include "linux/x11/x11_display.h"
#include "port/accessibility.h"

namespace zorv::linux_desktop {

// The AT-SPI event behind a platform notification: interface suffix, member and
// (for object events) the detail; absent when AT-SPI has no counterpart.
struct AtspiEvent {
  const char* interface;  // "Window" or "Object"
  const char* member;     // "Activate", "StateChanged", ...
  const char* detail;     // "" for any
  const char* listener;   // the registry's event name, e.g. "window:activate"
};
std::optional<AtspiEvent> atspiEventFor(const std::string& notification);

class AtspiObserver : public port::AXObserver {
 public:
  // `application` is the process's root object; the objects its events name are
  // of the same connection. `currentMainWindow` answers the path of the
  // process's window titled as given (of the active one when no title is
  // given), so a repeated activation of the same window is not taken for a
  // change. `display` and `feed` may be null: without both, window changes
  // come from AT-SPI.
  AtspiObserver(AtspiBus& bus, GDBusConnection* connection, X11Display* display,
                AtspiRef application, port::Pid pid, bool withInfo,
                port::AXObserverCallback callback,
                std::function<std::optional<std::string>(const std::optional<std::string>&)>
                    currentMainWindow,
                std::function<port::ElementRef(const AtspiRef&)> elementFor,
                ActiveWindowFeed* feed = nullptr);
  ~AtspiObserver() override;

  port::StatusCode addNotification(const port::ElementRef& element, const std::string& notification,
                                   void* refcon) override;
  port::StatusCode removeNotification(const port::ElementRef& element,
                                      const std::string& notification) override;
  void addRunLoopSource() override { attached_ = true; }
  void removeRunLoopSource() override { attached_ = false; }

 private:
  struct Registration;
  void onEvent(Registration& registration, const std::string& path, GVariant* parameters);
  void onXEvent(const XEvent& event);
  void onWindowActivated(port::Pid pid, const std::optional<std::string>& title);
  void deliver(Registration& registration, const std::string& path);

  AtspiBus& bus_;
  GDBusConnection* connection_;
  X11Display* display_;
  ActiveWindowFeed* feed_;
  std::uint64_t feedListener_ = 0;
  std::uint64_t displayListener_ = 0;
  AtspiRef application_;
  port::Pid pid_;
  bool withInfo_;
  port::AXObserverCallback callback_;
  std::function<std::optional<std::string>(const std::optional<std::string>&)> currentMainWindow_;
  std::function<port::ElementRef(const AtspiRef&)> elementFor_;
  std::vector<Registration*> registrations_;
  std::optional<std::string> lastMainWindow_;
  bool attached_ = false;
};

}  // namespace zorv::linux_desktop

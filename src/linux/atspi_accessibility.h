#pragma once
// The accessibility interface on the AT-SPI accessibility bus. The permission
// maps to that bus: at start-up (the check with the prompt) the helper is
// trusted when the session's accessibility bus answers and accepts a
// connection; later checks take it away only when accessibility has been
// switched off (org.a11y.Status.IsEnabled of the same launcher reads false).

#include <gio/gio.h>

#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "linux/atspi/atspi_bus.h"
#include "linux/atspi/atspi_element.h"
#include "linux/atspi/atspi_snapshot.h"
#include "linux/atspi/menu_structure.h"
#include "linux/desktop_session.h"
#include "linux/window_focus.h"
#include "port/accessibility.h"

namespace zorv::linux_desktop {

class AtspiAccessibility : public port::Accessibility {
 public:
  // `sessionBus` may be null (no session bus: never trusted).
  // `focus` may be null (the session cannot tell the focused window: the
  // frontmost application is the one with an ACTIVE window, and window changes
  // are not observed). `raiser` may be null (the session cannot raise windows).
  AtspiAccessibility(GDBusConnection* sessionBus, WindowFocus* focus, WindowRaiser* raiser);
  ~AtspiAccessibility() override;
  AtspiAccessibility(const AtspiAccessibility&) = delete;
  AtspiAccessibility& operator=(const AtspiAccessibility&) = delete;

  // Called whenever the trust check answers "not trusted".
  void setUntrustedHandler(std::function<void()> handler) { onUntrusted_ = std::move(handler); }

  // With `prompt`, toolkits are asked to turn their accessibility support on
  // (org.a11y.Status.IsEnabled = true); without it nothing is changed.
  bool isProcessTrustedWithOptions(bool prompt) override;

  port::ElementRef createApplication(port::Pid pid) override;
  port::ElementRef createSystemWide() override;
  port::AXResult<std::vector<std::string>> copyAttributeNames(const port::ElementRef&) override;
  port::AXResult<port::Value> copyAttributeValue(const port::ElementRef&,
                                                 const std::string&) override;
  port::AXResult<port::Array> copyAttributeValues(const port::ElementRef&, const std::string&,
                                                  std::int64_t, std::int64_t) override;
  port::AXResult<std::int64_t> getAttributeValueCount(const port::ElementRef&,
                                                      const std::string&) override;
  port::AXResult<bool> isAttributeSettable(const port::ElementRef&, const std::string&) override;
  port::StatusCode setAttributeValue(const port::ElementRef&, const std::string&,
                                     const port::Value&) override;
  port::AXResult<port::Array> copyMultipleAttributeValues(const port::ElementRef&,
                                                          const std::vector<std::string>&,
                                                          std::uint32_t) override;
  port::AXResult<std::vector<std::string>> copyParameterizedAttributeNames(
      const port::ElementRef&) override;
  port::AXResult<port::Value> copyParameterizedAttributeValue(const port::ElementRef&,
                                                              const std::string&,
                                                              const port::Value&) override;
  port::AXResult<std::vector<std::string>> copyActionNames(const port::ElementRef&) override;
  port::AXResult<std::string> copyActionDescription(const port::ElementRef&,
                                                    const std::string&) override;
  port::StatusCode performAction(const port::ElementRef&, const std::string&) override;
  port::AXResult<port::Pid> getPid(const port::ElementRef&) override;
  port::StatusCode setMessagingTimeout(const port::ElementRef&, float) override;
  port::AXResult<port::ElementRef> copyElementAtPosition(const port::ElementRef&, float,
                                                         float) override;
  port::AXResult<std::unique_ptr<port::AXObserver>> createObserver(
      port::Pid, bool, port::AXObserverCallback) override;

 private:
  struct Object;
  // The object an element stands for, or the code a call on it fails with.
  std::variant<AtspiRef, port::StatusCode> resolve(const AtspiElement& element);
  // The unique name of the session's org.a11y.Bus, or empty.
  std::string launcherName();
  // org.a11y.Status.IsEnabled of the launcher seen at start-up reads false.
  bool switchedOff();
  int timeoutMs(const AtspiElement& element) const;

  port::AXResult<port::Value> systemWideAttribute(const std::string& attribute, int timeout);
  port::AXResult<port::Value> applicationAttribute(const AtspiRef& app, port::Pid pid,
                                                   const std::string& attribute, int timeout);
  port::AXResult<port::Value> objectAttribute(const AtspiRef& ref, const std::string& attribute,
                                              int timeout);
  port::AXResult<port::Value> submenuAttribute(const AtspiRef& ref, const std::string& attribute,
                                               int timeout);

  port::AXResult<std::uint32_t> role(const AtspiRef& ref, int timeout);
  port::AXResult<std::uint64_t> states(const AtspiRef& ref, int timeout);
  port::AXResult<std::string> name(const AtspiRef& ref, int timeout);
  port::AXResult<std::vector<AtspiRef>> children(const AtspiRef& ref, int timeout);
  port::AXResult<AtspiRef> parent(const AtspiRef& ref, int timeout);
  port::AXResult<port::Rect> extents(const AtspiRef& ref, int timeout);
  port::AXResult<std::string> keyBinding(const AtspiRef& ref, int timeout);
  // The application's windows, and the active one among them.
  port::AXResult<std::vector<AtspiRef>> windows(const AtspiRef& app, int timeout);
  std::optional<AtspiRef> activeWindow(const AtspiRef& app, int timeout);
  std::optional<AtspiRef> menuBarBelow(const std::vector<AtspiRef>& windows, int timeout);
  port::ElementRef elementFor(const AtspiRef& ref, int timeout);

  port::StatusCode raise(const AtspiElement& element, const std::string& attribute);

  GDBusConnection* sessionBus_;
  WindowFocus* focus_;
  WindowRaiser* raiser_;
  AtspiBus bus_;
  AtspiSnapshot snapshot_;  // role, name, states, extents, children: read through it
  // The menu bar last found, and below which windows: checked before a search.
  struct MenuBarHint {
    std::vector<AtspiRef> windows;
    menu_structure::MenuBarPlace place;
  };
  std::optional<MenuBarHint> menuBarHint_;
  std::function<void()> onUntrusted_;
  std::string launcher_;  // org.a11y.Bus at the start-up check
};

}  // namespace zorv::linux_desktop

#include "linux/x11/x11_session.h"

#include "linux/x11/x11_windows.h"

namespace zorv::linux_desktop {

bool X11WindowRaiser::raiseApplication(port::Pid pid, const ApplicationName&) {
  // Bringing an application forward activates its most recent window.
  auto window = topWindowOf(display_, pid);
  return window && activateWindow(display_, *window);
}

bool X11WindowRaiser::raiseWindow(port::Pid pid, const ApplicationName&, const std::string& title) {
  auto window = topWindowOf(display_, pid, title);
  return window && activateWindow(display_, *window);
}

X11Session::X11Session(std::unique_ptr<X11Display> display, port::Dispatch& dispatch)
    : display_(std::move(display)),
      focus_(display_ ? std::make_unique<X11WindowFocus>(*display_) : nullptr),
      workspace_(display_.get(), focus_.get(), dispatch),
      keyboard_(display_.get()),
      inputSources_(display_.get()),
      raiser_(display_ ? std::make_unique<X11WindowRaiser>(*display_) : nullptr) {}

void X11Session::setConnectionLostHandler(std::function<void()> handler) {
  if (display_) display_->setConnectionLostHandler(std::move(handler));
}

}  // namespace zorv::linux_desktop

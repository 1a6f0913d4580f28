#include "xkb_groups.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <stdexcept>
#include <thread>

namespace zorv::e2e {

XkbGroups::XkbGroups(const Environment& env) {
  auto it = env.find("DISPLAY");
  if (it == env.end()) throw std::runtime_error("the desktop has no DISPLAY");
  display_ = XOpenDisplay(it->second.c_str());
  if (!display_) throw std::runtime_error("cannot open display " + it->second);
}

XkbGroups::~XkbGroups() {
  XCloseDisplay(display_);
}

int XkbGroups::locked() const {
  XkbStateRec state{};
  if (XkbGetState(display_, XkbUseCoreKbd, &state) != Success) return -1;
  return state.locked_group;
}

void XkbGroups::lock(int group) {
  XkbLockGroup(display_, XkbUseCoreKbd, static_cast<unsigned>(group));
  XSync(display_, False);
}

bool XkbGroups::waitForLocked(int group, Duration timeout) const {
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (locked() != group) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::vector<std::string> XkbGroups::names() const {
  std::vector<std::string> names;
  XkbDescPtr keyboard = XkbAllocKeyboard();
  if (!keyboard) return names;
  if (XkbGetNames(display_, XkbGroupNamesMask, keyboard) == Success && keyboard->names) {
    for (int group = 0; group < XkbNumKbdGroups; ++group) {
      const Atom atom = keyboard->names->groups[group];
      if (atom == None) break;
      char* name = XGetAtomName(display_, atom);
      names.emplace_back(name ? name : "");
      if (name) XFree(name);
    }
  }
  XkbFreeKeyboard(keyboard, 0, True);
  return names;
}

}  // namespace zorv::e2e

#pragma once
// Pressing a menu item of an application by its path of titles, walking the
// menu bar through the accessibility interface.

#include <string>
#include <variant>
#include <vector>

#include "port/platform.h"
#include "support/error.h"

namespace zorv::helper {

class AccessibilityMenuPressingFailure : public support::Error {
 public:
  struct MenuBarNotExist {
    std::string applicationTitle;
  };
  struct MenuItemNotExist {
    std::string menuItemName;
  };
  struct AccessibilityPerformActionFailure {
    port::StatusCode error;
  };
  using Case = std::variant<MenuBarNotExist, MenuItemNotExist, AccessibilityPerformActionFailure>;

  explicit AccessibilityMenuPressingFailure(Case failure);
  const Case& failure() const { return failure_; }

 private:
  Case failure_;
};

// Thrown when pressMenuItems is given an element that is not an application.
class PreconditionFailure : public support::Error {
 public:
  using Error::Error;
};

// Presses the last item of `menuItems` in the menu bar of `application`; throws
// AccessibilityMenuPressingFailure when the walk or the press fails. "ThisApp"
// inside an entry stands for the application's title.
void pressMenuItems(port::Platform& platform, std::vector<std::string> menuItems,
                    const port::ElementRef& application);

}  // namespace zorv::helper

#pragma once
// Runs one action request: prints "in helper" and routes the action to the
// handler of its kind. Nothing escapes: every failure ends in a report or a line.

#include <mutex>
#include <string>
#include <vector>

#include "helper/helper_action.h"
#include "helper/input_sources.h"
#include "helper/key_names.h"
#include "helper/keystroke.h"
#include "helper/reporters.h"
#include "helper/window_switching.h"
#include "port/platform.h"

namespace zorv::helper {

class ActionExecutor {
 public:
  ActionExecutor(port::Platform& platform, const Reporter& reporter,
                 WindowSwitching& windowSwitching)
      : platform_(platform),
        reporter_(reporter),
        windowSwitching_(windowSwitching),
        keyNames_(platform),
        keystrokes_(platform, keyNames_),
        inputSourceManager_(platform) {}

  void executeHelperAction(const HelperAction& action);

 private:
  void route(const HelperAction& action);

  // False (after logging and asking the application to terminate) when the
  // helper may not use the accessibility interface.
  bool checkPermission();
  const port::ElementRef& systemWide();

  // The handler of each kind, one file each (menu_actions.cpp, ...).
  void menu(const std::vector<std::string>& menuItems);
  void menuCommand(const HelperAction::MenuCommandInfo& info);
  void reportMenuUnavailable();
  void openURL(const HelperAction::OpenURL& action);
  void launchApp(const HelperAction::LaunchApp& action);
  void switchWindow();
  void executeFile(const HelperAction::ExecuteFile& action);
  void sleep();
  void simulateKeystroke(const HelperAction::SimulateKeystroke& action);
  void switchInputMethod(const HelperAction::SwitchInputMethod& action);

  port::Platform& platform_;
  const Reporter& reporter_;
  WindowSwitching& windowSwitching_;
  std::once_flag systemWideOnce_;
  port::ElementRef systemWide_;
  // The key names and the input-source list are built on first use and kept for
  // the life of the process (this executor's).
  KeyNames keyNames_;
  KeystrokeSimulator keystrokes_;
  InputSourceManager inputSourceManager_;
};

}  // namespace zorv::helper

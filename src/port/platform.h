#pragma once
// The platform table: every service the core uses, in one place. A backend fills
// it in; the core receives it and never reaches a platform any other way.
// Threads: each service's header says which of its calls may come from a worker
// thread; the core makes every other call on the main thread.

#include "port/accessibility.h"
#include "port/alerts.h"
#include "port/apple_events.h"
#include "port/application.h"
#include "port/console.h"
#include "port/dispatch.h"
#include "port/distributed_notifications.h"
#include "port/keyboard_events.h"
#include "port/tasks.h"
#include "port/text_input_sources.h"
#include "port/user_notifications.h"
#include "port/workspace.h"

namespace zorv::port {

struct Platform {
  Application& application;
  Dispatch& dispatch;
  SystemLog& systemLog;
  StandardOutput& standardOutput;
  Accessibility& accessibility;
  Workspace& workspace;
  DistributedNotificationCenter& distributedNotifications;
  UserNotificationCenter& userNotifications;
  Alerts& alerts;
  KeyboardEvents& keyboardEvents;
  TextInputSources& textInputSources;
  AppleEvents& appleEvents;
  Tasks& tasks;
  Files& files;
};

}  // namespace zorv::port

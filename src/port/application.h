#pragma once
// The application object: its main loop and its delegate.
// Threads: every call on the main thread; the delegate is called there too.

namespace zorv::port {

class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  virtual void applicationDidFinishLaunching() = 0;
  virtual void applicationWillTerminate() = 0;
};

class Application {
 public:
  virtual ~Application() = default;
  // Runs the main loop with `delegate` until the application terminates; returns
  // the process's exit status.
  virtual int run(ApplicationDelegate& delegate) = 0;
  // Asks the application to terminate: the delegate hears
  // `applicationWillTerminate`, then the main loop ends.
  virtual void terminate() = 0;
};

}  // namespace zorv::port

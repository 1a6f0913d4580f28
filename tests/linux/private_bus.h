#pragma once
// Processes, buses, X servers and folders of one test, gone with it.

#include <gio/gio.h>
#include <signal.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zorv::testing {

// A child process, stopped when it goes out of scope.
class TestProcess {
 public:
  // `environment` is added to this process's; with `firstLine`, the child's
  // first line of standard output is read into it.
  explicit TestProcess(const std::vector<std::string>& argv,
                       const std::map<std::string, std::string>& environment = {},
                       std::string* firstLine = nullptr);
  ~TestProcess() { stop(); }
  TestProcess(const TestProcess&) = delete;
  TestProcess& operator=(const TestProcess&) = delete;
  void stop(int signal = SIGTERM);

 private:
  GPid pid_ = 0;
};

// A client connection to the bus at `address` (owned by the caller).
GDBusConnection* connectToBus(const std::string& address);
bool nameHasOwner(GDBusConnection* bus, const std::string& name);

// A private D-Bus message bus.
class PrivateBus {
 public:
  PrivateBus()
      : daemon_({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, {}, &address_) {}
  const std::string& address() const { return address_; }
  GDBusConnection* connect() const { return connectToBus(address_); }

 private:
  std::string address_;
  TestProcess daemon_;
};

// A python-dbusmock service on the bus at `address` (as the system bus, or the
// session bus), owning `name` once constructed.
class MockService {
 public:
  MockService(const std::string& address, bool system, const std::string& name,
              const std::string& path, const std::string& interface);
  ~MockService() { g_object_unref(bus_); }
  MockService(const MockService&) = delete;
  MockService& operator=(const MockService&) = delete;
  // Calls a method of the mock's control interface: the reply as GVariant
  // text ("()" when empty), or "" when the call failed.
  std::string control(const char* method, GVariant* parameters);

 private:
  TestProcess process_;
  GDBusConnection* bus_;
  std::string name_;
  std::string path_;
};

// A private Xvfb on a display number of its own choosing.
class PrivateXServer {
 public:
  PrivateXServer();
  const std::string& name() const { return name_; }
  void stop() { server_.stop(SIGKILL); }

 private:
  std::string line_;
  TestProcess server_;
  std::string name_ = ":" + line_;
};

// A folder of its own.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path file(const std::string& name, const std::string& contents,
                             std::filesystem::perms perms) const;

 private:
  std::filesystem::path path_;
};

// Sets an environment variable (or, without a value, unsets it) for one scope.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::optional<std::string>& value);
  ~ScopedVariable();
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Runs the default main context until `done` holds or `timeoutMs` passes.
bool iterateUntil(const std::function<bool()>& done, int timeoutMs = 5000);

}  // namespace zorv::testing

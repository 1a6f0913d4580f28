// The accessibility bus connection across a restart of the bus (a restarted
// bus hands out the same unique names again, to other processes), and the
// permission check against the bus and the accessibility switch.

#include "linux/atspi/atspi_bus.h"

#include <gmock/gmock.h>

#include <optional>
#include <string>

#include "linux/atspi/atspi_element.h"
#include "linux/atspi/atspi_observer.h"
#include "linux/atspi_accessibility.h"
#include "linux/atspi_workspace.h"
#include "linux/glib_dispatch.h"
#include "linux/private_bus.h"

namespace zorv::linux_desktop {
namespace {

using testing::nameHasOwner;
using testing::PrivateBus;

constexpr port::StatusCode kInvalidUIElement = -25202;
constexpr port::StatusCode kUnsupported = -25205;

// org.a11y.Bus on the session bus: GetAddress answers what the test sets, and
// the org.a11y.Status switch is unreadable until set.
class AccessibilityBusLauncher : public testing::MockService {
 public:
  explicit AccessibilityBusLauncher(const PrivateBus& session)
      : MockService(session.address(), false, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus") {
    control("AddMethod", g_variant_new("(sssss)", "", "GetAddress", "", "s", "ret = self.address"));
    control("AddMethod",
            g_variant_new("(sssss)", "org.freedesktop.DBus.Mock", "Run", "s", "", "exec(args[0])"));
  }
  void setAddress(const std::string& address) { run("self.address = '" + address + "'"); }
  void setEnabled(std::optional<bool> on) {
    run(!on ? "self.props.pop('org.a11y.Status', None)"
            : "self.props['org.a11y.Status'] = {'IsEnabled': dbus.Boolean(" +
                  std::string(*on ? "True" : "False") + ")}");
  }

 private:
  void run(const std::string& code) {
    EXPECT_EQ(control("Run", g_variant_new("(s)", code.c_str())), "()") << code;
  }
};

// The switch as a client on `connection` sees it, after what that client sent before.
std::optional<bool> enabledSeenBy(GDBusConnection* connection) {
  GVariant* reply = g_dbus_connection_call_sync(
      connection, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", "org.a11y.Status", "IsEnabled"), G_VARIANT_TYPE("(v)"),
      G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
  if (!reply) return std::nullopt;
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  const bool on = g_variant_get_boolean(value);
  g_variant_unref(value);
  g_variant_unref(reply);
  return on;
}

// Another process on a bus, so that a unique name is taken: a mock D-Bus
// service, which answers calls to methods it does not have with an error.
std::unique_ptr<testing::TestProcess> peer(const std::string& address,
                                           const std::string& name = "org.zorv.Peer") {
  return std::make_unique<testing::TestProcess>(
      std::vector<std::string>{"/usr/bin/python3", "-m", "dbusmock", "--session", name, "/peer",
                               "org.zorv.Peer"},
      std::map<std::string, std::string>{{"DBUS_SESSION_BUS_ADDRESS", address}});
}

// The peer named `name` sends an AT-SPI window event (Activate, Deactivate).
void emitWindowEvent(GDBusConnection* bus, const std::string& name, const char* member) {
  GVariant* args[] = {g_variant_new_variant(g_variant_new_string("")),
                      g_variant_new_variant(g_variant_new_int32(0)),
                      g_variant_new_variant(g_variant_new_int32(0)),
                      g_variant_new_variant(g_variant_new_variant(g_variant_new_int32(0))),
                      g_variant_new_variant(g_variant_new("a{sv}", nullptr))};
  GVariant* reply = g_dbus_connection_call_sync(
      bus, name.c_str(), "/peer", "org.freedesktop.DBus.Mock", "EmitSignal",
      g_variant_new("(sss@av)", "org.a11y.atspi.Event.Window", member, "siiva{sv}",
                    g_variant_new_array(G_VARIANT_TYPE_VARIANT, args, 5)),
      nullptr, G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
  ASSERT_TRUE(reply);
  g_variant_unref(reply);
}

port::StatusCode getRole(AtspiBus& bus, const AtspiRef& ref) {
  return bus
      .call(ref, "org.a11y.atspi.Accessible", "GetRole", nullptr, G_VARIANT_TYPE("(u)"), 2000,
            kUnsupported)
      .code;
}

TEST(AtspiBus, AnObjectOfABusThatWasStartedAgainIsGoneNotAnotherProcesss) {
  PrivateBus session;
  AccessibilityBusLauncher launcher(session);
  std::optional<PrivateBus> accessibility(std::in_place);
  launcher.setAddress(accessibility->address());

  GDBusConnection* sessionClient = session.connect();
  AtspiBus bus(sessionClient);
  ASSERT_TRUE(bus.connect());
  // The helper is the bus's first client (:1.0); the peer is the second.
  auto first = peer(accessibility->address());
  ASSERT_TRUE(
      zorv::testing::iterateUntil([&] { return nameHasOwner(bus.connection(), "org.zorv.Peer"); }));
  ASSERT_TRUE(nameHasOwner(bus.connection(), ":1.1"));
  const AtspiRef remembered = bus.object(":1.1", "/org/a11y/atspi/accessible/1");
  EXPECT_EQ(getRole(bus, remembered), kUnsupported);  // reached the peer
  // An object named by an event of the peer is remembered the same way.
  std::optional<AtspiRef> observed;
  auto observer = std::make_unique<AtspiObserver>(
      bus, bus.connection(), nullptr, nullptr, bus.object(":1.1", kRootPath), 1, false,
      [](const port::ElementRef&, const std::string&, void*,
         const std::optional<port::Dictionary>&) {},
      [](const std::optional<std::string>&) { return std::nullopt; },
      [&](const AtspiRef& ref) { return observed = ref, AtspiElement::object(ref); });
  ASSERT_EQ(observer->addNotification(AtspiElement::application(1), "AXWindowCreated", nullptr), 0);
  observer->addRunLoopSource();
  GVariant* emitted = g_dbus_connection_call_sync(
      bus.connection(), ":1.1", "/peer", "org.freedesktop.DBus.Mock", "EmitSignal",
      g_variant_new("(sss@av)", "org.a11y.atspi.Event.Window", "Create", "",
                    g_variant_new_array(G_VARIANT_TYPE_VARIANT, nullptr, 0)),
      nullptr, G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
  ASSERT_TRUE(emitted);
  g_variant_unref(emitted);
  ASSERT_TRUE(zorv::testing::iterateUntil([&] { return observed.has_value(); }));
  observer.reset();

  // The bus dies and is started again; the same unique name now belongs to
  // another process.
  first.reset();
  accessibility.reset();
  ASSERT_TRUE(
      zorv::testing::iterateUntil([&] { return g_dbus_connection_is_closed(bus.connection()); }));
  accessibility.emplace();
  launcher.setAddress(accessibility->address());
  ASSERT_TRUE(bus.connect());
  auto second = peer(accessibility->address());
  ASSERT_TRUE(
      zorv::testing::iterateUntil([&] { return nameHasOwner(bus.connection(), "org.zorv.Peer"); }));
  ASSERT_TRUE(nameHasOwner(bus.connection(), ":1.1"));

  for (const auto& ref : {remembered, *observed}) EXPECT_EQ(getRole(bus, ref), kInvalidUIElement);
  EXPECT_NE(remembered, bus.object(":1.1", remembered.path));
  EXPECT_EQ(getRole(bus, bus.object(":1.1", remembered.path)), kUnsupported);
  // Well-known names mean the same on every connection.
  EXPECT_NE(getRole(bus, {"org.freedesktop.DBus", "/org/freedesktop/DBus"}), kInvalidUIElement);
  g_object_unref(sessionClient);
}

// What the port reads is kept for the work in progress only: once the main
// loop is back, or once an item was pressed, a changed title is read afresh.
TEST(AtspiAccessibility, NothingReadOutlivesTheWorkItemOrAPress) {
  PrivateBus session;
  AccessibilityBusLauncher launcher(session);
  PrivateBus accessibility;
  launcher.setAddress(accessibility.address());
  auto app = peer(accessibility.address());
  GDBusConnection* control = accessibility.connect();
  ASSERT_TRUE(zorv::testing::iterateUntil([&] { return nameHasOwner(control, "org.zorv.Peer"); }));
  auto mock = [&](const char* interface, const char* method, GVariant* parameters) {
    GVariant* reply = g_dbus_connection_call_sync(control, "org.zorv.Peer", "/peer", interface,
                                                  method, parameters, nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
    ASSERT_TRUE(reply) << method;
    g_variant_unref(reply);
  };
  const char* accessible = "org.a11y.atspi.Accessible";
  mock("org.freedesktop.DBus.Mock", "AddProperty",
       g_variant_new("(ssv)", accessible, "Name", g_variant_new_string("Open")));
  mock("org.freedesktop.DBus.Mock", "AddMethod",
       g_variant_new("(sssss)", accessible, "GetState", "", "au",
                     "ret = [dbus.UInt32((1 << 8) | (1 << 24)), dbus.UInt32(0)]"));
  mock("org.freedesktop.DBus.Mock", "AddMethod",
       g_variant_new("(sssss)", "org.a11y.atspi.Action", "DoAction", "i", "b", "ret = True"));
  auto rename = [&](const char* title) {
    mock("org.freedesktop.DBus.Properties", "Set",
         g_variant_new("(ssv)", accessible, "Name", g_variant_new_string(title)));
  };

  GDBusConnection* client = session.connect();
  AtspiAccessibility ax(client, nullptr, nullptr);
  const auto item = AtspiElement::object({"org.zorv.Peer", "/peer", 0});
  auto title = [&] { return *ax.copyAttributeValue(item, "AXTitle").value.get<std::string>(); };
  EXPECT_EQ(title(), "Open");
  rename("Open Recent");
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
  EXPECT_EQ(title(), "Open Recent");
  rename("Close");
  ASSERT_EQ(ax.performAction(item, "AXPress"), 0);
  EXPECT_EQ(title(), "Close");
  g_object_unref(client);
  g_object_unref(control);
}

// Without an X window manager an application is activated when a window of
// its process is activated and stays so: a detour through another application
// shorter than the settle time is none, nor is a window deactivated and
// activated again, nor a window of the compositor. Once the accessibility bus
// has been started again, activations are heard there.
TEST(AtspiWorkspace, OnlyAnActivationThatHoldsOfAnotherProcessSwitchesApplications) {
  PrivateBus session;
  AccessibilityBusLauncher launcher(session);
  std::optional<PrivateBus> accessibility(std::in_place);
  launcher.setAddress(accessibility->address());
  GDBusConnection* bus = accessibility->connect();
  std::map<std::string, port::Pid> pids;
  std::vector<std::unique_ptr<testing::TestProcess>> peers;
  const auto start = [&](const std::string& name) {
    peers.push_back(peer(accessibility->address(), name));
    ASSERT_TRUE(zorv::testing::iterateUntil([&] { return nameHasOwner(bus, name); }));
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "GetConnectionUnixProcessID", g_variant_new("(s)", name.c_str()), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
    ASSERT_TRUE(reply);
    guint32 pid = 0;
    g_variant_get(reply, "(u)", &pid);
    g_variant_unref(reply);
    pids[name] = static_cast<port::Pid>(pid);
  };
  for (const char* name : {"org.zorv.A", "org.zorv.B", "org.zorv.Compositor"}) start(name);
  GDBusConnection* client = session.connect();
  GlibDispatch dispatch;
  std::vector<port::Pid> activated;
  {
    AtspiWorkspace workspace(client, dispatch, pids["org.zorv.Compositor"]);
    workspace.addObserver(&activated, port::kWorkspaceDidActivateApplicationNotification,
                          [&](const port::Notification& n) {
                            const auto& app = std::get<port::RunningApplicationRef>(
                                n.userInfo->at(port::kWorkspaceApplicationKey));
                            activated.push_back(app->processIdentifier());
                          });
    const auto settle = [&] {
      zorv::testing::iterateUntil([] { return false; }, 4 * AtspiWorkspace::kSettleTime.count());
    };
    emitWindowEvent(bus, "org.zorv.A", "Activate");
    settle();
    emitWindowEvent(bus, "org.zorv.B", "Activate");
    emitWindowEvent(bus, "org.zorv.A", "Activate");
    settle();
    emitWindowEvent(bus, "org.zorv.A", "Deactivate");
    emitWindowEvent(bus, "org.zorv.A", "Activate");
    emitWindowEvent(bus, "org.zorv.Compositor", "Activate");
    settle();
    emitWindowEvent(bus, "org.zorv.B", "Activate");
    settle();

    peers.clear();
    g_object_unref(bus);
    accessibility.emplace();
    launcher.setAddress(accessibility->address());
    bus = accessibility->connect();
    start("org.zorv.C");
    for (int attempt = 0; attempt < 20 && activated.size() < 3; ++attempt) {
      emitWindowEvent(bus, "org.zorv.C", "Activate");
      settle();
    }
  }
  EXPECT_THAT(activated,
              ::testing::ElementsAre(pids["org.zorv.A"], pids["org.zorv.B"], pids["org.zorv.C"]));
  g_object_unref(client);
  g_object_unref(bus);
}

// The permission: the check at start-up (with the prompt) switches
// accessibility on; a later one only reads, and says no only when that same
// launcher has been switched off since, not when the bus is out of reach or a
// launcher started since has its own default.
struct PermissionCase {
  const char* name;
  bool reachable;
  std::optional<bool> enabled;  // none: unreadable
  bool newLauncher;
  bool trusted;
};

class Permission : public ::testing::TestWithParam<PermissionCase> {};

TEST_P(Permission, AfterStartUpOnlyASwitchedOffLauncherTakesItAway) {
  const auto& c = GetParam();
  PrivateBus session;
  std::optional<AccessibilityBusLauncher> launcher(std::in_place, session);
  std::optional<PrivateBus> accessibility(std::in_place);
  launcher->setAddress(accessibility->address());
  launcher->setEnabled(false);
  GDBusConnection* client = session.connect();
  AtspiAccessibility ax(client, nullptr, nullptr);
  int untrusted = 0;
  ax.setUntrustedHandler([&] { ++untrusted; });
  ASSERT_TRUE(ax.isProcessTrustedWithOptions(true));
  ASSERT_EQ(enabledSeenBy(client), true);

  if (!c.reachable) {
    GDBusConnection* probe = accessibility->connect();
    accessibility.reset();
    launcher->setAddress("unix:path=/nonexistent/a11y");
    ASSERT_TRUE(zorv::testing::iterateUntil([&] { return g_dbus_connection_is_closed(probe); }));
    g_object_unref(probe);
  }
  if (c.newLauncher) {
    launcher.reset();
    launcher.emplace(session);
    launcher->setAddress(accessibility->address());
  }
  launcher->setEnabled(c.enabled);
  if (c.newLauncher) {
    ASSERT_TRUE(zorv::testing::iterateUntil([&] { return enabledSeenBy(client).has_value(); }));
  }
  EXPECT_EQ(ax.isProcessTrustedWithOptions(false), c.trusted);
  EXPECT_EQ(untrusted, c.trusted ? 0 : 1);
  EXPECT_EQ(enabledSeenBy(client), c.enabled);  // not switched on again
  g_object_unref(client);
}

INSTANTIATE_TEST_SUITE_P(
    AtspiAccessibility, Permission,
    ::testing::Values(PermissionCase{"BusOutOfReach", false, true, false, true},
                      PermissionCase{"SwitchUnreadable", false, std::nullopt, false, true},
                      PermissionCase{"SwitchedOff", true, false, false, false},
                      PermissionCase{"NewLauncherWithItsOwnDefault", true, false, true, true}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace zorv::linux_desktop

// Requests as D-Bus signals on a real (private) message bus.

#include <gmock/gmock.h>

#include <sys/wait.h>

#include "linux/dbus_distributed_center.h"
#include "linux/private_bus.h"

namespace zorv::testing {
namespace {

using linux_desktop::DBusDistributedCenter;

constexpr const char* kInterface = "name.pemu.zorv.notification_names";
constexpr const char* kMember = "helper_action_event";
constexpr const char* kName = "name.pemu.zorv.notification_names.helper_action_event";

class DistributedCenterOnDBus : public ::testing::Test {
 protected:
  PrivateBus bus;
  GDBusConnection* helperSide = bus.connect();
  GDBusConnection* sender = bus.connect();
  DBusDistributedCenter center{helperSide};
  std::vector<port::Notification> received;
  int token = 0;

  void SetUp() override {
    ASSERT_TRUE(helperSide);
    ASSERT_TRUE(sender);
    center.addObserver(&token, kName, port::SuspensionBehavior::deliverImmediately,
                       [this](const port::Notification& n) { received.push_back(n); });
    subscribed();
  }
  // A subscription's match rule reaches the bus asynchronously; a round trip on
  // the same connection guarantees it is in place.
  void subscribed() {
    g_dbus_connection_flush_sync(helperSide, nullptr, nullptr);
    GVariant* r = g_dbus_connection_call_sync(
        helperSide, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "GetId", nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    if (r) g_variant_unref(r);
  }
  void TearDown() override {
    g_object_unref(sender);
    g_object_unref(helperSide);
  }

  void emit(const char* path, const char* interface, const char* member, GVariant* args) {
    ASSERT_TRUE(
        g_dbus_connection_emit_signal(sender, nullptr, path, interface, member, args, nullptr));
    g_dbus_connection_flush_sync(sender, nullptr, nullptr);
  }
};

// Of one sender's signals, those of the request's member and interface are
// requests, in the order sent; the first string argument is the object.
TEST_F(DistributedCenterOnDBus, RequestsArriveInOrderWithTheFirstStringAsObject) {
  emit("/name/pemu/zorv", kInterface, kMember, g_variant_new("(s)", "{\"sleep\":{}}"));
  emit("/any/other/path", kInterface, kMember, g_variant_new("(ss)", "first", "second"));
  emit("/name/pemu/zorv", kInterface, kMember, nullptr);
  emit("/name/pemu/zorv", kInterface, kMember, g_variant_new("(i)", 42));
  emit("/name/pemu/zorv", kInterface, kMember, g_variant_new("(is)", 1, "late string"));
  emit("/name/pemu/zorv", kInterface, "other_event", g_variant_new("(s)", "x"));
  emit("/name/pemu/zorv", "name.pemu.zorv.other", kMember, g_variant_new("(s)", "y"));
  for (int i = 0; i < 200; ++i) {
    emit("/name/pemu/zorv", kInterface, kMember, g_variant_new("(s)", std::to_string(i).c_str()));
  }
  ASSERT_TRUE(iterateUntil([&] { return received.size() == 205; })) << received.size();
  EXPECT_EQ(received[0].name, kName);
  EXPECT_EQ(std::get<std::string>(*received[0].object), "{\"sleep\":{}}");
  EXPECT_EQ(std::get<std::string>(*received[1].object), "first");
  EXPECT_FALSE(received[2].object.has_value());
  for (int i : {3, 4}) {
    ASSERT_TRUE(received[i].object.has_value());
    EXPECT_TRUE(std::holds_alternative<port::OpaqueObject>(*received[i].object));
  }
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(std::get<std::string>(*received[5 + i].object), std::to_string(i));
  }
}

TEST_F(DistributedCenterOnDBus, RemovingAnObserverStopsItsDeliveryOnly) {
  std::vector<port::Notification> kept;
  int other = 0;
  center.addObserver(&other, kName, port::SuspensionBehavior::deliverImmediately,
                     [&](const port::Notification& n) { kept.push_back(n); });
  subscribed();
  center.removeObserver(&token);
  emit("/name/pemu/zorv", kInterface, kMember, g_variant_new("(s)", "late"));
  // The signal arrived: the observer still registered has it.
  ASSERT_TRUE(iterateUntil([&] { return kept.size() == 1; }));
  iterateUntil([] { return false; }, 100);
  EXPECT_TRUE(received.empty());
}

// The sender's own path onto the bus: what zorv-send broadcasts is a request.
TEST_F(DistributedCenterOnDBus, ZorvSendBroadcastsTheRequest) {
  const gchar* argv[] = {ZORV_TEST_SEND, "switchInputMethod", "de", nullptr};
  gchar** env =
      g_environ_setenv(g_get_environ(), "DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), TRUE);
  gint status = -1;
  const bool ran = g_spawn_sync(nullptr, const_cast<gchar**>(argv), env, G_SPAWN_DEFAULT, nullptr,
                                nullptr, nullptr, nullptr, &status, nullptr);
  g_strfreev(env);
  ASSERT_TRUE(ran);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ASSERT_TRUE(iterateUntil([&] { return received.size() == 1; }));
  EXPECT_EQ(received[0].name, kName);
  EXPECT_EQ(std::get<std::string>(*received[0].object),
            R"({"switchInputMethod":{"inputSourceID":"de"}})");
}

}  // namespace
}  // namespace zorv::testing

// The X connection when the server goes away: calls fail instead of ending the
// process, and the owner hears of the loss once, on the main context.

// GoogleTest before Xlib, whose macros (None, Bool) would break it.
#include <gmock/gmock.h>

#include "linux/x11_display.h"

#include <signal.h>
#include <sys/wait.h>

#include <stdexcept>
#include <string>

#include "linux/private_bus.h"

namespace zorv::linux_desktop {
namespace {

// A private Xvfb on a display number of its own choosing.
class PrivateXServer {
 public:
  PrivateXServer() {
    const gchar* argv[] = {"Xvfb", "-displayfd", "1", "-nolisten", "tcp", nullptr};
    gint out = -1;
    if (!g_spawn_async_with_pipes(
            nullptr, const_cast<gchar**>(argv), nullptr,
            static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                     G_SPAWN_STDERR_TO_DEV_NULL),
            nullptr, nullptr, &pid_, nullptr, &out, nullptr, nullptr)) {
      throw std::runtime_error("cannot start Xvfb");
    }
    // It writes its display number once it accepts clients.
    GIOChannel* channel = g_io_channel_unix_new(out);
    g_io_channel_set_close_on_unref(channel, TRUE);
    gchar* line = nullptr;
    g_io_channel_read_line(channel, &line, nullptr, nullptr, nullptr);
    g_io_channel_unref(channel);
    if (!line) throw std::runtime_error("Xvfb printed no display");
    name_ = std::string(":") + g_strstrip(line);
    g_free(line);
  }
  ~PrivateXServer() { stop(); }
  const char* name() const { return name_.c_str(); }
  void stop() {
    if (pid_ == 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    g_spawn_close_pid(pid_);
    pid_ = 0;
  }

 private:
  GPid pid_ = 0;
  std::string name_;
};

TEST(X11Display, ACallOnAClosedConnectionFailsAndTheLossIsReportedOnce) {
  PrivateXServer server;
  auto display = X11Display::open(server.name());
  ASSERT_TRUE(display);
  int losses = 0;
  display->setConnectionLostHandler([&] { ++losses; });
  ASSERT_TRUE(display->cardinalListProperty(display->root(), "_NET_CLIENT_LIST").empty());
  server.stop();

  // Xlib's default would end the process inside this call.
  EXPECT_FALSE(display->stringProperty(display->root(), "WM_NAME"));
  EXPECT_TRUE(display->connectionLost());
  EXPECT_EQ(losses, 0) << "reported inside the call";
  EXPECT_TRUE(testing::iterateUntil([&] { return losses > 0; }));
  EXPECT_FALSE(display->cardinalProperty(display->root(), "_NET_ACTIVE_WINDOW"));
  testing::iterateUntil([] { return false; }, 100);
  EXPECT_EQ(losses, 1);
}

}  // namespace
}  // namespace zorv::linux_desktop

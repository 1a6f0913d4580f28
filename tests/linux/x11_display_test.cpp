// The X connection when the server goes away: calls fail instead of ending the
// process, and the owner hears of the loss once, on the main context.

// GoogleTest before Xlib, whose macros (None, Bool) would break it.
#include <gmock/gmock.h>

#include "linux/x11/x11_display.h"

#include "linux/private_bus.h"

namespace zorv::linux_desktop {
namespace {

TEST(X11Display, ACallOnAClosedConnectionFailsAndTheLossIsReportedOnce) {
  testing::PrivateXServer server;
  auto display = X11Display::open(server.name().c_str());
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

// The two user-facing reporters.

#include <gmock/gmock.h>

#include "desktop/memory_desktop.h"
#include "helper/reporters.h"

namespace zorv::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class Reporters : public ::testing::Test {
 protected:
  MemoryDesktop desktop;
  helper::Reporter reporter{desktop.platform()};
};

TEST_F(Reporters, ANotificationAsksForAuthorizationThenAddsARequest) {
  reporter.postUserNotification("Failed to execute file", "No such file");
  // Nothing is added before the authorization answer arrives on its queue.
  EXPECT_THAT(desktop.userNotifications.delivered, IsEmpty());
  EXPECT_THAT(desktop.userNotifications.authorizationRequests, ElementsAre(70u));
  desktop.settle();
  ASSERT_EQ(desktop.userNotifications.delivered.size(), 1u);
  const auto& request = desktop.userNotifications.delivered[0];
  EXPECT_EQ(request.content.title, "Failed to execute file");
  EXPECT_EQ(request.content.subtitle, "No such file");
  EXPECT_TRUE(request.content.defaultSound);
  EXPECT_EQ(request.identifier.size(), 36u);
}

// Also when the authorization is refused.
TEST_F(Reporters, IdenticalReportsAreSeparateNotifications) {
  desktop.userNotifications.grantAuthorization = false;
  reporter.postUserNotification("same", "text");
  reporter.postUserNotification("same", "text");
  desktop.settle();
  ASSERT_EQ(desktop.userNotifications.delivered.size(), 2u);
  EXPECT_NE(desktop.userNotifications.delivered[0].identifier,
            desktop.userNotifications.delivered[1].identifier);
  EXPECT_THAT(desktop.userNotifications.authorizationRequests, ElementsAre(70u, 70u));
}

}  // namespace
}  // namespace zorv::testing

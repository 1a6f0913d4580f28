// Alerts load their dialog module on first use; when it is missing, broken, or
// GTK cannot start, the alert's texts reach standard error and the helper goes on.

#include "linux/gtk_alerts.h"

#include <glib.h>
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "linux/private_bus.h"

namespace zorv::linux_desktop {
namespace {

using ::testing::HasSubstr;

const port::Alert kAlert{port::AlertStyle::critical,
                         "Unrecognized action",
                         "You may need to upgrade the helper.",
                         {"Cancel"}};

TEST(GtkAlerts, WithoutTheModuleTheTextsGoToStandardError) {
  zorv::testing::ScratchDir empty;
  GtkAlerts alerts({empty.path().string()});
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(alerts.runModal(kAlert), -1);
  EXPECT_EQ(alerts.runModal(kAlert), -1);
  const std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_THAT(printed, HasSubstr("no zorv-gtk-alerts.so"));
  EXPECT_THAT(printed,
              HasSubstr("alert: Unrecognized action\n  You may need to upgrade the helper."));
}

TEST(GtkAlerts, ABrokenModuleIsReportedOnceAndPassedOver) {
  zorv::testing::ScratchDir broken;
  std::ofstream(broken.path() / GtkAlerts::kModuleFileName) << "not a shared object";
  GtkAlerts alerts({broken.path().string()});
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(alerts.runModal(kAlert), -1);
  EXPECT_EQ(alerts.runModal(kAlert), -1);
  const std::string printed = ::testing::internal::GetCapturedStderr();
  const auto first = printed.find("cannot load the alert dialogs:");
  ASSERT_NE(first, std::string::npos) << printed;
  EXPECT_EQ(printed.find("cannot load the alert dialogs:", first + 1), std::string::npos);
  EXPECT_THAT(printed, HasSubstr("alert: Unrecognized action"));
}

TEST(GtkAlerts, WithoutADisplayTheModuleLoadsAndTheTextsGoToStandardError) {
  zorv::testing::ScopedVariable noDisplay("DISPLAY", std::nullopt);
  zorv::testing::ScopedVariable noWayland("WAYLAND_DISPLAY", std::nullopt);
  GtkAlerts alerts({ZORV_TEST_ALERTS_MODULE_DIR});
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(alerts.runModal(kAlert), -1);
  const std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_THAT(printed, Not(HasSubstr("cannot load")));
  EXPECT_THAT(printed, HasSubstr("alert: Unrecognized action"));
}

}  // namespace
}  // namespace zorv::linux_desktop

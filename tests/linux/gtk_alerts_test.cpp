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

// Missing or broken, the module is reported once; every alert's texts are printed.
TEST(GtkAlerts, WithoutAWorkingModuleTheTextsGoToStandardError) {
  zorv::testing::ScratchDir empty;
  zorv::testing::ScratchDir broken;
  std::ofstream(broken.path() / GtkAlerts::kModuleFileName) << "not a shared object";
  for (const auto& [dir, report] : {std::pair{empty.path(), "no zorv-gtk-alerts.so"},
                                    std::pair{broken.path(), "cannot load the alert dialogs:"}}) {
    GtkAlerts alerts({dir.string()});
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(alerts.runModal(kAlert), -1);
    EXPECT_EQ(alerts.runModal(kAlert), -1);
    const std::string printed = ::testing::internal::GetCapturedStderr();
    const auto first = printed.find(report);
    ASSERT_NE(first, std::string::npos) << printed;
    EXPECT_EQ(printed.find(report, first + 1), std::string::npos) << printed;
    const std::string texts = "alert: Unrecognized action\n  You may need to upgrade the helper.";
    EXPECT_NE(printed.find(texts, printed.find(texts) + 1), std::string::npos) << printed;
  }
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

// Choosing the kind of session at start-up, and sway's IPC: the layouts of
// the session's keyboard, their setxkbmap names, the window to focus, and
// activations from its focus events.

#include <gmock/gmock.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <thread>

#include "linux/desktop_session.h"
#include "linux/glib_dispatch.h"
#include "linux/gnome/gnome_input_sources.h"
#include "linux/private_bus.h"
#include "linux/sway/sway_input_sources.h"
#include "linux/sway/sway_session.h"

namespace zorv::linux_desktop {
namespace {

using nlohmann::json;

struct KindCase {
  bool wayland, waylandAnswers, sway, swayAnswers, x, xAnswers;
  SessionKind expected;
  const char* desktop = nullptr;  // XDG_CURRENT_DESKTOP
  bool mutterAnswers = false;
  bool kwinAnswers = false;
};

void PrintTo(const KindCase& c, std::ostream* out) {
  // What is set and what answers, in the order of the fields: "110011".
  for (bool b : {c.wayland, c.waylandAnswers, c.sway, c.swayAnswers, c.x, c.xAnswers}) *out << b;
  *out << " " << (c.desktop ? c.desktop : "-") << " -> " << sessionKindName(c.expected);
}

class SessionKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(SessionKinds, TheAnsweringCompositorDecides) {
  const auto& c = GetParam();
  SessionProbe probe;
  if (c.wayland) probe.waylandDisplay = "wayland-1";
  if (c.sway) probe.swaySocket = "/run/sway.sock";
  if (c.x) probe.display = ":0";
  probe.waylandAnswers = [&] { return c.waylandAnswers; };
  probe.swayAnswers = [&] { return c.swayAnswers; };
  probe.xAnswers = [&] { return c.xAnswers; };
  if (c.desktop) probe.currentDesktop = c.desktop;
  probe.mutterAnswers = [&] { return c.mutterAnswers; };
  probe.kwinAnswers = [&] { return c.kwinAnswers; };
  EXPECT_EQ(chooseSessionKind(probe), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SessionKinds,
    ::testing::Values(
        KindCase{true, true, true, true, true, true, SessionKind::sway},
        KindCase{true, true, true, false, true, true, SessionKind::wayland},
        KindCase{true, true, false, true, false, false, SessionKind::wayland},
        KindCase{true, false, true, true, true, true, SessionKind::x11},
        KindCase{false, true, true, true, true, true, SessionKind::x11},
        KindCase{false, false, false, false, true, false, SessionKind::none},
        KindCase{true, true, false, false, true, true, SessionKind::gnome, "ubuntu:GNOME", true},
        KindCase{true, true, false, false, true, true, SessionKind::wayland, "GNOME", false, true},
        KindCase{true, true, false, false, true, true, SessionKind::wayland, "KDE", true},
        // KDE as one whole entry of the colon-separated list, and KWin answering.
        KindCase{true, true, false, false, true, true, SessionKind::kde, "ubuntu:KDE", false, true},
        KindCase{true, true, false, false, true, true, SessionKind::wayland, "KDEX:XKDE", false,
                 true}));

TEST(GnomeSources, XkbLayoutsAreNamedAsOnXAndOthersByType) {
  EXPECT_EQ(gnomeSourceId("xkb", "us"), "us");
  EXPECT_EQ(gnomeSourceId("xkb", "de+nodeadkeys"), "de(nodeadkeys)");
  EXPECT_EQ(gnomeSourceId("ibus", "anthy"), "ibus:anthy");
}

TEST(SwayLayouts, NamesComeFromTheRulesAndTheRealKeyboardWinsOverVirtualOnes) {
  const auto ids = layoutIdsByDescription(R"x(<xkbConfigRegistry><layoutList>
    <layout><configItem><name>us</name><description>English (US)</description></configItem>
      <variantList><variant><configItem><name>intl</name>
        <description>English (US, intl.)</description></configItem></variant></variantList>
    </layout>
    <layout><configItem><name>de</name><description>German</description></configItem></layout>
    </layoutList></xkbConfigRegistry>)x");
  EXPECT_THAT(ids,
              ::testing::UnorderedElementsAre(::testing::Pair("English (US)", "us"),
                                              ::testing::Pair("English (US, intl.)", "us(intl)"),
                                              ::testing::Pair("German", "de")));
  const auto layouts = sessionKeyboardLayouts(json::parse(R"x([
    {"type": "pointer", "identifier": "1:1:mouse"},
    {"type": "keyboard", "identifier": "0:0:virtual_keyboard",
     "xkb_layout_names": ["English (US)"], "xkb_active_layout_index": 0},
    {"type": "keyboard", "identifier": "1:1:AT_keyboard",
     "xkb_layout_names": ["English (US)", "German"], "xkb_active_layout_index": 1}])x"));
  ASSERT_TRUE(layouts);
  EXPECT_THAT(layouts->names, ::testing::ElementsAre("English (US)", "German"));
  EXPECT_EQ(layouts->active, 1u);
}

// Children in their focus order: the window of the process focused last.
TEST(SwayTree, TheMostRecentlyFocusedWindowOfTheProcessOrTheOneWithTheTitle) {
  const auto tree = json::parse(R"({"id": 1, "focus": [3, 2], "nodes": [
    {"id": 2, "focus": [], "nodes": [
      {"id": 20, "pid": 7, "app_id": "a", "name": "One", "nodes": []}]},
    {"id": 3, "focus": [31, 30], "nodes": [
      {"id": 30, "pid": 7, "app_id": "a", "name": "Two", "nodes": []},
      {"id": 31, "pid": 8, "app_id": "b", "name": "Other", "nodes": []}]}]})");
  EXPECT_EQ(swayWindowOf(tree, 7), 30);
  EXPECT_EQ(swayWindowOf(tree, 7, "One"), 20);
  EXPECT_EQ(swayWindowOf(tree, 9), std::nullopt);
}

// sway's end of its IPC socket: get_tree answers `tree`, a subscription is
// accepted, and window focus events go out on it.
class FakeSway {
 public:
  explicit FakeSway(json tree) : tree_(std::move(tree)) {
    sockaddr_un address{AF_UNIX, {}};
    std::snprintf(address.sun_path, sizeof address.sun_path, "/tmp/zorv-sway-%d", getpid());
    path_ = address.sun_path;
    bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    listen(listener_, 4);
    thread_ = std::thread([this] {
      for (int fd; (fd = accept(listener_, nullptr, nullptr)) >= 0;) {
        char head[14];
        std::uint32_t header[2] = {};
        recv(fd, head, sizeof head, MSG_WAITALL);
        std::memcpy(header, head + 6, sizeof header);
        std::string body(header[0], '\0');
        if (!body.empty()) recv(fd, body.data(), body.size(), MSG_WAITALL);
        send(fd, header[1], header[1] == 2 ? json{{"success", true}} : tree_);
        if (header[1] == 2)
          subscribed_ = fd;
        else
          close(fd);
      }
    });
  }
  ~FakeSway() {
    shutdown(listener_, SHUT_RDWR);
    thread_.join();
    close(listener_);
    close(subscribed_);
    unlink(path_.c_str());
  }
  const std::string& path() const { return path_; }
  void focus(port::Pid pid) {
    send(subscribed_, SwayIpc::kWindowEvent,
         {{"change", "focus"}, {"container", {{"pid", pid}, {"name", "w"}}}});
  }

 private:
  static void send(int fd, std::uint32_t type, const json& payload) {
    const auto text = payload.dump();
    std::string message = "i3-ipc";
    const std::uint32_t header[2] = {static_cast<std::uint32_t>(text.size()), type};
    message.append(reinterpret_cast<const char*>(header), sizeof header);
    message += text;
    ::send(fd, message.data(), message.size(), MSG_NOSIGNAL);
  }
  json tree_;
  std::string path_;
  int listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  std::atomic<int> subscribed_ = -1;
  std::thread thread_;
};

// An application is activated when a window of another process keeps the
// focus for the settle time: a detour through another application is none,
// nor a window of the compositor.
TEST(SwayWorkspace, OnlyAFocusThatHoldsOfAnotherProcessSwitchesApplications) {
  const port::Pid a = 1, compositor = getppid();
  const port::Pid b = fork();
  if (b == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    for (int fd : {1, 2}) close(fd);
    pause();
    _exit(0);
  }
  FakeSway sway(json{{"nodes", {{{"pid", a}, {"focused", true}, {"name", "A"}}}}});
  SwayIpc ipc(sway.path());
  GlibDispatch dispatch;
  SwayWindowFocus focus(ipc);
  SwayWorkspace workspace(ipc, focus, dispatch, compositor);
  ASSERT_TRUE(workspace.frontmostApplication());
  EXPECT_EQ(workspace.frontmostApplication()->processIdentifier(), a);
  std::vector<port::Pid> activated;
  workspace.addObserver(&activated, port::kWorkspaceDidActivateApplicationNotification,
                        [&](const port::Notification& n) {
                          activated.push_back(std::get<port::RunningApplicationRef>(
                                                  n.userInfo->at(port::kWorkspaceApplicationKey))
                                                  ->processIdentifier());
                        });
  for (const auto& detour : std::vector<std::vector<port::Pid>>{{b}, {a, b}, {compositor}, {a}}) {
    for (const auto pid : detour) sway.focus(pid);
    zorv::testing::iterateUntil([] { return false; }, 4 * SwayWorkspace::kSettleTime.count());
  }
  EXPECT_THAT(activated, ::testing::ElementsAre(b, a));
  kill(b, SIGKILL);
  waitpid(b, nullptr, 0);
}

}  // namespace
}  // namespace zorv::linux_desktop

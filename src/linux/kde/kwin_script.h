#pragma once
// The helper's script inside KWin, loaded once over D-Bus (org.kde.kwin.Scripting)
// and kept until the helper ends. It reports the active window when it starts
// and every activation since (the window's process and title: the session's
// focused window), and raises windows on request. Both go over the session
// bus the other way round too: the script calls the helper (callDBus) to
// report, and to ask for the next window to raise; that question stays
// unanswered until there is one (or 20 s have passed, within KWin's call
// timeout), so a switch costs one reply and one call, not a script load.
// The script speaks KWin 5's and KWin 6's scripting (activeClient or
// activeWindow, clientActivated or windowActivated).

#include <gio/gio.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "linux/window_focus.h"
#include "port/types.h"

namespace zorv::linux_desktop {

// The script's text for a helper reachable as `service` at `path`.
std::string kwinScriptText(const std::string& service, const std::string& path);

class KWinScript : public WindowFocus {
 public:
  // `bus` may be null (nothing happens).
  explicit KWinScript(GDBusConnection* bus);
  ~KWinScript() override;
  KWinScript(const KWinScript&) = delete;
  KWinScript& operator=(const KWinScript&) = delete;

  // Whether KWin loaded and ran the script.
  bool loaded() const { return id_ >= 0; }
  // Activates the window of `pid` highest in KWin's stacking order (the one
  // used most recently), or the one titled `title`; false when there is none
  // or KWin does not answer within a second.
  bool raise(port::Pid pid, const std::optional<std::string>& title);

  // The window KWin reported active last, or raised last; none before the
  // script's first report and while no window is active.
  std::optional<FocusedWindow> focusedWindow() override { return focused_; }

 private:
  struct Request {
    std::uint32_t serial;
    port::Pid pid;
    std::string title;
    bool byTitle;
  };
  static void onMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                           const gchar* method, GVariant* parameters,
                           GDBusMethodInvocation* invocation, gpointer self);
  bool load();
  void unload();
  // On the script's thread: hands the waiting request to the script's question.
  void answer();

  GDBusConnection* bus_;
  std::optional<FocusedWindow> focused_;
  std::string path_, pluginName_;
  guint reportObject_ = 0, raiseObject_ = 0;
  std::string file_;
  int id_ = -1;

  // Raising's calls are handled on a thread of their own, so that a switch can
  // wait for the script without running the main context.
  GMainContext* context_ = nullptr;
  GMainLoop* loop_ = nullptr;
  std::thread thread_;
  GDBusMethodInvocation* question_ = nullptr;  // the script's, on the thread
  GSource* keepAlive_ = nullptr;               // on the thread
  std::mutex mutex_;
  std::condition_variable answered_;
  bool started_ = false;            // the script has asked once
  std::optional<Request> request_;  // waiting to be handed over
  std::uint32_t serial_ = 0;
  std::optional<std::pair<std::uint32_t, bool>> result_;
};

}  // namespace zorv::linux_desktop

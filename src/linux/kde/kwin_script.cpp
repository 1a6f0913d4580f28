#include "linux/kde/kwin_script.h"

#include <glib/gstdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

namespace zorv::linux_desktop {
namespace {

constexpr const char* kInterface = "name.pemu.zorv.KWinScript";
constexpr int kTimeoutMs = 2000;
// Below the 25 s after which KWin gives up a call and the script stops asking.
constexpr guint kKeepAliveSeconds = 20;
constexpr auto kRaiseTimeout = std::chrono::seconds(1);
constexpr auto kStartTimeout = std::chrono::milliseconds(500);

constexpr const char* kIntrospection = R"(<node>
  <interface name="name.pemu.zorv.KWinScript">
    <method name="Activated">
      <arg type="s" name="pid" direction="in"/>
      <arg type="s" name="title" direction="in"/>
    </method>
    <method name="NextRaise">
      <arg type="u" name="serial" direction="out"/>
      <arg type="i" name="pid" direction="out"/>
      <arg type="s" name="title" direction="out"/>
      <arg type="b" name="byTitle" direction="out"/>
    </method>
    <method name="Raised">
      <arg type="s" name="serial" direction="in"/>
      <arg type="s" name="found" direction="in"/>
    </method>
  </interface>
</node>)";

// Numbers and booleans travel from the script as strings: KWin sends a
// script's numbers as doubles.
constexpr const char* kScript = R"JS(
const service = "@SERVICE@", path = "@PATH@", iface = "name.pemu.zorv.KWinScript";
// Windows in the order they were last active, the most recent last: KWin 5
// does not give scripts its stacking order.
let recent = [];
function report(window) {
  callDBus(service, path, iface, "Activated", String(window ? window.pid : 0),
           String(window ? window.caption : ""));
}
const current = workspace.activeWindow || workspace.activeClient;
if (current) recent.push(current);
report(current);
function windows() {
  const all = workspace.windowList ? workspace.windowList() : workspace.clientList();
  return all.filter(w => recent.indexOf(w) < 0).concat(recent.filter(w => all.indexOf(w) >= 0));
}
function activate(window) {
  if ("activeWindow" in workspace) workspace.activeWindow = window;
  else workspace.activeClient = window;
}
function ask() {
  callDBus(service, path + "/raise", iface, "NextRaise", function (serial, pid, title, byTitle) {
    if (pid > 0) {
      const all = windows();
      let found = null;
      for (let i = all.length - 1; i >= 0 && !found; --i) {
        if (all[i].pid === pid && (!byTitle || all[i].caption === title)) found = all[i];
      }
      if (found) activate(found);
      callDBus(service, path + "/raise", iface, "Raised", String(serial), String(found !== null));
    }
    ask();
  });
}
(workspace.windowActivated || workspace.clientActivated).connect(function (window) {
  if (window) recent = recent.filter(w => w !== window).concat([window]);
  report(window);
});
ask();
)JS";

GDBusInterfaceInfo* interfaceInfo() {
  static GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
  return node->interfaces[0];
}

void replace(std::string& text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

GVariant* callKWin(GDBusConnection* bus, const char* path, const char* interface,
                   const char* method, GVariant* parameters, const GVariantType* reply) {
  return g_dbus_connection_call_sync(bus, "org.kde.KWin", path, interface, method, parameters,
                                     reply, G_DBUS_CALL_FLAGS_NONE, kTimeoutMs, nullptr, nullptr);
}

}  // namespace

std::string kwinScriptText(const std::string& service, const std::string& path) {
  std::string text = kScript;
  replace(text, "@SERVICE@", service);
  replace(text, "@PATH@", path);
  return text;
}

KWinScript::KWinScript(GDBusConnection* bus) : bus_(bus) {
  if (!bus_) return;
  static const GDBusInterfaceVTable vtable = {onMethodCall, nullptr, nullptr, {}};
  path_ = "/name/pemu/zorv/kwin" + std::to_string(getpid());
  // One name per helper: KWin 5.27 deletes an unloaded script later, and a
  // script loaded under the same name meanwhile is not run.
  pluginName_ = "zorv-helper-" + std::to_string(getpid());
  reportObject_ = g_dbus_connection_register_object(bus_, path_.c_str(), interfaceInfo(), &vtable,
                                                    this, nullptr, nullptr);
  context_ = g_main_context_new();
  loop_ = g_main_loop_new(context_, FALSE);
  g_main_context_push_thread_default(context_);
  raiseObject_ = g_dbus_connection_register_object(
      bus_, (path_ + "/raise").c_str(), interfaceInfo(), &vtable, this, nullptr, nullptr);
  g_main_context_pop_thread_default(context_);
  thread_ = std::thread([this] {
    g_main_context_push_thread_default(context_);
    g_main_loop_run(loop_);
    if (keepAlive_) {
      g_source_destroy(keepAlive_);
      g_source_unref(keepAlive_);
    }
    if (question_) g_object_unref(question_);
    g_main_context_pop_thread_default(context_);
  });
  if (!load()) unload();
}

KWinScript::~KWinScript() {
  if (!bus_) return;
  unload();
  g_dbus_connection_unregister_object(bus_, reportObject_);
  g_dbus_connection_unregister_object(bus_, raiseObject_);
  g_main_context_invoke(
      context_,
      [](gpointer loop) {
        g_main_loop_quit(static_cast<GMainLoop*>(loop));
        return G_SOURCE_REMOVE;
      },
      loop_);
  thread_.join();
  g_main_loop_unref(loop_);
  g_main_context_unref(context_);
}

bool KWinScript::load() {
  // KWin reads the file itself, possibly as another user than the helper's:
  // a temporary file that everyone may read (it holds nothing private).
  gchar* tmpName = nullptr;
  const int fd = g_file_open_tmp("zorv-kwin-XXXXXX.js", &tmpName, nullptr);
  if (fd < 0) return false;
  file_ = tmpName;
  g_free(tmpName);
  fchmod(fd, 0644);
  const auto text = kwinScriptText(g_dbus_connection_get_unique_name(bus_), path_);
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  if (!written) return false;
  // KWin 5.27 numbers a script by how many are loaded, and keeps the D-Bus
  // object of an unloaded one: a new script that gets the number of such an
  // object is never run. Such a load is tried again under another name, the
  // failed one staying loaded (unloaded, it would hand its number out again).
  bool started = false;
  for (int attempt = 0; attempt < 4 && !started; ++attempt) {
    const auto name = pluginName_ + "-" + std::to_string(attempt);
    GVariant* loaded =
        callKWin(bus_, "/Scripting", "org.kde.kwin.Scripting", "loadScript",
                 g_variant_new("(ss)", file_.c_str(), name.c_str()), G_VARIANT_TYPE("(i)"));
    if (!loaded) break;
    int id = -1;
    g_variant_get(loaded, "(i)", &id);
    g_variant_unref(loaded);
    if (id < 0) break;
    // KWin 5 names the script's object /<id>, KWin 6 /Scripting/Script<id>.
    for (const auto& object :
         {"/" + std::to_string(id), "/Scripting/Script" + std::to_string(id)}) {
      if (GVariant* r =
              callKWin(bus_, object.c_str(), "org.kde.kwin.Script", "run", nullptr, nullptr)) {
        g_variant_unref(r);
        break;
      }
    }
    std::unique_lock lock(mutex_);
    started = answered_.wait_for(lock, kStartTimeout, [&] { return started_; });
    lock.unlock();
    if (started) {
      id_ = id;
      pluginName_ = name;
    }
  }
  return started;
}

void KWinScript::unload() {
  if (id_ >= 0) {
    if (GVariant* r = callKWin(bus_, "/Scripting", "org.kde.kwin.Scripting", "unloadScript",
                               g_variant_new("(s)", pluginName_.c_str()), G_VARIANT_TYPE("(b)"))) {
      g_variant_unref(r);
    }
    id_ = -1;
  }
  if (!file_.empty()) g_unlink(file_.c_str());
  file_.clear();
}

void KWinScript::answer() {
  std::optional<Request> request;
  {
    std::lock_guard lock(mutex_);
    if (!question_ || !request_) return;
    request = std::move(request_);
    request_.reset();
  }
  g_dbus_method_invocation_return_value(
      question_, g_variant_new("(uisb)", request->serial, request->pid, request->title.c_str(),
                               request->byTitle));
  question_ = nullptr;
}

void KWinScript::onMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                              const gchar* method, GVariant* parameters,
                              GDBusMethodInvocation* invocation, gpointer data) {
  auto* self = static_cast<KWinScript*>(data);
  const std::string name = method;
  if (name == "Activated") {
    const gchar *pid = nullptr, *title = nullptr;
    g_variant_get(parameters, "(&s&s)", &pid, &title);
    const auto value = g_ascii_strtoll(pid, nullptr, 10);
    const std::string caption = title;
    g_dbus_method_invocation_return_value(invocation, nullptr);
    if (value <= 0) {
      self->focused_.reset();  // no window is active
      return;
    }
    self->focused_ = FocusedWindow{static_cast<port::Pid>(value), caption};
    self->focused(*self->focused_);
  } else if (name == "NextRaise") {
    if (self->question_) {
      g_dbus_method_invocation_return_value(self->question_,
                                            g_variant_new("(uisb)", 0u, 0, "", FALSE));
    }
    self->question_ = invocation;
    {
      std::lock_guard lock(self->mutex_);
      self->started_ = true;
      self->answered_.notify_all();
    }
    // An unanswered question is answered empty before KWin gives up on it.
    if (self->keepAlive_) {
      g_source_destroy(self->keepAlive_);
      g_source_unref(self->keepAlive_);
    }
    self->keepAlive_ = g_timeout_source_new_seconds(kKeepAliveSeconds);
    g_source_set_callback(
        self->keepAlive_,
        [](gpointer owner) {
          auto* s = static_cast<KWinScript*>(owner);
          if (s->question_) {
            g_dbus_method_invocation_return_value(s->question_,
                                                  g_variant_new("(uisb)", 0u, 0, "", FALSE));
            s->question_ = nullptr;
          }
          g_source_unref(s->keepAlive_);
          s->keepAlive_ = nullptr;
          return G_SOURCE_REMOVE;
        },
        self, nullptr);
    g_source_attach(self->keepAlive_, self->context_);
    self->answer();
  } else if (name == "Raised") {
    const gchar *serial = nullptr, *found = nullptr;
    g_variant_get(parameters, "(&s&s)", &serial, &found);
    g_dbus_method_invocation_return_value(invocation, nullptr);
    std::lock_guard lock(self->mutex_);
    self->result_ = {static_cast<std::uint32_t>(g_ascii_strtoull(serial, nullptr, 10)),
                     std::string(found) == "true"};
    self->answered_.notify_all();
  }
}

bool KWinScript::raise(port::Pid pid, const std::optional<std::string>& title) {
  if (!loaded()) return false;
  std::uint32_t serial = 0;
  {
    std::lock_guard lock(mutex_);
    serial = ++serial_;
    request_ = Request{serial, pid, title.value_or(""), title.has_value()};
  }
  g_main_context_invoke(
      context_,
      [](gpointer self) {
        static_cast<KWinScript*>(self)->answer();
        return G_SOURCE_REMOVE;
      },
      this);
  std::unique_lock lock(mutex_);
  const bool done =
      answered_.wait_for(lock, kRaiseTimeout, [&] { return result_ && result_->first == serial; });
  // A request the script never took is withdrawn.
  if (request_ && request_->serial == serial) request_.reset();
  if (!done || !result_->second) return false;
  // KWin's report of the activation comes later on the main loop: until then
  // the raised window is taken for the focused one.
  focused_ = FocusedWindow{pid, title};
  return true;
}

}  // namespace zorv::linux_desktop

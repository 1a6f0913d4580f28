// zorv-atspi-dump: reads and drives the accessibility tree of the session named
// by the environment (DISPLAY, DBUS_SESSION_BUS_ADDRESS). Tests run it as a
// child process, so their own process never connects to a desktop.
//
//   zorv-atspi-dump [--app NAME] [--json] [--brief] [--timeout SECONDS]
//       Prints the tree of every application, or of those named NAME; with a
//       time-out, waits for such an application first.
//   zorv-atspi-dump --press APP PATH [--window TITLE] [--timeout SECONDS]
//       Presses the menu item PATH ("File/Export/PDF") of APP's menu bar (in the
//       window TITLE when given); fails on an insensitive item.
//   zorv-atspi-dump --text APP [--timeout SECONDS]
//       Prints the contents of APP's first text field.
//
// Exit status: 0 done, 1 not found or failed, 2 usage.

#include <atspi/atspi.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// An owned reference to an accessible object.
class Ref {
 public:
  Ref() = default;
  explicit Ref(AtspiAccessible* object) : object_(object) {}
  Ref(const Ref& other) : object_(other.object_) {
    if (object_ != nullptr) g_object_ref(object_);
  }
  Ref& operator=(Ref other) {
    std::swap(object_, other.object_);
    return *this;
  }
  ~Ref() {
    if (object_ != nullptr) g_object_unref(object_);
  }
  AtspiAccessible* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  AtspiAccessible* object_ = nullptr;
};

std::string take(gchar* text) {
  std::string out = text != nullptr ? text : "";
  g_free(text);
  return out;
}

void clear(GError** error) {
  if (*error != nullptr) g_clear_error(error);
}

std::string nameOf(const Ref& object) {
  GError* error = nullptr;
  std::string name = take(atspi_accessible_get_name(object.get(), &error));
  clear(&error);
  return name;
}

std::string roleOf(const Ref& object) {
  GError* error = nullptr;
  std::string role = take(atspi_accessible_get_role_name(object.get(), &error));
  clear(&error);
  return role;
}

std::vector<Ref> childrenOf(const Ref& object) {
  GError* error = nullptr;
  const gint count = atspi_accessible_get_child_count(object.get(), &error);
  clear(&error);
  std::vector<Ref> children;
  for (gint i = 0; i < count; ++i) {
    AtspiAccessible* child = atspi_accessible_get_child_at_index(object.get(), i, &error);
    clear(&error);
    if (child != nullptr) children.emplace_back(child);
  }
  return children;
}

std::vector<std::string> statesOf(const Ref& object) {
  std::vector<std::string> names;
  AtspiStateSet* set = atspi_accessible_get_state_set(object.get());
  if (set == nullptr) return names;
  GArray* states = atspi_state_set_get_states(set);
  auto* klass = static_cast<GEnumClass*>(g_type_class_ref(ATSPI_TYPE_STATE_TYPE));
  for (guint i = 0; i < states->len; ++i) {
    const GEnumValue* value = g_enum_get_value(klass, g_array_index(states, gint, i));
    if (value != nullptr) names.emplace_back(value->value_nick);
  }
  g_type_class_unref(klass);
  g_array_free(states, TRUE);
  g_object_unref(set);
  return names;
}

bool hasState(const Ref& object, AtspiStateType state) {
  AtspiStateSet* set = atspi_accessible_get_state_set(object.get());
  if (set == nullptr) return false;
  const bool result = atspi_state_set_contains(set, state) != FALSE;
  g_object_unref(set);
  return result;
}

// The first action's key binding, or nullopt without an action interface.
std::optional<std::string> keysOf(const Ref& object) {
  AtspiAction* action = atspi_accessible_get_action_iface(object.get());
  if (action == nullptr) return std::nullopt;
  GError* error = nullptr;
  std::optional<std::string> keys;
  if (atspi_action_get_n_actions(action, &error) > 0) {
    keys = take(atspi_action_get_key_binding(action, 0, &error));
  }
  clear(&error);
  g_object_unref(action);
  return keys;
}

std::vector<Ref> applications(const std::optional<std::string>& name) {
  Ref desktop(atspi_get_desktop(0));
  std::vector<Ref> apps;
  for (Ref& app : childrenOf(desktop)) {
    if (!name || nameOf(app) == *name) apps.push_back(app);
  }
  return apps;
}

// Retries `attempt` every 20 ms until it succeeds or the time-out passes.
template <typename T>
std::optional<T> retry(double timeoutSeconds, const std::function<std::optional<T>()>& attempt) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(timeoutSeconds);
  for (;;) {
    if (auto result = attempt()) return result;
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

struct DumpOptions {
  bool brief = false;
  int maxDepth = 64;
};

nlohmann::json toJson(const Ref& object, const DumpOptions& options, int depth) {
  nlohmann::json node = {{"role", roleOf(object)}, {"name", nameOf(object)}};
  if (!options.brief) {
    node["states"] = statesOf(object);
    if (auto keys = keysOf(object)) node["keys"] = *keys;
  }
  nlohmann::json children = nlohmann::json::array();
  if (depth < options.maxDepth) {
    for (const Ref& child : childrenOf(object)) {
      children.push_back(toJson(child, options, depth + 1));
    }
  }
  node["children"] = std::move(children);
  return node;
}

void printLines(const nlohmann::json& node, int depth) {
  std::string line(static_cast<std::size_t>(depth) * 2, ' ');
  line += node["role"].get<std::string>() + " " + nlohmann::json(node["name"]).dump();
  if (node.contains("states")) {
    std::string states;
    for (const auto& state : node["states"]) {
      states += (states.empty() ? "" : ",") + state.get<std::string>();
    }
    line += " [" + states + "]";
  }
  if (node.contains("keys") && !node["keys"].get<std::string>().empty()) {
    line += " keys=" + nlohmann::json(node["keys"]).dump();
  }
  std::cout << line << '\n';
  for (const auto& child : node["children"]) printLines(child, depth + 1);
}

Ref findFirst(const Ref& object, const std::function<bool(const Ref&)>& match, int depth = 0) {
  if (match(object)) return object;
  if (depth > 32) return Ref();
  for (const Ref& child : childrenOf(object)) {
    if (Ref found = findFirst(child, match, depth + 1)) return found;
  }
  return Ref();
}

std::vector<std::string> splitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = path.find('/', start);
    parts.push_back(path.substr(start, slash - start));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return parts;
}

// The menu item at `path` under the app's menu bar (in window `window` if set).
Ref resolveMenuItem(const std::string& appName, const std::vector<std::string>& path,
                    const std::optional<std::string>& window, std::string& problem) {
  for (const Ref& app : applications(appName)) {
    for (const Ref& frame : childrenOf(app)) {
      if (window && nameOf(frame) != *window) continue;
      Ref current =
          findFirst(frame, [](const Ref& object) { return roleOf(object) == "menu bar"; });
      if (!current) continue;
      for (const std::string& label : path) {
        Ref next;
        for (const Ref& child : childrenOf(current)) {
          if (nameOf(child) == label) {
            next = child;
            break;
          }
        }
        current = next;
        if (!current) break;
      }
      if (current) return current;
      problem = "no menu item at that path";
    }
  }
  if (problem.empty()) problem = "no such application or menu bar";
  return Ref();
}

[[noreturn]] void usage() {
  std::cerr << "usage: zorv-atspi-dump [--app NAME] [--json] [--brief] [--timeout SECONDS]\n"
               "       zorv-atspi-dump --press APP PATH [--window TITLE] [--timeout SECONDS]\n"
               "       zorv-atspi-dump --text APP [--timeout SECONDS]\n";
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<std::string> app, pressApp, pressPath, textApp, window;
  bool json = false;
  double timeout = 0;
  DumpOptions dumpOptions;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) usage();
      return argv[++i];
    };
    if (arg == "--app") {
      app = value();
    } else if (arg == "--json") {
      json = true;
    } else if (arg == "--brief") {
      dumpOptions.brief = true;
    } else if (arg == "--timeout") {
      timeout = std::atof(value().c_str());
    } else if (arg == "--press") {
      pressApp = value();
      pressPath = value();
    } else if (arg == "--window") {
      window = value();
    } else if (arg == "--text") {
      textApp = value();
    } else {
      usage();
    }
  }

  if (atspi_init() > 1) {
    std::cerr << "zorv-atspi-dump: cannot connect to the accessibility bus\n";
    return 1;
  }
  int status = 0;
  if (pressApp) {
    const std::vector<std::string> path = splitPath(*pressPath);
    std::string problem;
    auto item = retry<Ref>(timeout, [&]() -> std::optional<Ref> {
      problem.clear();
      Ref found = resolveMenuItem(*pressApp, path, window, problem);
      return found ? std::optional<Ref>(found) : std::nullopt;
    });
    if (!item) {
      std::cerr << "zorv-atspi-dump: " << *pressPath << ": " << problem << '\n';
      status = 1;
    } else if (!hasState(*item, ATSPI_STATE_ENABLED) || !hasState(*item, ATSPI_STATE_SENSITIVE)) {
      // do_action also "succeeds" on insensitive items without doing anything.
      std::cerr << "zorv-atspi-dump: " << *pressPath << ": insensitive\n";
      status = 1;
    } else {
      AtspiAction* action = atspi_accessible_get_action_iface(item->get());
      GError* error = nullptr;
      if (action == nullptr || !atspi_action_do_action(action, 0, &error)) {
        std::cerr << "zorv-atspi-dump: " << *pressPath << ": press failed"
                  << (error != nullptr ? std::string(": ") + error->message : "") << '\n';
        status = 1;
      }
      clear(&error);
      if (action != nullptr) g_object_unref(action);
    }
  } else if (textApp) {
    auto field = retry<Ref>(timeout, [&]() -> std::optional<Ref> {
      for (const Ref& found : applications(*textApp)) {
        Ref text = findFirst(found, [](const Ref& object) { return roleOf(object) == "text"; });
        if (text) return text;
      }
      return std::nullopt;
    });
    AtspiText* text = field ? atspi_accessible_get_text_iface(field->get()) : nullptr;
    if (text == nullptr) {
      std::cerr << "zorv-atspi-dump: no text field in " << *textApp << '\n';
      status = 1;
    } else {
      GError* error = nullptr;
      std::cout << take(atspi_text_get_text(text, 0, -1, &error)) << '\n';
      clear(&error);
      g_object_unref(text);
    }
  } else {
    auto apps = retry<std::vector<Ref>>(timeout, [&]() -> std::optional<std::vector<Ref>> {
      auto found = applications(app);
      if (app && found.empty()) return std::nullopt;
      return found;
    });
    if (!apps) {
      std::cerr << "zorv-atspi-dump: no application named " << *app << '\n';
      status = 1;
    } else {
      nlohmann::json out = nlohmann::json::array();
      for (const Ref& found : *apps) out.push_back(toJson(found, dumpOptions, 0));
      if (json) {
        std::cout << out.dump(1) << '\n';
      } else {
        for (const auto& node : out) printLines(node, 0);
      }
    }
  }
  std::cout.flush();
  atspi_exit();
  // libatspi keeps strings from messages it dispatched; leaving without exit
  // handlers keeps a leak checker (sanitizer builds) from failing this tool.
  std::fflush(stdout);
  std::_Exit(status);
}

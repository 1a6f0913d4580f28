// zorv-atspi-dump [--app NAME | --text NAME] [--timeout SECONDS]: the
// accessibility trees (role, name, states, children) of the applications (named
// NAME) of the session in the environment as JSON, or the contents of NAME's
// first text field; waits up to the time-out for such an application. Tests run
// it as a child, so that their own process never connects to a desktop.
// Exit status: 0 done, 1 not found or failed, 2 usage.

#include <atspi/atspi.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Ref = std::shared_ptr<AtspiAccessible>;

Ref own(AtspiAccessible* object) {
  return Ref(object, g_object_unref);
}

// A string the library hands over (errors are read as empty).
template <typename Object>
std::string take(gchar* (*get)(Object*, GError**), Object* object) {
  GError* error = nullptr;
  gchar* text = get(object, &error);
  std::string out = text != nullptr ? text : "";
  g_free(text);
  g_clear_error(&error);
  return out;
}

std::string nameOf(const Ref& object) {
  return take(atspi_accessible_get_name, object.get());
}

std::string roleOf(const Ref& object) {
  return take(atspi_accessible_get_role_name, object.get());
}

std::vector<Ref> childrenOf(const Ref& object) {
  GError* error = nullptr;
  const gint count = atspi_accessible_get_child_count(object.get(), &error);
  g_clear_error(&error);
  std::vector<Ref> children;
  for (gint i = 0; i < count; ++i) {
    AtspiAccessible* child = atspi_accessible_get_child_at_index(object.get(), i, &error);
    g_clear_error(&error);
    if (child != nullptr) children.push_back(own(child));
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
    if (const GEnumValue* value = g_enum_get_value(klass, g_array_index(states, gint, i))) {
      names.emplace_back(value->value_nick);
    }
  }
  g_type_class_unref(klass);
  g_array_free(states, TRUE);
  g_object_unref(set);
  return names;
}

nlohmann::json toJson(const Ref& object, int depth = 0) {
  nlohmann::json children = nlohmann::json::array();
  if (depth < 64) {
    for (const Ref& child : childrenOf(object)) children.push_back(toJson(child, depth + 1));
  }
  return {{"role", roleOf(object)},
          {"name", nameOf(object)},
          {"states", statesOf(object)},
          {"children", std::move(children)}};
}

Ref firstText(const Ref& object, int depth = 0) {
  if (roleOf(object) == "text") return object;
  for (const Ref& child : depth < 32 ? childrenOf(object) : std::vector<Ref>{}) {
    if (Ref found = firstText(child, depth + 1)) return found;
  }
  return nullptr;
}

std::vector<Ref> applications(const std::optional<std::string>& name) {
  std::vector<Ref> apps;
  for (Ref& app : childrenOf(own(atspi_get_desktop(0)))) {
    if (!name || nameOf(app) == *name) apps.push_back(app);
  }
  return apps;
}

int run(const std::optional<std::string>& app, bool text, double timeout) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
  // Retried every 20 ms until there is such an application (with a text field).
  for (;;) {
    const auto apps = applications(app);
    if (text) {
      for (const Ref& found : apps) {
        Ref field = firstText(found);
        AtspiText* iface = field ? atspi_accessible_get_text_iface(field.get()) : nullptr;
        if (iface == nullptr) continue;
        std::cout << take(
                         +[](AtspiText* t, GError** e) { return atspi_text_get_text(t, 0, -1, e); },
                         iface)
                  << '\n';
        g_object_unref(iface);
        return 0;
      }
    } else if (!app || !apps.empty()) {
      nlohmann::json out = nlohmann::json::array();
      for (const Ref& found : apps) out.push_back(toJson(found));
      std::cout << out.dump(1) << '\n';
      return 0;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::cerr << "zorv-atspi-dump: no application named " << app.value_or("") << '\n';
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<std::string> app;
  bool text = false;
  double timeout = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc || (arg != "--app" && arg != "--text" && arg != "--timeout")) {
      std::cerr << "usage: zorv-atspi-dump [--app NAME | --text NAME] [--timeout SECONDS]\n";
      return 2;
    }
    if (arg == "--timeout") {
      timeout = std::atof(argv[++i]);
    } else {
      app = argv[++i];
      text = arg == "--text";
    }
  }
  if (atspi_init() > 1) {
    std::cerr << "zorv-atspi-dump: cannot connect to the accessibility bus\n";
    return 1;
  }
  const int status = run(app, text, timeout);
  std::cout.flush();
  atspi_exit();
  // libatspi keeps strings from messages it dispatched; leaving without exit
  // handlers keeps a leak checker (sanitizer builds) from failing this tool.
  std::fflush(stdout);
  std::_Exit(status);
}

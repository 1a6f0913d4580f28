#include "linux/gio_opener.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <memory>
#include <optional>
#include <set>

namespace zorv::linux_desktop {
namespace {

template <class T>
struct GObjectDeleter {
  void operator()(T* object) const {
    if (object) g_object_unref(object);
  }
};
template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

struct GFreeDeleter {
  void operator()(void* memory) const { g_free(memory); }
};
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;

port::PlatformError toPlatformError(GError* error) {
  port::PlatformError result{g_quark_to_string(error->domain), error->code, error->message};
  g_error_free(error);
  return result;
}

port::PlatformError ioError(GIOErrorEnum code, const std::string& message) {
  return {g_quark_to_string(G_IO_ERROR), code, message};
}

std::string quoted(const std::string& text) {
  GCharPtr quotedText(g_shell_quote(text.c_str()));
  return quotedText.get();
}

// GIO reads a command line as an Exec line, where "%" starts a field code.
std::string escapedPercent(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '%') out += '%';
  }
  return out;
}

// GIO refuses an entry without saying why: a file that is no desktop entry, or
// one whose program cannot be found.
port::PlatformError whyNoDesktopEntry(const std::string& path) {
  GKeyFile* keyFile = g_key_file_new();
  std::string program;
  if (g_key_file_load_from_file(keyFile, path.c_str(), G_KEY_FILE_NONE, nullptr)) {
    gchar* exec = g_key_file_get_string(keyFile, G_KEY_FILE_DESKTOP_GROUP,
                                        G_KEY_FILE_DESKTOP_KEY_EXEC, nullptr);
    gchar** argv = nullptr;
    if (exec && g_shell_parse_argv(exec, nullptr, &argv, nullptr)) {
      program = argv[0];
      g_strfreev(argv);
    }
    g_free(exec);
  }
  g_key_file_free(keyFile);
  if (program.empty()) {
    return ioError(G_IO_ERROR_INVALID_DATA, "“" + path + "” is not a valid desktop entry.");
  }
  return ioError(G_IO_ERROR_NOT_FOUND,
                 "The program “" + program + "” of “" + path + "” cannot be found.");
}

using AppOrError = std::pair<GObjectPtr<GAppInfo>, std::optional<port::PlatformError>>;

AppOrError failure(port::PlatformError error) {
  return {nullptr, std::move(error)};
}

// The application a file URL names. `arguments` is set for launching without
// URLs: it becomes part of the command line.
AppOrError applicationAt(const std::string& applicationURL,
                         const std::vector<std::string>* arguments) {
  GObjectPtr<GFile> file(g_file_new_for_uri(applicationURL.c_str()));
  GCharPtr path(g_file_get_path(file.get()));
  if (!path) {
    return failure(ioError(G_IO_ERROR_NOT_SUPPORTED,
                           "“" + applicationURL + "” is not the URL of a local file."));
  }
  const std::string where = path.get();
  GError* error = nullptr;
  GObjectPtr<GFileInfo> info(g_file_query_info(
      file.get(), G_FILE_ATTRIBUTE_STANDARD_TYPE "," G_FILE_ATTRIBUTE_ACCESS_CAN_EXECUTE,
      G_FILE_QUERY_INFO_NONE, nullptr, &error));
  if (!info) return failure(toPlatformError(error));
  const bool regular = g_file_info_get_file_type(info.get()) == G_FILE_TYPE_REGULAR;

  if (regular && g_str_has_suffix(where.c_str(), ".desktop")) {
    GObjectPtr<GDesktopAppInfo> entry(g_desktop_app_info_new_from_filename(where.c_str()));
    if (!entry) return failure(whyNoDesktopEntry(where));
    if (!arguments || arguments->empty()) {
      return {GObjectPtr<GAppInfo>(G_APP_INFO(entry.release())), std::nullopt};
    }
    const char* exec = g_app_info_get_commandline(G_APP_INFO(entry.get()));
    const std::string commandLine =
        GioOpener::commandLineWithArguments(exec ? exec : "", *arguments);
    GAppInfo* app = g_app_info_create_from_commandline(commandLine.c_str(),
                                                       g_app_info_get_name(G_APP_INFO(entry.get())),
                                                       G_APP_INFO_CREATE_NONE, &error);
    if (!app) return failure(toPlatformError(error));
    return {GObjectPtr<GAppInfo>(app), std::nullopt};
  }

  if (regular &&
      g_file_info_get_attribute_boolean(info.get(), G_FILE_ATTRIBUTE_ACCESS_CAN_EXECUTE)) {
    std::string commandLine = quoted(escapedPercent(where));
    if (arguments) {
      for (const auto& argument : *arguments) commandLine += " " + quoted(escapedPercent(argument));
    }
    GCharPtr name(g_path_get_basename(where.c_str()));
    GAppInfo* app = g_app_info_create_from_commandline(
        commandLine.c_str(), name.get(),
        arguments ? G_APP_INFO_CREATE_NONE : G_APP_INFO_CREATE_SUPPORTS_URIS, &error);
    if (!app) return failure(toPlatformError(error));
    return {GObjectPtr<GAppInfo>(app), std::nullopt};
  }

  return failure(
      ioError(G_IO_ERROR_NOT_SUPPORTED,
              "“" + where + "” is not an application (a desktop entry or an executable file)."));
}

}  // namespace

std::string GioOpener::commandLineWithArguments(const std::string& exec,
                                                const std::vector<std::string>& arguments) {
  // The codes that stand for files, URLs, the icon, the name or the entry itself.
  static const std::set<std::string> fieldCodes = {"%f", "%F", "%u", "%U", "%d", "%D", "%n",
                                                   "%N", "%i", "%c", "%k", "%v", "%m"};
  std::string commandLine;
  gchar** argv = nullptr;
  if (g_shell_parse_argv(exec.c_str(), nullptr, &argv, nullptr)) {
    for (gchar** word = argv; *word; ++word) {
      if (fieldCodes.contains(*word)) continue;
      // "%%" in the word stays, so that GIO turns it back into "%".
      commandLine += (commandLine.empty() ? "" : " ") + quoted(*word);
    }
    g_strfreev(argv);
  }
  for (const auto& argument : arguments) {
    commandLine += (commandLine.empty() ? "" : " ") + quoted(escapedPercent(argument));
  }
  return commandLine;
}

bool GioOpener::openURL(const std::string& url) {
  GError* error = nullptr;
  if (g_app_info_launch_default_for_uri(url.c_str(), nullptr, &error)) return true;
  g_clear_error(&error);
  return false;
}

void GioOpener::openURLs(const std::vector<std::string>& urls, const std::string& applicationURL,
                         const port::OpenConfiguration&, port::OpenCompletion completion) {
  // GIO always starts a new process for a launch; there is no running instance
  // to substitute, whatever the configuration asks.
  dispatch_.asyncGlobal([urls, applicationURL, completion = std::move(completion)] {
    auto [app, problem] = applicationAt(applicationURL, nullptr);
    if (app) {
      GList* list = nullptr;
      for (const auto& url : urls) list = g_list_append(list, g_strdup(url.c_str()));
      GError* error = nullptr;
      if (!g_app_info_launch_uris(app.get(), list, nullptr, &error))
        problem = toPlatformError(error);
      g_list_free_full(list, g_free);
    }
    completion(nullptr, problem);
  });
}

void GioOpener::openApplication(const std::string& applicationURL,
                                const port::OpenConfiguration& configuration,
                                port::OpenCompletion completion) {
  dispatch_.asyncGlobal(
      [applicationURL, arguments = configuration.arguments, completion = std::move(completion)] {
        auto [app, problem] = applicationAt(applicationURL, &arguments);
        if (app) {
          GError* error = nullptr;
          if (!g_app_info_launch(app.get(), nullptr, nullptr, &error)) {
            problem = toPlatformError(error);
          }
        }
        completion(nullptr, problem);
      });
}

}  // namespace zorv::linux_desktop

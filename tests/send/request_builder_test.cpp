// The sender's command line.

#include <gtest/gtest.h>

#include "request_builder.h"

namespace zorv::send {
namespace {

std::string built(const std::vector<std::string>& arguments) {
  auto result = buildRequest(arguments);
  if (auto* error = std::get_if<UsageError>(&result)) return "usage error: " + error->message;
  return std::get<std::string>(result);
}

TEST(ZorvSend, BuildsTheDocumentOfEachKind) {
  struct Case {
    std::vector<std::string> arguments;
    std::string document;
  };
  const Case cases[] = {
      {{"menuCommand", "File -> Export -> PDF"},
       R"({"menuCommand":{"info":{"menuTitle":"File -> Export -> PDF"}}})"},
      {{"menu", "File", "Export"}, R"({"menu":{"menuItems":["File","Export"]}})"},
      {{"openURL", "https://example.org", "/usr/share/applications/editor.desktop"},
       R"({"openURL":{"url":"https://example.org","applicationPath":"/usr/share/applications/editor.desktop"}})"},
      {{"launchApp", "/usr/bin/editor", "--new-window --quiet"},
       R"({"launchApp":{"path":"/usr/bin/editor","launchArgumentsText":"--new-window --quiet"}})"},
      {{"executeFile", "/bin/tool"}, R"({"executeFile":{"path":"/bin/tool"}})"},
      {{"simulateKeystroke", "-1"}, R"({"simulateKeystroke":{"code":-1}})"},
      {{"switchInputMethod", "de"}, R"({"switchInputMethod":{"inputSourceID":"de"}})"},
      {{"switchWindow"}, R"({"switchWindow":{}})"},
      {{"sleep"}, R"({"sleep":{}})"},
      {{"--json", "not even json"}, "not even json"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments[0]);
    EXPECT_EQ(built(c.arguments), c.document);
  }
}

TEST(ZorvSend, RefusesWhatWouldNotDecode) {
  const std::vector<std::vector<std::string>> refused = {
      {},
      {"Sleep"},
      {"sleep", "now"},
      {"menuCommand"},
      {"simulateKeystroke", "36x"},
      {"simulateKeystroke", "99999999999999999999"},
      {"openURL", "not a url"},
      {"executeFile"},
      {"--json"},
  };
  for (const auto& arguments : refused) {
    SCOPED_TRACE(arguments.empty() ? "(none)" : arguments[0]);
    EXPECT_TRUE(built(arguments).starts_with("usage error: ")) << built(arguments);
  }
}

}  // namespace
}  // namespace zorv::send

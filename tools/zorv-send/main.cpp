// zorv-send: broadcasts one action request on the user's session bus, for people
// and scripts.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "request_builder.h"
#include "session_bus.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() == 1 && arguments[0] == "--version") {
    std::printf("zorv-send %s\n", ZORV_VERSION);
    return 0;
  }
  auto request = zorv::send::buildRequest(arguments);
  if (auto* usage = std::get_if<zorv::send::UsageError>(&request)) {
    if (usage->message.empty()) {  // --help
      std::fputs(zorv::send::kUsage, stdout);
      return 0;
    }
    std::fprintf(stderr, "zorv-send: %s\n", usage->message.c_str());
    std::fputs(zorv::send::kUsage, stderr);
    return 2;
  }
  const auto& json = std::get<std::string>(request);
  const auto error = zorv::send::emitStringSignal(
      "/name/pemu/zorv", "name.pemu.zorv.notification_names", "helper_action_event", json);
  if (error && error->kind == zorv::send::SendError::badText) {
    std::fprintf(stderr, "zorv-send: %s\n", error->message.c_str());
    return 2;
  }
  if (error) {
    std::fprintf(stderr, "zorv-send: cannot send: %s\n", error->message.c_str());
    return 1;
  }
  return 0;
}

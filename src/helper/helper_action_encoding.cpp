// Writing requests: all that a sender needs, kept apart from the decoder so that
// a sender links neither ICU nor the decoder.

#include <uriparser/Uri.h>

#include <nlohmann/json.hpp>

#include "helper/helper_action.h"

namespace zorv::helper {
namespace {

// Encoding keeps insertion order so that every sender writes the same bytes.
using OrderedJson = nlohmann::ordered_json;

OrderedJson write(const HelperAction::MenuCommandInfo& info) {
  OrderedJson object = OrderedJson::object();
  object["menuTitle"] = info.menuTitle;
  return object;
}

OrderedJson write(const HelperAction::Menu& menu) {
  OrderedJson object = OrderedJson::object();
  object["menuItems"] = menu.menuItems;
  return object;
}
OrderedJson write(const HelperAction::MenuCommand& command) {
  OrderedJson object = OrderedJson::object();
  object["info"] = write(command.info);
  return object;
}
OrderedJson write(const HelperAction::OpenURL& open) {
  OrderedJson object = OrderedJson::object();
  object["url"] = open.url.absoluteString();
  if (open.applicationPath) object["applicationPath"] = *open.applicationPath;
  return object;
}
OrderedJson write(const HelperAction::LaunchApp& launch) {
  OrderedJson object = OrderedJson::object();
  object["path"] = launch.path;
  if (launch.launchArgumentsText) object["launchArgumentsText"] = *launch.launchArgumentsText;
  return object;
}
OrderedJson write(const HelperAction::SwitchWindow&) {
  return OrderedJson::object();
}
OrderedJson write(const HelperAction::ExecuteFile& execute) {
  OrderedJson object = OrderedJson::object();
  object["path"] = execute.path;
  if (execute.argumentsText) object["argumentsText"] = *execute.argumentsText;
  return object;
}
OrderedJson write(const HelperAction::Sleep&) {
  return OrderedJson::object();
}
OrderedJson write(const HelperAction::SimulateKeystroke& keystroke) {
  OrderedJson object = OrderedJson::object();
  object["code"] = keystroke.code;
  return object;
}
OrderedJson write(const HelperAction::SwitchInputMethod& switchTo) {
  OrderedJson object = OrderedJson::object();
  object["inputSourceID"] = switchTo.inputSourceID;
  return object;
}

std::string compact(const OrderedJson& document) {
  // Replacing invalid UTF-8 keeps the encoder from throwing on a bad text.
  return document.dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
}

}  // namespace

std::optional<URL> URL::parse(std::string text) {
  if (text.empty()) return std::nullopt;
  UriUriA uri;
  const char* errorPosition = nullptr;
  // On failure uriparser has already released what it allocated.
  if (uriParseSingleUriExA(&uri, text.data(), text.data() + text.size(), &errorPosition) !=
      URI_SUCCESS) {
    return std::nullopt;
  }
  uriFreeUriMembersA(&uri);
  return URL(std::move(text));
}

std::string_view HelperAction::caseName() const {
  if (kind.valueless_by_exception()) return {};
  return kHelperActionCaseNames[kind.index()];
}

std::string encodeHelperAction(const HelperAction& action) {
  OrderedJson document = OrderedJson::object();
  document[std::string(action.caseName())] =
      std::visit([](const auto& payload) { return write(payload); }, action.kind);
  return compact(document);
}

std::string encodeMenuCommandInfo(const HelperAction::MenuCommandInfo& info) {
  return compact(write(info));
}

}  // namespace zorv::helper

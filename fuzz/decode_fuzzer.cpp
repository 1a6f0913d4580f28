// Fuzzes the decoding of request documents and of menu command info objects.
//
// Besides what the sanitizers catch, it checks the round trip the encoder is
// for: whatever decodes re-encodes into a document that decodes again, and
// encoding that second action gives the same bytes. This holds by design for
// decoded input: the JSON parser only accepts valid UTF-8, so the encoder's
// U+FFFD replacement never applies, a URL is kept as given and so parses again,
// and an absent or null optional is written as absent either way.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <variant>

#include "helper/helper_action.h"
#include "support/unicode.h"

namespace {

using zorv::helper::decodeHelperActionDocument;
using zorv::helper::decodeMenuCommandInfo;
using zorv::helper::DecodingError;
using zorv::helper::encodeHelperAction;
using zorv::helper::encodeMenuCommandInfo;
using zorv::helper::HelperAction;

[[noreturn]] void fail(const char* what, std::string_view first, std::string_view second = {}) {
  std::fprintf(stderr, "decode fuzzer: %s\n  first:  %.*s\n  second: %.*s\n", what,
               static_cast<int>(first.size()), first.data(), static_cast<int>(second.size()),
               second.data());
  __builtin_trap();
}

void checkFailure(const DecodingError& error) {
  if (error.description.empty()) fail("a decoding error without a description", "");
}

void checkAction(const HelperAction& action) {
  const std::string encoded = encodeHelperAction(action);
  const auto again = decodeHelperActionDocument(encoded);
  if (const auto* error = std::get_if<DecodingError>(&again)) {
    fail("the encoding of a decoded action does not decode", encoded, error->description);
  }
  const auto& second = std::get<HelperAction>(again);
  if (second.caseName() != action.caseName()) {
    fail("the round trip changed the case", action.caseName(), second.caseName());
  }
  const std::string reencoded = encodeHelperAction(second);
  if (reencoded != encoded) fail("the encoding is not stable", encoded, reencoded);
}

void checkInfo(const HelperAction::MenuCommandInfo& info) {
  const std::string encoded = encodeMenuCommandInfo(info);
  const auto again = decodeMenuCommandInfo(encoded);
  if (const auto* error = std::get_if<DecodingError>(&again)) {
    fail("the encoding of a decoded menu command info does not decode", encoded,
         error->description);
  }
  const auto& second = std::get<HelperAction::MenuCommandInfo>(again);
  // Titles are kept as sent, not normalised.
  if (second.menuTitle != info.menuTitle) {
    fail("the round trip changed the menu title", info.menuTitle, second.menuTitle);
  }
  const std::string reencoded = encodeMenuCommandInfo(second);
  if (reencoded != encoded)
    fail("the menu command info encoding is not stable", encoded, reencoded);

  // A title equals its canonical composed form, and hashes alike.
  const HelperAction::MenuCommandInfo composed{zorv::support::canonicalForm(info.menuTitle)};
  if (!(info == composed)) fail("a title differs from its composed form", info.menuTitle);
  const std::hash<HelperAction::MenuCommandInfo> hash;
  if (hash(info) != hash(composed)) fail("a title hashes unlike its composed form", info.menuTitle);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const auto action = decodeHelperActionDocument(text);
  if (const auto* decoded = std::get_if<HelperAction>(&action)) {
    checkAction(*decoded);
    if (const auto* command = std::get_if<HelperAction::MenuCommand>(&decoded->kind)) {
      checkInfo(command->info);
    }
  } else {
    checkFailure(std::get<DecodingError>(action));
  }

  // The same bytes as the `info` object of a menu command alone.
  const auto info = decodeMenuCommandInfo(text);
  if (const auto* decoded = std::get_if<HelperAction::MenuCommandInfo>(&info)) {
    checkInfo(*decoded);
  } else {
    checkFailure(std::get<DecodingError>(info));
  }
  return 0;
}

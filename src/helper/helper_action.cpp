#include "helper/helper_action.h"

#include <algorithm>
#include <array>
#include <exception>
#include <limits>
#include <nlohmann/json.hpp>
#include <utility>

#include "support/unicode.h"

namespace zorv::helper {
namespace {

using Json = nlohmann::json;

// Raised anywhere inside the decoder; the entry points turn it into a DecodingError.
struct Failure {
  std::string description;
};

// The value of a JSON number text when it is an integer in the signed 64-bit
// range, however it is spelled ("36", "36.0", "3.6e1"). Worked out from the
// digits: going through a double would round -9223372036854775809 into range.
std::optional<std::int64_t> exactInteger(std::string_view text) {
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  std::size_t at = 0;
  const bool negative = at < text.size() && text[at] == '-';
  if (negative) ++at;
  // The value is digits x 10^exponent.
  std::string digits;
  std::int64_t exponent = 0;
  for (; at < text.size() && isDigit(text[at]); ++at) digits += text[at];
  if (at < text.size() && text[at] == '.') {
    for (++at; at < text.size() && isDigit(text[at]); ++at) {
      digits += text[at];
      --exponent;
    }
  }
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    const bool negativeExponent = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    // Saturates: anything this large is out of range either way.
    constexpr std::int64_t kExponentCap = 1'000'000'000;
    std::int64_t written = 0;
    for (; at < text.size() && isDigit(text[at]); ++at) {
      written = std::min(written * 10 + (text[at] - '0'), kExponentCap);
    }
    exponent += negativeExponent ? -written : written;
  }
  const std::size_t firstSignificant = digits.find_first_not_of('0');
  if (firstSignificant == std::string::npos) return 0;
  digits.erase(0, firstSignificant);
  while (exponent < 0 && digits.back() == '0') {
    digits.pop_back();
    ++exponent;
  }
  if (exponent < 0) return std::nullopt;  // a fraction is left
  constexpr std::size_t kMaxDigits = 19;  // 2^63 has 19 digits
  if (digits.size() > kMaxDigits ||
      exponent > static_cast<std::int64_t>(kMaxDigits - digits.size())) {
    return std::nullopt;
  }
  digits.append(static_cast<std::size_t>(exponent), '0');
  std::uint64_t magnitude = 0;
  for (const char digit : digits) {
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(digit - '0');
  }
  constexpr auto kMaxPositive =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (!negative) {
    if (magnitude > kMaxPositive) return std::nullopt;
    return static_cast<std::int64_t>(magnitude);
  }
  if (magnitude > kMaxPositive + 1) return std::nullopt;
  if (magnitude == kMaxPositive + 1) return std::numeric_limits<std::int64_t>::min();
  return -static_cast<std::int64_t>(magnitude);
}

// Builds the document tree from the parser's events. It refuses to open a
// container beyond the depth limit, so a hostile document stops there and no
// deep tree is ever built; and it stores every number with an integral value in
// the signed 64-bit range as an integer, so that only such numbers are integers.
class DocumentBuilder {
 public:
  bool null() { return put(nullptr); }
  bool boolean(bool value) { return put(value); }
  bool number_integer(Json::number_integer_t value) { return put(value); }
  bool number_unsigned(Json::number_unsigned_t value) { return put(value); }
  bool number_float(Json::number_float_t value, const Json::string_t& text) {
    if (const std::optional<std::int64_t> integer = exactInteger(text)) return put(*integer);
    return put(value);
  }
  bool string(Json::string_t& value) { return put(std::move(value)); }
  // The JSON text parser never reports binary values.
  bool binary(Json::binary_t&) { return false; }
  bool start_object(std::size_t) { return open(Json::object()); }
  bool key(Json::string_t& name) {
    key_ = std::move(name);
    return true;
  }
  bool end_object() { return close(); }
  bool start_array(std::size_t) { return open(Json::array()); }
  bool end_array() { return close(); }
  bool parse_error(std::size_t, const std::string&, const Json::exception& error) {
    error_ = error.what();
    return false;
  }

  // The tree, or a Failure saying why there is none.
  Json take(bool parsed) {
    if (tooDeep_) {
      throw Failure{"The document is nested deeper than " + std::to_string(kMaxDocumentDepth) +
                    " levels."};
    }
    if (!parsed) throw Failure{error_.empty() ? "The document is not valid JSON." : error_};
    return std::move(root_);
  }

 private:
  bool put(Json&& value) {
    place(std::move(value));
    return true;
  }

  // Stores `value` in the innermost open container (or as the root) and
  // returns where it now lives.
  Json& place(Json&& value) {
    if (open_.empty()) {
      root_ = std::move(value);
      return root_;
    }
    Json& parent = *open_.back();
    if (parent.is_array()) {
      parent.push_back(std::move(value));
      return parent.back();
    }
    // A repeated member name keeps its last value.
    auto& members = parent.get_ref<Json::object_t&>();
    return members.insert_or_assign(std::move(key_), std::move(value)).first->second;
  }

  bool open(Json&& container) {
    if (open_.size() >= static_cast<std::size_t>(kMaxDocumentDepth)) {
      tooDeep_ = true;
      return false;
    }
    // Pointers stay valid: a container's parent gains no element while it is open.
    open_.push_back(&place(std::move(container)));
    return true;
  }

  bool close() {
    open_.pop_back();
    return true;
  }

  Json root_;
  std::vector<Json*> open_;
  std::string key_;
  std::string error_;
  bool tooDeep_ = false;
};

Json parseDocument(std::string_view text) {
  if (text.size() > kMaxDocumentBytes) {
    throw Failure{"The document is longer than " + std::to_string(kMaxDocumentBytes) + " bytes."};
  }
  // A raw NUL is never valid JSON, but the parser takes it for the end of the
  // input and would accept "{...}\0anything".
  if (text.find('\0') != std::string_view::npos) {
    throw Failure{"The document contains a NUL character."};
  }
  DocumentBuilder builder;
  const bool parsed = Json::sax_parse(text.begin(), text.end(), &builder);
  return builder.take(parsed);
}

// Numbers that hold an integral value in range were stored as integers while
// parsing; everything else (1.5, 1e300, 2^63) is not a signed 64-bit integer.
std::optional<std::int64_t> signed64(const Json& value) {
  if (value.is_number_integer() && !value.is_number_unsigned()) {
    return *value.get_ptr<const Json::number_integer_t*>();
  }
  if (value.is_number_unsigned()) {
    const auto number = *value.get_ptr<const Json::number_unsigned_t*>();
    if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return std::nullopt;
    }
    return static_cast<std::int64_t>(number);
  }
  return std::nullopt;
}

// The members of one object of the document, read by name. Texts are moved
// out of the document, which is thrown away after reading. `name` and `parent`
// name the object in error texts ("menuCommand.info").
class Payload {
 public:
  Payload(Json& value, std::string_view name, const Payload* parent = nullptr)
      : value_(value), name_(name), parent_(parent) {
    if (!value.is_object()) fail(path(), "expected object, found " + typeOf(value));
  }

  std::string string(std::string_view key) const {
    Json& member = required(key);
    if (!member.is_string()) fail(pathTo(key), "expected string, found " + typeOf(member));
    return std::move(member.get_ref<std::string&>());
  }

  // Absent and null both mean no value; any other non-string fails.
  std::optional<std::string> optionalString(std::string_view key) const {
    Json* member = find(key);
    if (member == nullptr || member->is_null()) return std::nullopt;
    if (!member->is_string()) fail(pathTo(key), "expected string, found " + typeOf(*member));
    return std::move(member->get_ref<std::string&>());
  }

  std::vector<std::string> strings(std::string_view key) const {
    Json& member = required(key);
    if (!member.is_array()) fail(pathTo(key), "expected array, found " + typeOf(member));
    std::vector<std::string> items;
    items.reserve(member.size());
    for (Json& item : member) {
      if (!item.is_string()) {
        fail(pathTo(key) + "[" + std::to_string(items.size()) + "]",
             "expected string, found " + typeOf(item));
      }
      items.push_back(std::move(item.get_ref<std::string&>()));
    }
    return items;
  }

  std::int64_t int64(std::string_view key) const {
    const Json& member = required(key);
    const std::optional<std::int64_t> number = signed64(member);
    if (!number) {
      fail(pathTo(key), "expected an integer in the signed 64-bit range, found " + typeOf(member));
    }
    return *number;
  }

  URL url(std::string_view key) const {
    std::optional<URL> parsed = URL::parse(string(key));
    if (!parsed) fail(pathTo(key), "not a valid URL");
    return std::move(*parsed);
  }

  Payload object(std::string_view key) const { return Payload(required(key), key, this); }

 private:
  Json* find(std::string_view key) const {
    const auto member = value_.find(key);
    return member == value_.end() ? nullptr : &*member;
  }

  Json& required(std::string_view key) const {
    Json* member = find(key);
    if (member == nullptr) fail(pathTo(key), "missing");
    if (member->is_null()) fail(pathTo(key), "expected a value, found null");
    return *member;
  }

  // Built only for error texts.
  std::string path() const {
    return parent_ == nullptr ? std::string(name_) : parent_->pathTo(name_);
  }
  std::string pathTo(std::string_view key) const {
    const std::string parentPath = path();
    return parentPath.empty() ? std::string(key) : parentPath + "." + std::string(key);
  }

  static std::string typeOf(const Json& value) {
    // Numbers are shown, so that "1.5" or "1e300" say why they do not fit.
    return value.is_number() ? "number " + value.dump() : value.type_name();
  }

  [[noreturn]] static void fail(const std::string& where, const std::string& problem) {
    throw Failure{(where.empty() ? std::string("document") : where) + ": " + problem + "."};
  }

  Json& value_;
  std::string_view name_;
  const Payload* parent_;
};

HelperAction::MenuCommandInfo readMenuCommandInfo(const Payload& info) {
  return {info.string("menuTitle")};
}

template <class Case>
Case readCase(const Payload& payload);

template <>
HelperAction::Menu readCase(const Payload& payload) {
  return {payload.strings("menuItems")};
}
template <>
HelperAction::MenuCommand readCase(const Payload& payload) {
  return {readMenuCommandInfo(payload.object("info"))};
}
template <>
HelperAction::OpenURL readCase(const Payload& payload) {
  URL url = payload.url("url");
  return {std::move(url), payload.optionalString("applicationPath")};
}
template <>
HelperAction::LaunchApp readCase(const Payload& payload) {
  std::string path = payload.string("path");
  return {std::move(path), payload.optionalString("launchArgumentsText")};
}
// The two cases without payload ignore whatever their object holds.
template <>
HelperAction::SwitchWindow readCase(const Payload&) {
  return {};
}
template <>
HelperAction::ExecuteFile readCase(const Payload& payload) {
  std::string path = payload.string("path");
  return {std::move(path), payload.optionalString("argumentsText")};
}
template <>
HelperAction::Sleep readCase(const Payload&) {
  return {};
}
template <>
HelperAction::SimulateKeystroke readCase(const Payload& payload) {
  return {payload.int64("code")};
}
template <>
HelperAction::SwitchInputMethod readCase(const Payload& payload) {
  return {payload.string("inputSourceID")};
}

template <std::size_t... Index>
HelperAction::Kind readKind(std::size_t index, const Payload& payload,
                            std::index_sequence<Index...>) {
  using Reader = HelperAction::Kind (*)(const Payload&);
  static constexpr std::array<Reader, sizeof...(Index)> kReaders = {
      [](const Payload& p) -> HelperAction::Kind {
        return readCase<std::variant_alternative_t<Index, HelperAction::Kind>>(p);
      }...};
  return kReaders[index](payload);
}

HelperAction readHelperAction(Json& document) {
  if (!document.is_object()) {
    throw Failure{std::string("document: expected object, found ") + document.type_name() + "."};
  }
  // Only members named after a case count; a newer sender's unknown case, or
  // any other member, is passed over.
  std::size_t recognised = 0;
  std::size_t index = 0;
  Json* value = nullptr;
  for (auto& [name, member] : document.get_ref<Json::object_t&>()) {
    const auto found =
        std::find(kHelperActionCaseNames.begin(), kHelperActionCaseNames.end(), name);
    if (found == kHelperActionCaseNames.end()) continue;
    ++recognised;
    index = static_cast<std::size_t>(found - kHelperActionCaseNames.begin());
    value = &member;
  }
  if (recognised != 1) throw Failure{std::string(kInvalidNumberOfKeys)};
  const Payload payload(*value, kHelperActionCaseNames[index]);
  return HelperAction{readKind(
      index, payload, std::make_index_sequence<std::variant_size_v<HelperAction::Kind>>{})};
}

template <class Result, class Read>
std::variant<Result, DecodingError> decodeDocument(std::string_view text, Read read) noexcept {
  try {
    Json document = parseDocument(text);
    return read(document);
  } catch (Failure& failure) {
    return DecodingError{std::move(failure.description)};
  } catch (const std::exception& error) {
    return DecodingError{error.what()};
  } catch (...) {
    return DecodingError{"The document could not be decoded."};
  }
}

}  // namespace

bool HelperAction::MenuCommandInfo::operator==(const MenuCommandInfo& other) const {
  return support::canonicallyEqual(menuTitle, other.menuTitle);
}

std::variant<HelperAction, DecodingError> decodeHelperActionDocument(
    std::string_view json) noexcept {
  return decodeDocument<HelperAction>(json, readHelperAction);
}

std::variant<HelperAction::MenuCommandInfo, DecodingError> decodeMenuCommandInfo(
    std::string_view json) noexcept {
  return decodeDocument<HelperAction::MenuCommandInfo>(
      json, [](Json& document) { return readMenuCommandInfo(Payload(document, "")); });
}

}  // namespace zorv::helper

std::size_t std::hash<zorv::helper::HelperAction::MenuCommandInfo>::operator()(
    const zorv::helper::HelperAction::MenuCommandInfo& info) const {
  return std::hash<std::string>{}(zorv::support::canonicalForm(info.menuTitle));
}

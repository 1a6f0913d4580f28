#include "support/unicode.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>

namespace zorv::support {
namespace {

bool isASCII(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

}  // namespace

bool isValidUTF8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  if (text.size() > static_cast<std::size_t>(INT32_MAX)) return false;
  int32_t i = 0;
  while (i < length) {
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

std::string canonicalForm(std::string_view text) {
  if (isASCII(text) || !isValidUTF8(text)) return std::string(text);
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status)) return std::string(text);
  icu::UnicodeString normalized =
      nfc->normalize(icu::UnicodeString::fromUTF8(
                         icu::StringPiece(text.data(), static_cast<int32_t>(text.size()))),
                     status);
  if (U_FAILURE(status)) return std::string(text);
  std::string out;
  normalized.toUTF8String(out);
  return out;
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
  if (a == b) return true;
  if (isASCII(a) && isASCII(b)) return false;
  return canonicalForm(a) == canonicalForm(b);
}

}  // namespace zorv::support

namespace zorv::support {

bool isWhitespaceOrNewline(char32_t c) {
  if ((c >= 0x09 && c <= 0x0D) || c == 0x85) return true;
  const auto type = u_charType(static_cast<UChar32>(c));
  return type == U_SPACE_SEPARATOR || type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR;
}

bool isWhitespace(char32_t c) {
  return c == 0x09 || u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR;
}

std::vector<std::string> splitDroppingEmpty(std::string_view text, bool (*isSeparator)(char32_t)) {
  std::vector<std::string> pieces;
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  // Requests are at most 1 MiB, far inside the index range of the UTF-8 macros.
  const auto length = static_cast<int32_t>(std::min<std::size_t>(text.size(), INT32_MAX));
  int32_t start = 0;
  int32_t i = 0;
  while (i < length) {
    const int32_t at = i;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0 || !isSeparator(static_cast<char32_t>(c))) continue;
    if (at > start) pieces.emplace_back(text.substr(std::size_t(start), std::size_t(at - start)));
    start = i;
  }
  if (length > start)
    pieces.emplace_back(text.substr(std::size_t(start), std::size_t(length - start)));
  return pieces;
}

std::string trimWhitespaceAndNewlines(std::string_view text) {
  if (!isValidUTF8(text)) return std::string(text);
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  int32_t begin = 0;
  while (begin < length) {
    int32_t next = begin;
    UChar32 c;
    U8_NEXT(bytes, next, length, c);
    if (!isWhitespaceOrNewline(static_cast<char32_t>(c))) break;
    begin = next;
  }
  int32_t end = length;
  while (end > begin) {
    int32_t previous = end;
    UChar32 c;
    U8_PREV(bytes, 0, previous, c);
    if (!isWhitespaceOrNewline(static_cast<char32_t>(c))) break;
    end = previous;
  }
  return std::string(text.substr(std::size_t(begin), std::size_t(end - begin)));
}

}  // namespace zorv::support

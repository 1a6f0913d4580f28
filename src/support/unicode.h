#pragma once
// Unicode rules the helper relies on. Texts are UTF-8.

#include <string>
#include <string_view>
#include <vector>

namespace zorv::support {

// Exact, case-sensitive equality under Unicode canonical equivalence: "é" written
// precomposed equals "e" followed by a combining acute accent.
bool canonicallyEqual(std::string_view a, std::string_view b);

// The canonical composed form (NFC); invalid UTF-8 is returned unchanged.
std::string canonicalForm(std::string_view text);

bool isValidUTF8(std::string_view text);

}  // namespace zorv::support

namespace zorv::support {

// The platform's white-space-and-newline set: space separators (category Zs),
// the line and paragraph separators, tab, line feed, vertical tab, form feed,
// carriage return and U+0085.
bool isWhitespaceOrNewline(char32_t c);

// The platform's white-space set: space separators (category Zs) and tab. Line
// breaks are not in it.
bool isWhitespace(char32_t c);

// `text` without white space and line breaks at either end. Invalid UTF-8 is
// left as it is.
std::string trimWhitespaceAndNewlines(std::string_view text);

// The pieces of `text` between the characters for which `isSeparator` holds,
// in order, without the empty ones. Bytes that are not valid UTF-8 are never
// separators; they stay in their piece.
std::vector<std::string> splitDroppingEmpty(std::string_view text, bool (*isSeparator)(char32_t));

}  // namespace zorv::support

#pragma once
// Unicode rules the helper relies on. Texts are UTF-8.

#include <string>
#include <string_view>

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

// `text` without white space and line breaks at either end. Invalid UTF-8 is
// left as it is.
std::string trimWhitespaceAndNewlines(std::string_view text);

}  // namespace zorv::support

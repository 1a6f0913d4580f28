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

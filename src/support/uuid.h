#pragma once
// Random identifiers in the standard 36-character form.

#include <string>

namespace zorv::support {

// A new random (version 4) UUID, upper-case hexadecimal, e.g.
// "1B4E28BA-2FA1-41D2-883F-0016D3CCA427".
std::string makeUUIDString();

}  // namespace zorv::support

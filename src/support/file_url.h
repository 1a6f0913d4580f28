#pragma once
// File URLs for paths: "file://" and the path, percent-encoded.

#include <string>
#include <string_view>

namespace zorv::support {

// The URL of an absolute path. A directory's URL ends in "/"; the path's own
// separators are kept, every byte outside the unreserved set is encoded.
std::string fileURLWithAbsolutePath(std::string_view path, bool isDirectory);

}  // namespace zorv::support

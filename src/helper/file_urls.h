#pragma once
// File URLs made from paths as the helper receives them.

#include <optional>
#include <string>

#include "port/tasks.h"

namespace zorv::helper {

// The file URL of `path`; a relative path is resolved against the process's
// current directory. Without `isDirectory` the file system decides: a path that
// names an existing directory gets a directory URL (ending in "/").
std::string fileURLWithPath(port::Files& files, const std::string& path,
                            std::optional<bool> isDirectory = std::nullopt);

}  // namespace zorv::helper

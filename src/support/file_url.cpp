#include "support/file_url.h"

#include <uriparser/Uri.h>

#include <vector>

namespace zorv::support {

std::string fileURLWithAbsolutePath(std::string_view path, bool isDirectory) {
  std::string absolute = path.starts_with('/') ? std::string() : std::string("/");
  absolute += path;
  if (isDirectory && absolute.back() != '/') absolute += '/';
  // The converter's documented worst case: every byte encoded, plus "file://".
  std::vector<char> buffer(absolute.size() * 3 + 8);
  if (uriUnixFilenameToUriStringA(absolute.c_str(), buffer.data()) != URI_SUCCESS) return {};
  return buffer.data();
}

}  // namespace zorv::support

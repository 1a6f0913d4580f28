#include "helper/file_urls.h"

#include "support/file_url.h"

namespace zorv::helper {

std::string fileURLWithPath(port::Files& files, const std::string& path,
                            std::optional<bool> isDirectory) {
  std::string absolute = path;
  if (!path.starts_with('/')) {
    absolute = files.currentDirectoryPath();
    if (!absolute.ends_with('/')) absolute += '/';
    absolute += path;
  }
  if (!isDirectory) {
    bool directory = false;
    isDirectory = files.fileExistsAtPath(absolute, directory) && directory;
  }
  return support::fileURLWithAbsolutePath(absolute, *isDirectory);
}

}  // namespace zorv::helper

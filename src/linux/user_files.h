#pragma once
// Files on a Linux desktop. The temporary directory is the user's own:
// $XDG_RUNTIME_DIR/zorv-helper, else $TMPDIR (or /tmp)/zorv-helper-UID, each
// created 0700 and used only when it is a real directory owned by the user that
// nobody else may enter; when someone else holds that name, a fresh private
// directory is made for the process. A new file is written under a temporary
// name in the same directory (O_EXCL, O_NOFOLLOW, 0600), synced, then renamed to
// its name only when nothing has that name (RENAME_NOREPLACE).

#include <mutex>
#include <optional>
#include <string>

#include "port/tasks.h"

namespace zorv::linux_desktop {

class UserFiles : public port::Files {
 public:
  std::string temporaryDirectory() override;
  std::string currentDirectoryPath() override;
  bool fileExistsAtPath(const std::string& path, bool& isDirectory) override;
  std::optional<port::PlatformError> writeNewFile(const std::string& path,
                                                  const std::string& contents) override;

  // Makes `path` a directory only the user may use, or checks that it is one;
  // never follows a symbolic link. False when it is not (someone else's, a link,
  // a file) and cannot be made one.
  static bool makePrivateDirectory(const std::string& path);

 private:
  std::mutex mutex_;
  std::optional<std::string> fallback_;  // guarded by mutex_
};

}  // namespace zorv::linux_desktop

#include "linux/user_files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zorv::linux_desktop {
namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and reports close's own failure (a delayed write error).
  int close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

std::string environmentPath(const char* name) {
  const char* value = std::getenv(name);
  if (!value || value[0] != '/') return {};
  std::string path = value;
  while (path.size() > 1 && path.ends_with('/')) path.pop_back();
  return path;
}

std::string randomSuffix() {
  unsigned char bytes[6];
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    const auto fallback =
        static_cast<unsigned long>(::getpid()) ^ static_cast<unsigned long>(std::rand());
    std::memcpy(bytes, &fallback, sizeof bytes);
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (unsigned char b : bytes) {
    text += kHex[b >> 4];
    text += kHex[b & 15];
  }
  return text;
}

port::PlatformError saveError(int code, const std::string& name, const std::string& folder) {
  if (code == EEXIST) {
    return {port::kFileErrorDomain, port::kFileWriteFileExistsError,
            "The file “" + name + "” couldn’t be saved in the folder “" + folder +
                "” because a file with the same name already exists."};
  }
  return {"NSPOSIXErrorDomain", code,
          "The file “" + name + "” couldn’t be saved in the folder “" + folder +
              "”: " + std::strerror(code) + "."};
}

// A folder in which nobody but the user (and root) can rename or replace our
// entries: not writable by others, or sticky like /tmp.
bool safeParent(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  const bool trustedOwner = info.st_uid == ::geteuid() || info.st_uid == 0;
  return trustedOwner && ((info.st_mode & 022) == 0 || (info.st_mode & S_ISVTX) != 0);
}

}  // namespace

bool UserFiles::makePrivateDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  // Opened without following a link, then checked on the opened directory
  // itself, so that nothing can be swapped in between.
  Descriptor dir(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (dir.get() < 0) return false;
  struct stat info {};
  if (::fstat(dir.get(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
    return false;
  }
  if ((info.st_mode & 07777) != 0700 && ::fchmod(dir.get(), 0700) != 0) return false;
  return true;
}

std::string UserFiles::temporaryDirectory() {
  const std::string runtime = environmentPath("XDG_RUNTIME_DIR");
  if (!runtime.empty() && safeParent(runtime) && makePrivateDirectory(runtime + "/zorv-helper")) {
    return runtime + "/zorv-helper/";
  }
  std::string base = environmentPath("TMPDIR");
  if (base.empty() || !safeParent(base)) base = "/tmp";
  const std::string own = base + "/zorv-helper-" + std::to_string(::geteuid());
  if (makePrivateDirectory(own)) return own + "/";

  // Someone else holds that name: a directory of this process's own instead.
  std::lock_guard lock(mutex_);
  if (!fallback_ || !makePrivateDirectory(*fallback_)) {
    std::string pattern = base + "/zorv-helper-XXXXXX";
    if (::mkdtemp(pattern.data())) {
      fallback_ = pattern;
    } else {
      fallback_.reset();
      return own + "/";  // writes there fail and say why
    }
  }
  return *fallback_ + "/";
}

std::string UserFiles::currentDirectoryPath() {
  std::vector<char> buffer(4096);
  while (!::getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE) return "/";
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

bool UserFiles::fileExistsAtPath(const std::string& path, bool& isDirectory) {
  struct stat info {};
  isDirectory = false;
  if (::stat(path.c_str(), &info) != 0) return false;
  isDirectory = S_ISDIR(info.st_mode);
  return true;
}

std::optional<port::PlatformError> UserFiles::writeNewFile(const std::string& path,
                                                           const std::string& contents) {
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return saveError(EISDIR, name, folder);

  Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return saveError(errno, name, folder);

  // A new file that nobody else can have prepared: created here, never through
  // a link, readable by the owner only.
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = "." + name + "." + randomSuffix();
    fd = ::openat(dir.get(), temporary.c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) return saveError(errno, name, folder);
  }
  if (fd < 0) return saveError(EAGAIN, name, folder);
  Descriptor file(fd);
  auto fail = [&](int code) {
    ::unlinkat(dir.get(), temporary.c_str(), 0);
    return saveError(code, name, folder);
  };
  // The umask may only take bits away; make it exactly owner read and write.
  if (::fchmod(file.get(), 0600) != 0) return fail(errno);
  std::size_t written = 0;
  while (written < contents.size()) {
    const ssize_t count = ::write(file.get(), contents.data() + written, contents.size() - written);
    if (count < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    written += static_cast<std::size_t>(count);
  }
  if (::fsync(file.get()) != 0) return fail(errno);
  if (file.close() != 0) return fail(errno);
  // Given its name only when nothing has it (a file, a link, a folder): the
  // kernel checks and renames in one step, so of two writers one gets EEXIST.
  if (::renameat2(dir.get(), temporary.c_str(), dir.get(), name.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL) return fail(errno);
    // A file system without that rename: a hard link is just as exclusive.
    if (::linkat(dir.get(), temporary.c_str(), dir.get(), name.c_str(), 0) != 0) {
      return fail(errno);
    }
    ::unlinkat(dir.get(), temporary.c_str(), 0);
  }
  ::fsync(dir.get());  // the new name survives a crash; a failure here changes nothing
  return std::nullopt;
}

}  // namespace zorv::linux_desktop

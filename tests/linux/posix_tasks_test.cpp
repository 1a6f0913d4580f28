// Child processes and files on the real system: environment, arguments,
// descriptors, output, termination, reaping, start failures; the private
// temporary directory and writes of new files that never replace one.

#include <gmock/gmock.h>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "linux/glib_dispatch.h"
#include "linux/posix_tasks.h"
#include "linux/private_bus.h"
#include "linux/user_files.h"

namespace zorv::testing {
namespace {

namespace fs = std::filesystem;
using linux_desktop::GlibDispatch;
using linux_desktop::PosixPipe;
using linux_desktop::PosixTask;
using linux_desktop::PosixTasks;
using linux_desktop::UserFiles;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

std::string text(const std::vector<std::uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

// A task for `path` with `arguments` and an empty environment, not launched.
std::shared_ptr<PosixTask> newTask(PosixTasks& tasks, const std::string& path,
                                   const std::vector<std::string>& arguments = {}) {
  auto task = std::static_pointer_cast<PosixTask>(tasks.createTask());
  task->setLaunchPath(path);
  task->setArguments(arguments);
  task->setEnvironment({});
  return task;
}

// Ignores the terminate signal, and says so by creating `ready`.
std::string stubborn(const fs::path& ready) {
  return "trap '' TERM; : > '" + ready.string() + "'; exec /bin/sleep 30";
}

// Runs `path` with `arguments` and waits; standard output and error as texts.
struct Run {
  std::shared_ptr<PosixTask> task;
  std::string out;
  std::string err;
};

Run run(const std::string& path, const std::vector<std::string>& arguments,
        const std::map<std::string, std::string>& environment = {}) {
  PosixTasks tasks;
  auto task = newTask(tasks, path, arguments);
  auto out = tasks.createPipe();
  auto err = tasks.createPipe();
  task->setEnvironment(environment);
  task->setStandardOutput(out);
  task->setStandardError(err);
  if (auto error = task->launch()) throw std::runtime_error(error->localizedDescription);
  Run result{task, {}, {}};
  std::thread errReader([&] { result.err = text(err->readDataToEndOfFile()); });
  result.out = text(out->readDataToEndOfFile());
  errReader.join();
  task->waitUntilExit();
  return result;
}

bool reaped(pid_t pid) {
  // Neither running nor a zombie: the pid is gone, or another process's.
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) < 0 &&
         errno == ECHILD;
}

// What this process carries must not reach the child: its environment, a
// descriptor a careless library left without close-on-exec, a blocked signal,
// an ignored signal.
TEST(PosixTasks, TheChildStartsClean) {
  ::setenv("ZORV_TEST_INHERITED", "yes", 1);
  const int leaky = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(leaky, 0);
  sigset_t blocked;
  sigset_t old;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGUSR1);
  ::pthread_sigmask(SIG_BLOCK, &blocked, &old);
  const auto disposition = ::signal(SIGUSR2, SIG_IGN);

  const auto environment = run("/usr/bin/env", {}, {{"LANG", "C"}, {"X", "a b"}}).out;
  // ls reads /proc/self/fd through a descriptor of its own: the lowest free one.
  const auto descriptors = run("/bin/ls", {"-1", "/proc/self/fd"}).out;
  const auto status = run("/bin/cat", {"/proc/self/status"}).out;

  ::signal(SIGUSR2, disposition);
  ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
  ::close(leaky);
  ::unsetenv("ZORV_TEST_INHERITED");
  EXPECT_EQ(environment, "LANG=C\nX=a b\n");
  EXPECT_EQ(descriptors, "0\n1\n2\n3\n");
  const auto mask = [&](const std::string& name) {
    const auto at = status.find("\n" + name + ":\t");
    return at == std::string::npos ? ~0ULL
                                   : std::stoull(status.substr(at + name.size() + 3), nullptr, 16);
  };
  EXPECT_EQ(mask("SigBlk"), 0u);
  // The C library's own signals above 31 cannot be reset; none of the standard ones is ignored.
  EXPECT_EQ(mask("SigIgn") & 0x7FFFFFFFu, 0u);
}

TEST(PosixTasks, ArgumentsArriveUnchangedAndTheOutputsInTheirPipes) {
  const auto result = run("/bin/sh", {"-c", "printf '[%s]' \"$@\"; printf oops >&2", "sh", "a b",
                                      "line\nbreak", "\"q\" \\", "", "\xC3\xA9"});
  EXPECT_EQ(result.out, "[a b][line\nbreak][\"q\" \\][][\xC3\xA9]");
  EXPECT_EQ(result.err, "oops");
}

TEST(PosixTasks, DiscardedOutputNeverStallsTheChild) {
  PosixTasks tasks;
  // Far more than a pipe holds, then a word on standard error.
  auto task =
      newTask(tasks, "/bin/sh", {"-c", "/usr/bin/head -c 20000000 /dev/zero; printf done >&2"});
  auto err = tasks.createPipe();
  task->setStandardError(err);
  task->discardStandardOutput();
  ASSERT_FALSE(task->launch());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(text(err->readDataToEndOfFile()), "done");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
  task->waitUntilExit();
}

TEST(PosixTasks, ATaskLaunchesOnceAndTerminateSendsTheTerminateSignal) {
  PosixTasks tasks;
  auto task = newTask(tasks, "/bin/sleep", {"30"});
  ASSERT_FALSE(task->launch());
  EXPECT_TRUE(task->launch());
  task->terminate();
  task->waitUntilExit();
  const auto status = task->terminationStatus();
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFSIGNALED(*status));
  EXPECT_EQ(WTERMSIG(*status), SIGTERM);
  task->terminate();  // after the end: nothing, and no other process is hit
}

TEST(PosixTasks, AChildIgnoringTheTerminateSignalIsKilledAfterTheGracePeriod) {
  ScratchDir dir;
  const fs::path ready = dir.path() / "ready";
  PosixTasks tasks;
  auto task = newTask(tasks, "/bin/sh", {"-c", stubborn(ready)});
  ASSERT_FALSE(task->launch());
  ASSERT_TRUE(iterateUntil([&] { return fs::exists(ready); }));

  const auto asked = std::chrono::steady_clock::now();
  task->terminate();
  task->terminate();  // asked twice: still one kill, when the time is up
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_FALSE(task->terminationStatus()) << "the child did not ignore the signal";
  task->waitUntilExit();
  const auto elapsed = std::chrono::steady_clock::now() - asked;
  const auto status = task->terminationStatus();
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFSIGNALED(*status));
  EXPECT_EQ(WTERMSIG(*status), SIGKILL);
  EXPECT_GE(elapsed, PosixTask::kTerminateGrace);
  EXPECT_LT(elapsed, PosixTask::kTerminateGrace + std::chrono::seconds(3));
}

TEST(PosixTasks, ARunningChildKeepsItsTaskAliveAndIsReapedWithoutAnyoneWaiting) {
  std::weak_ptr<port::Task> weak;
  pid_t pid = 0;
  PosixTasks tasks;
  {
    auto task = newTask(tasks, "/bin/sleep", {"0.3"});
    ASSERT_FALSE(task->launch());
    pid = task->processIdentifier();
    weak = task;
  }
  EXPECT_FALSE(weak.expired()) << "the task went while its child ran";
  for (int i = 0; i < 500 && !weak.expired(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(weak.expired()) << "the task outlived its child";
  EXPECT_TRUE(reaped(pid)) << "no zombie may be left";
}

// Started in the background, a child leaves a reader blocked on its standard
// error and a pending run-time limit on the global queue; it may already have
// been asked to end. Shutting down in the platform's order ends all of that
// before the objects it uses go, without waiting for the children.
TEST(PosixTasks, ShutdownReleasesReadersDropsDelayedWorkAndKillsChildrenAskedToEnd) {
  ScratchDir dir;
  const fs::path ready = dir.path() / "ready";
  auto tasks = std::make_unique<PosixTasks>();
  auto dispatch = std::make_unique<GlibDispatch>();
  // What the work touches, gone once the platform is.
  auto readersDone = std::make_unique<std::atomic<int>>(0);
  std::atomic<int> readersStarted{0};
  auto limitsRun = std::make_unique<std::atomic<int>>(0);
  std::vector<pid_t> pids;
  std::shared_ptr<port::Task> askedToEnd;
  for (const auto& script : {std::string("exec /bin/sleep 30"), stubborn(ready)}) {
    auto task = newTask(*tasks, "/bin/sh", {"-c", script});
    auto err = tasks->createPipe();
    task->setStandardError(err);
    task->discardStandardOutput();
    ASSERT_FALSE(task->launch());
    pids.push_back(task->processIdentifier());
    askedToEnd = task;
    dispatch->asyncGlobal([&, err] {
      ++readersStarted;
      err->readDataToEndOfFile();
      ++*readersDone;
    });
    dispatch->asyncAfterGlobal(std::chrono::milliseconds(300), [&] { ++*limitsRun; });
  }
  ASSERT_TRUE(iterateUntil([&] { return fs::exists(ready) && readersStarted == 2; }));
  askedToEnd->terminate();
  tasks.reset();
  dispatch.reset();

  EXPECT_EQ(readersDone->load(), 2) << "a reader still waits on a child";
  iterateUntil([] { return false; }, 600);  // past the delayed work's time
  EXPECT_EQ(limitsRun->load(), 0);
  readersDone.reset();
  limitsRun.reset();
  siginfo_t info{};
  for (int i = 0; i < 100 && info.si_pid == 0; ++i) {
    ::waitid(P_PID, static_cast<id_t>(pids[1]), &info, WEXITED | WNOHANG | WNOWAIT);
    if (info.si_pid == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(info.si_code, CLD_KILLED) << "the child asked to end was not killed at once";
  EXPECT_EQ(info.si_status, SIGKILL);
  for (pid_t pid : pids) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
}

TEST(PosixTasks, AFileThatCannotBeStartedIsAnErrorAndReadersAreNotLeftWaiting) {
  ScratchDir dir;
  const auto plain = dir.file("plain.txt", "hello", fs::perms::owner_read | fs::perms::owner_write);
  const auto noInterpreter =
      dir.file("script", "#!/nonexistent/interpreter\n", fs::perms::owner_all);
  struct Case {
    std::string path;
    std::string reason;
  };
  for (const auto& c : std::vector<Case>{
           {(dir.path() / "missing").string(), "No such file or directory"},
           {dir.path().string(), "Is a directory"},
           {plain.string(), "Permission denied"},
           {noInterpreter.string(), "No such file or directory"},
           {"", "No launch path"},
       }) {
    PosixTasks tasks;
    auto task = newTask(tasks, c.path);
    auto err = tasks.createPipe();
    task->setStandardError(err);
    task->discardStandardOutput();
    const auto error = task->launch();
    ASSERT_TRUE(error) << c.path;
    EXPECT_THAT(error->localizedDescription, HasSubstr(c.reason)) << c.path;
    if (!c.path.empty()) {
      EXPECT_THAT(error->localizedDescription, HasSubstr(c.path));
    }
    EXPECT_NE(error->code, 0);
    EXPECT_THAT(err->readDataToEndOfFile(), IsEmpty());  // returns at once
    task->waitUntilExit();                               // nothing to wait for
    task->terminate();
  }
}

fs::perms permissions(const fs::path& path) {
  return fs::symlink_status(path).permissions() & fs::perms::mask;
}

TEST(UserFiles, TheTemporaryDirectoryIsAPrivateFolderInTheRuntimeDirectory) {
  ScratchDir runtime;
  fs::permissions(runtime.path(), fs::perms::owner_all);
  ScopedVariable variable("XDG_RUNTIME_DIR", runtime.path().string());
  UserFiles files;
  const auto dir = files.temporaryDirectory();
  EXPECT_EQ(dir, (runtime.path() / "zorv-helper").string() + "/");
  EXPECT_EQ(permissions(dir), fs::perms::owner_all);
  EXPECT_EQ(files.temporaryDirectory(), dir);
}

TEST(UserFiles, WithoutARuntimeDirectoryItIsTheUsersFolderUnderTheTemporaryFolder) {
  ScratchDir tmp;
  ScopedVariable runtime("XDG_RUNTIME_DIR", std::nullopt);
  ScopedVariable tmpdir("TMPDIR", tmp.path().string());
  UserFiles files;
  const auto own = tmp.path() / ("zorv-helper-" + std::to_string(::geteuid()));
  EXPECT_EQ(files.temporaryDirectory(), own.string() + "/");
  EXPECT_EQ(permissions(own), fs::perms::owner_all);

  // Loosened by someone: it is ours, so it is made private again.
  fs::permissions(own, fs::perms::all);
  EXPECT_EQ(files.temporaryDirectory(), own.string() + "/");
  EXPECT_EQ(permissions(own), fs::perms::owner_all);
}

TEST(UserFiles, APlantedLinkOrSomeoneElsesFolderIsNeverUsed) {
  ScratchDir tmp;
  ScopedVariable runtime("XDG_RUNTIME_DIR", std::nullopt);
  ScopedVariable tmpdir("TMPDIR", tmp.path().string());
  const auto own = tmp.path() / ("zorv-helper-" + std::to_string(::geteuid()));
  const auto elsewhere = tmp.path() / "attacker";
  fs::create_directory(elsewhere);
  fs::create_directory_symlink(elsewhere, own);

  UserFiles files;
  const auto dir = files.temporaryDirectory();
  EXPECT_NE(dir, own.string() + "/");
  EXPECT_TRUE(dir.starts_with((tmp.path() / "zorv-helper-").string())) << dir;
  EXPECT_EQ(permissions(dir), fs::perms::owner_all);
  EXPECT_FALSE(fs::is_symlink(fs::path(dir).parent_path()));
  ASSERT_FALSE(files.writeNewFile(dir + "m.txt", "x"));
  EXPECT_TRUE(fs::is_empty(elsewhere));
  EXPECT_EQ(files.temporaryDirectory(), dir) << "one fallback per process";

  if (::geteuid() == 0) {
    // Root can show the other case: a real folder of another user.
    fs::remove(own);
    fs::create_directory(own);
    ASSERT_EQ(::chown(own.c_str(), 65534, 65534), 0);
    UserFiles other;
    EXPECT_NE(other.temporaryDirectory(), own.string() + "/");
  }
}

std::string contents(const fs::path& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(UserFiles, ANewFileIsOwnerOnlyAndLeavesNoTemporaryFileAndAFailureSaysWhichAndWhy) {
  ScratchDir dir;
  UserFiles files;
  const auto target = dir.path() / "message.txt";
  const mode_t oldMask = ::umask(0);
  const auto error = files.writeNewFile(target.string(), "report \xC3\xA9");
  ::umask(oldMask);
  ASSERT_FALSE(error);
  EXPECT_EQ(contents(target), "report \xC3\xA9");
  EXPECT_EQ(permissions(target), fs::perms::owner_read | fs::perms::owner_write);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename());
  }
  EXPECT_THAT(names, ElementsAre("message.txt"));

  const auto failed = files.writeNewFile("/nonexistent-zorv/dir/message.txt", "x");
  ASSERT_TRUE(failed);
  EXPECT_THAT(failed->localizedDescription, HasSubstr("message.txt"));
  EXPECT_THAT(failed->localizedDescription, HasSubstr("No such file or directory"));
}

// Whatever has the name already (a file, a link, a folder) is refused as
// existing and left as it was: never replaced, never followed.
class UserFilesTakenName : public ::testing::TestWithParam<const char*> {};

TEST_P(UserFilesTakenName, IsRefusedAndLeftIntact) {
  ScratchDir dir;
  const auto victim = dir.file("victim", "keep me", fs::perms::owner_read | fs::perms::owner_write);
  const auto target = dir.path() / "message.txt";
  const std::string kind = GetParam();
  if (kind == "file") fs::copy_file(victim, target);
  if (kind == "link") fs::create_symlink(victim, target);
  if (kind == "folder") fs::create_directory(target);
  const auto type = fs::symlink_status(target).type();
  UserFiles files;
  const auto error = files.writeNewFile(target.string(), "report");
  ASSERT_TRUE(error);
  EXPECT_TRUE(port::isFileExistsError(*error)) << error->localizedDescription;
  EXPECT_THAT(error->localizedDescription, HasSubstr("“message.txt”"));
  EXPECT_EQ(fs::symlink_status(target).type(), type);
  EXPECT_EQ(contents(victim), "keep me");
  if (kind == "file") {
    EXPECT_EQ(contents(target), "keep me");
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2) << "no temporary file";
}

INSTANTIATE_TEST_SUITE_P(Kinds, UserFilesTakenName, ::testing::Values("file", "link", "folder"),
                         [](const auto& testCase) { return std::string(testCase.param); });

TEST(UserFiles, OfWritesAtOnceToOneNameExactlyOneSucceeds) {
  ScratchDir dir;
  UserFiles files;
  const auto target = (dir.path() / "message.txt").string();
  std::atomic<bool> go{false};
  std::atomic<int> written{0}, refused{0};
  std::vector<std::thread> writers;
  for (int i = 0; i < 8; ++i) {
    writers.emplace_back([&, i] {
      while (!go) std::this_thread::yield();
      const auto error = files.writeNewFile(target, "writer " + std::to_string(i));
      if (!error) ++written;
      if (error && port::isFileExistsError(*error)) ++refused;
    });
  }
  go = true;
  for (auto& writer : writers) writer.join();
  EXPECT_EQ(written, 1);
  EXPECT_EQ(refused, 7);
  EXPECT_THAT(contents(target), ::testing::StartsWith("writer "));
}

TEST(UserFiles, CurrentDirectoryAndExistence) {
  ScratchDir dir;
  const auto file = dir.file("f", "", fs::perms::owner_read);
  UserFiles files;
  EXPECT_EQ(files.currentDirectoryPath(), fs::current_path().string());
  bool isDirectory = true;
  EXPECT_TRUE(files.fileExistsAtPath(file.string(), isDirectory));
  EXPECT_FALSE(isDirectory);
  EXPECT_TRUE(files.fileExistsAtPath(dir.path().string(), isDirectory));
  EXPECT_TRUE(isDirectory);
  EXPECT_FALSE(files.fileExistsAtPath((dir.path() / "none").string(), isDirectory));
}

}  // namespace
}  // namespace zorv::testing

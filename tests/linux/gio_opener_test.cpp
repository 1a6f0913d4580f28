// Opening through GIO with real programs: executables and desktop entries
// launched with URLs or arguments, the command line built from an Exec line,
// and GIO's errors as descriptions.

#include <gmock/gmock.h>

#include <gio/gio.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "linux/gio_opener.h"
#include "linux/private_bus.h"
#include "support/file_url.h"

namespace zorv::testing {
namespace {

namespace fs = std::filesystem;
using linux_desktop::GioOpener;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

// Runs every piece of work at once, on the caller's thread.
class InlineDispatch : public port::Dispatch {
 public:
  void asyncMain(port::Work work) override { work(); }
  void asyncGlobal(port::Work work) override { work(); }
  void asyncAfterGlobal(std::chrono::milliseconds, port::Work work) override { work(); }
};

std::vector<std::string> parsed(const std::string& commandLine) {
  gchar** argv = nullptr;
  std::vector<std::string> words;
  if (!g_shell_parse_argv(commandLine.c_str(), nullptr, &argv, nullptr)) return {"<unparsable>"};
  for (gchar** word = argv; *word; ++word) words.emplace_back(*word);
  g_strfreev(argv);
  return words;
}

TEST(GioOpener, AnExecLineGetsTheArgumentsInPlaceOfItsFieldCodes) {
  struct Case {
    std::string exec;
    std::vector<std::string> arguments;
    std::vector<std::string> words;
  };
  for (const auto& c : std::vector<Case>{
           {"/usr/bin/editor %U", {"--a", "b c"}, {"/usr/bin/editor", "--a", "b c"}},
           {"editor --new %f %i %c %k", {}, {"editor", "--new"}},
           {"\"/opt/my app/run\" -x %u", {"line\nbreak"}, {"/opt/my app/run", "-x", "line\nbreak"}},
           // GIO reads the result as an Exec line again, where "%%" is one "%".
           {"tool 50%%", {"100%"}, {"tool", "50%%", "100%%"}},
           {"tool", {"'quoted'", "\"double\""}, {"tool", "'quoted'", "\"double\""}},
       }) {
    EXPECT_THAT(parsed(GioOpener::commandLineWithArguments(c.exec, c.arguments)),
                ElementsAreArray(c.words))
        << c.exec;
  }
}

// A launch: the recorder itself, or a desktop entry running it with `exec`
// (ending in a field code) after its path; the arguments as URLs to open with
// it, or as arguments.
struct Launch {
  const char* name;
  const char* exec;
  bool asURLs;
  std::vector<std::string> arguments;
};

class Launching : public ::testing::TestWithParam<Launch> {
 protected:
  // A program that records its arguments, separated by NUL bytes, in `record`.
  fs::path recorder() {
    const fs::path script = dir / "recorder";
    const std::string out = record.string();
    std::ofstream(script) << "#!/bin/sh\n"
                          << "for a in \"$@\"; do printf '%s\\000' \"$a\"; done > '" << out
                          << ".part' && mv '" << out << ".part' '" << out << "'\n";
    fs::permissions(script, fs::perms::owner_all);
    return script;
  }
  fs::path desktopEntry(const std::string& exec, const std::string& name = "recorder.desktop") {
    const fs::path entry = dir / name;
    std::ofstream(entry.string()) << "[Desktop Entry]\nType=Application\nName=Recorder\nExec="
                                  << exec << "\n";
    return entry;
  }
  static std::string url(const fs::path& path) {
    return support::fileURLWithAbsolutePath(path.string(), false);
  }
  // The recorded arguments, once the recorder has run.
  std::optional<std::vector<std::string>> recorded() {
    for (int i = 0; i < 1000 && !fs::exists(record); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!fs::exists(record)) return std::nullopt;
    std::ifstream in(record);
    std::vector<std::string> arguments;
    for (std::string argument; std::getline(in, argument, '\0');) arguments.push_back(argument);
    return arguments;
  }
  // Opens `arguments` as URLs with the application, or starts it with them.
  std::optional<port::PlatformError> open(const fs::path& application, bool asURLs,
                                          std::vector<std::string> arguments) {
    std::optional<port::PlatformError> result;
    bool completed = false;
    const auto completion = [&](port::RunningApplicationRef, std::optional<port::PlatformError> e) {
      result = std::move(e);
      completed = true;
    };
    port::OpenConfiguration configuration;
    if (asURLs) {
      opener.openURLs(arguments, url(application), configuration, completion);
    } else {
      configuration.allowsRunningApplicationSubstitution = false;
      configuration.arguments = std::move(arguments);
      opener.openApplication(url(application), configuration, completion);
    }
    EXPECT_TRUE(completed);
    return result;
  }

  ScratchDir scratch;
  fs::path dir = scratch.path();
  fs::path record = dir / "record";
  InlineDispatch dispatch;
  GioOpener opener{dispatch};
};

TEST_P(Launching, TheProgramGetsExactlyItsArgumentsAndIsNeverLeftAZombie) {
  const auto& c = GetParam();
  fs::path application = recorder();
  if (c.exec) application = desktopEntry(application.string() + c.exec);
  ASSERT_FALSE(open(application, c.asURLs, c.arguments));
  // The entry's words before the field code, then the arguments.
  std::vector<std::string> expected;
  if (c.exec) expected = parsed(c.exec), expected.pop_back();
  expected.insert(expected.end(), c.arguments.begin(), c.arguments.end());
  EXPECT_THAT(recorded(), ::testing::Optional(ElementsAreArray(expected)));
  // GIO hands its launches to init; none stays a child of this process.
  siginfo_t info{};
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const int result = ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT);
  EXPECT_TRUE((result < 0 && errno == ECHILD) || (result == 0 && info.si_pid == 0));
}

INSTANTIATE_TEST_SUITE_P(
    GioOpener, Launching,
    ::testing::Values(
        Launch{"Executable", nullptr, false, {"--a", "line\nbreak", "100%", "it's \"q\""}},
        Launch{"DesktopEntry", " --from-entry %U", false, {"x y"}},
        Launch{"URLToExecutable", nullptr, true, {"https://example.org/a?b=c"}},
        Launch{"URLToDesktopEntry", " --url %u", true, {"zorv-test:thing"}}),
    [](const auto& test) { return std::string(test.param.name); });

class NotAnApplication : public Launching {};

TEST_F(NotAnApplication, IsAnErrorWithGiosText) {
  std::ofstream(dir / "notes.txt") << "text";
  std::ofstream(dir / "broken.desktop") << "this is no key file";
  const auto missingProgram = desktopEntry("/nonexistent/zorv-program %U", "missing.desktop");
  struct Case {
    fs::path path;
    std::string text;
  };
  for (const auto& c : std::vector<Case>{
           {dir / "missing", "No such file or directory"},
           {dir / "notes.txt", "is not an application"},
           {dir, "is not an application"},
           {dir / "broken.desktop", "is not a valid desktop entry"},
           {missingProgram, "/nonexistent/zorv-program"},
       }) {
    const auto error = open(c.path, false, {});
    ASSERT_TRUE(error) << c.path;
    EXPECT_THAT(error->localizedDescription, HasSubstr(c.text)) << c.path;
    EXPECT_FALSE(error->domain.empty());
    const auto urlError = open(c.path, true, {"https://example.org"});
    ASSERT_TRUE(urlError) << c.path;
    EXPECT_THAT(urlError->localizedDescription, HasSubstr(c.text)) << c.path;
  }
}

TEST(GioOpenerDefault, AURLWithoutAnyHandlerIsNotOpened) {
  InlineDispatch dispatch;
  GioOpener opener(dispatch);
  EXPECT_FALSE(opener.openURL("x-zorv-no-handler-anywhere:thing"));
}

}  // namespace
}  // namespace zorv::testing

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

class Launching : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zorv-open-XXXXXX").string();
    ASSERT_TRUE(::mkdtemp(pattern.data()));
    dir = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }

  // A program that records its arguments, separated by NUL bytes, in `record`.
  fs::path recorder(const std::string& name = "recorder") {
    const fs::path script = dir / name;
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
    const std::string text(std::istreambuf_iterator<char>(in), {});
    std::vector<std::string> arguments;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\0', start)) != std::string::npos; start = end + 1) {
      arguments.push_back(text.substr(start, end - start));
    }
    return arguments;
  }
  std::optional<port::PlatformError> openApplication(const std::string& applicationURL,
                                                     std::vector<std::string> arguments) {
    port::OpenConfiguration configuration;
    configuration.allowsRunningApplicationSubstitution = false;
    configuration.arguments = std::move(arguments);
    std::optional<port::PlatformError> result;
    bool completed = false;
    opener.openApplication(applicationURL, configuration,
                           [&](port::RunningApplicationRef, std::optional<port::PlatformError> e) {
                             result = std::move(e);
                             completed = true;
                           });
    EXPECT_TRUE(completed);
    return result;
  }
  std::optional<port::PlatformError> openURLs(const std::vector<std::string>& urls,
                                              const std::string& applicationURL) {
    std::optional<port::PlatformError> result;
    opener.openURLs(urls, applicationURL, {},
                    [&](port::RunningApplicationRef, std::optional<port::PlatformError> e) {
                      result = std::move(e);
                    });
    return result;
  }

  fs::path dir;
  fs::path record = "/nonexistent";
  InlineDispatch dispatch;
  GioOpener opener{dispatch};
};

TEST_F(Launching, AnExecutableGetsExactlyTheArguments) {
  record = dir / "record";
  const std::vector<std::string> arguments = {"--a", "line\nbreak", "100%", "it's \"q\""};
  ASSERT_FALSE(openApplication(url(recorder()), arguments));
  EXPECT_THAT(recorded(), ::testing::Optional(ElementsAreArray(arguments)));
}

TEST_F(Launching, ADesktopEntryGetsTheArgumentsInPlaceOfItsFieldCodes) {
  record = dir / "record";
  const auto entry = desktopEntry(recorder().string() + " --from-entry %U");
  ASSERT_FALSE(openApplication(url(entry), {"x y"}));
  EXPECT_THAT(recorded(), ::testing::Optional(ElementsAre("--from-entry", "x y")));
}

TEST_F(Launching, URLsGoToAnExecutableOrADesktopEntry) {
  record = dir / "record";
  ASSERT_FALSE(openURLs({"https://example.org/a?b=c"}, url(recorder())));
  EXPECT_THAT(recorded(), ::testing::Optional(ElementsAre("https://example.org/a?b=c")));

  fs::remove(record);
  const auto entry = desktopEntry(recorder("second").string() + " --url %u");
  ASSERT_FALSE(openURLs({"zorv-test:thing"}, url(entry)));
  EXPECT_THAT(recorded(), ::testing::Optional(ElementsAre("--url", "zorv-test:thing")));
}

TEST_F(Launching, WhatIsNotAnApplicationIsAnErrorWithGiosText) {
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
    const auto error = openApplication(url(c.path), {});
    ASSERT_TRUE(error) << c.path;
    EXPECT_THAT(error->localizedDescription, HasSubstr(c.text)) << c.path;
    EXPECT_FALSE(error->domain.empty());
    const auto urlError = openURLs({"https://example.org"}, url(c.path));
    ASSERT_TRUE(urlError) << c.path;
    EXPECT_THAT(urlError->localizedDescription, HasSubstr(c.text)) << c.path;
  }
}

TEST_F(Launching, LaunchedProgramsAreNeverLeftAsZombies) {
  record = dir / "record";
  ASSERT_FALSE(openApplication(url(recorder()), {"x"}));
  ASSERT_TRUE(recorded());
  // GIO hands its launches to init; none stays a child of this process.
  siginfo_t info{};
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const int result = ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT);
  EXPECT_TRUE((result < 0 && errno == ECHILD) || (result == 0 && info.si_pid == 0));
}

TEST(GioOpenerDefault, AURLWithoutAnyHandlerIsNotOpened) {
  InlineDispatch dispatch;
  GioOpener opener(dispatch);
  EXPECT_FALSE(opener.openURL("x-zorv-no-handler-anywhere:thing"));
}

}  // namespace
}  // namespace zorv::testing

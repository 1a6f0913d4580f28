// `sleep`: the core event to the system process, its error paths, and the
// disposal of every descriptor on each of them.

#include <gmock/gmock.h>

#include "desktop/memory_desktop.h"
#include "helper_fixture.h"

namespace zorv::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class Sleep : public HelperOnMemoryDesktop {
 protected:
  void SetUp() override {
    launch();
    desktop.log.clear();
    desktop.console.lines.clear();
  }
  std::vector<std::string> calls() const {
    std::vector<std::string> names;
    for (const auto& line : desktop.log.lines()) {
      if (line.starts_with("AE")) names.push_back(line.substr(0, line.find(' ')));
    }
    return names;
  }
};

TEST_F(Sleep, SendsSlepOfClassAevtToTheSystemProcessWithoutWaitingAndPrintsNothing) {
  run(R"({"sleep":{}})");
  const auto& log = desktop.log;
  // 'psn ' = 0x70736E20, 'aevt' = 0x61657674, 'slep' = 0x736C6570.
  EXPECT_THAT(log.withPrefix("AECreateDesc "), ElementsAre("type=1886613024 size=8"));
  // kSystemProcess: high half 0, then low half 1, most significant byte first.
  EXPECT_THAT(desktop.appleEvents.descData,
              ElementsAre(std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_THAT(log.withPrefix("AECreateAppleEvent "),
              ElementsAre("class=1634039412 id=1936483696 target=1 return=-1 transaction=0"));
  EXPECT_THAT(log.withPrefix("AESendMessage "), ElementsAre("event=2 mode=1 timeout=1000"));
  // The target goes before the send: the event holds its own copy.
  EXPECT_THAT(calls(), ElementsAre("AECreateDesc", "AECreateAppleEvent", "AEDisposeDesc",
                                   "AESendMessage", "AEDisposeDesc"));
  EXPECT_THAT(desktop.appleEvents.live, IsEmpty());
  EXPECT_THAT(desktop.console.lines, ElementsAre("in helper"));
  EXPECT_THAT(notificationTitles(), IsEmpty());
}

TEST_F(Sleep, EachFailurePrintsItsErrorAndDisposesEveryDescriptorMade) {
  // Each failure makes the calls up to its own, then disposes what was made.
  const std::vector<std::string> all = {"AECreateDesc",  "AECreateAppleEvent", "AEDisposeDesc",
                                        "AESendMessage", "AEDisposeDesc",      "AEDisposeDesc"};
  struct Case {
    const char* failingCall;
    port::StatusCode status;
    bool replyHandedBack;
    std::size_t calls;
  };
  for (const auto& c :
       {Case{"AECreateDesc", -108, false, 1}, Case{"AECreateAppleEvent", -1704, false, 3},
        Case{"AESendMessage", -600, false, 5}, Case{"AESendMessage", -1708, true, 6}}) {
    const std::string line = "The operation couldn’t be completed. (" + std::string(c.failingCall) +
                             " error " + std::to_string(c.status) + ".)";
    SCOPED_TRACE(line);
    desktop.appleEvents.failures = {{c.failingCall, c.status}};
    desktop.appleEvents.sendCreatesReply = c.replyHandedBack;
    desktop.log.clear();
    desktop.console.lines.clear();
    run(R"({"sleep":{}})");
    EXPECT_EQ(calls(), std::vector(all.begin(), all.begin() + std::ptrdiff_t(c.calls)));
    EXPECT_THAT(desktop.appleEvents.live, IsEmpty());
    EXPECT_THAT(desktop.console.lines, ElementsAre("in helper", line));
    EXPECT_THAT(notificationTitles(), IsEmpty());
  }
}

TEST_F(Sleep, AReplyDescriptorHandedBackOnSuccessIsDisposedToo) {
  desktop.appleEvents.sendCreatesReply = true;
  run(R"({"sleep":{}})");
  EXPECT_THAT(desktop.appleEvents.live, IsEmpty());
  EXPECT_THAT(desktop.console.lines, ElementsAre("in helper"));
}

}  // namespace
}  // namespace zorv::testing

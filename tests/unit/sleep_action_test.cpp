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
  struct Case {
    const char* failingCall;
    port::StatusCode status;
    bool replyHandedBack;
    std::vector<std::string> calls;
    const char* line;
  };
  for (const auto& c : std::vector<Case>{
           {"AECreateDesc",
            -108,
            false,
            {"AECreateDesc"},
            "The operation couldn’t be completed. (AECreateDesc error -108.)"},
           {"AECreateAppleEvent",
            -1704,
            false,
            {"AECreateDesc", "AECreateAppleEvent", "AEDisposeDesc"},
            "The operation couldn’t be completed. (AECreateAppleEvent error -1704.)"},
           {"AESendMessage",
            -600,
            false,
            {"AECreateDesc", "AECreateAppleEvent", "AEDisposeDesc", "AESendMessage",
             "AEDisposeDesc"},
            "The operation couldn’t be completed. (AESendMessage error -600.)"},
           {"AESendMessage",
            -1708,
            true,
            {"AECreateDesc", "AECreateAppleEvent", "AEDisposeDesc", "AESendMessage",
             "AEDisposeDesc", "AEDisposeDesc"},
            "The operation couldn’t be completed. (AESendMessage error -1708.)"},
       }) {
    SCOPED_TRACE(c.line);
    desktop.appleEvents.failures = {{c.failingCall, c.status}};
    desktop.appleEvents.sendCreatesReply = c.replyHandedBack;
    desktop.log.clear();
    desktop.console.lines.clear();
    run(R"({"sleep":{}})");
    EXPECT_THAT(calls(), ::testing::ElementsAreArray(c.calls));
    EXPECT_THAT(desktop.appleEvents.live, IsEmpty());
    EXPECT_THAT(desktop.console.lines, ElementsAre("in helper", c.line));
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

// `simulateKeystroke`: decoding the code, the events posted in order with their
// flags, the two log lines, and what happens when an event cannot be made.

#include <gmock/gmock.h>

#include "helper/keystroke.h"
#include "unit/helper_fixture.h"

namespace zorv::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr port::EventFlags kCommand = 0x100000;
constexpr port::EventFlags kShift = 0x20000;
constexpr port::EventFlags kOption = 0x80000;
constexpr port::EventFlags kControl = 0x40000;
constexpr port::EventFlags kAlphaShift = 0x10000;

std::string request(std::int64_t code) {
  return R"({"simulateKeystroke":{"code":)" + std::to_string(code) + "}}";
}

// "55 down 0", "0 down 1179648", ...: code, direction, flags.
std::vector<std::string> posted(const MemoryKeyboardEvents& keyboard) {
  std::vector<std::string> events;
  for (const auto& e : keyboard.posted) {
    events.push_back(std::to_string(e.keyCode) + (e.keyDown ? " down " : " up ") +
                     std::to_string(e.flags));
  }
  return events;
}

TEST(DecodeKeystroke, TakesTheLowByteAndTheFourModifierBitsOnly) {
  using helper::decodeKeystroke;
  using helper::Keystroke;
  struct Case {
    std::int64_t code;
    Keystroke expected;
  };
  const Case cases[] = {
      {36, {36, {}}},
      {0x1031, {49, {.control = true}}},
      {0x1B00 + 12, {12, {true, true, true, true}}},
      // Bit 10 and everything above bit 12 are ignored.
      {0x7FF, {0xFF, {.command = true, .shift = true}}},
      {std::int64_t(1) << 40 | 0x801, {1, {.option = true}}},
      // Negative: bits 0 to 12 of the two's complement. -1 has them all set.
      {-1, {0xFF, {true, true, true, true}}},
      {INT64_MIN, {0, {}}},
  };
  for (const auto& c : cases) {
    const auto got = decodeKeystroke(c.code);
    EXPECT_EQ(got, c.expected) << "code " << c.code << " gave key " << got.keyCode;
  }
}

class SimulateKeystroke : public HelperOnMemoryDesktop {
 protected:
  void SetUp() override { launch(); }
};

TEST_F(SimulateKeystroke, AllFourModifiersGoDownAndUpInTheSameOrderAroundTheKey) {
  run(request(0x1B00 + 1));
  const auto all = std::to_string(kCommand | kShift | kOption | kControl);
  EXPECT_THAT(posted(desktop.keyboard),
              ElementsAre("55 down 0", "56 down 0", "58 down 0", "59 down 0", "1 down " + all,
                          "1 up " + all, "55 up 0", "56 up 0", "58 up 0", "59 up 0"));
  EXPECT_THAT(out(), ElementsAre("in helper", "\u2318 \u21e7 \u2325 \u2303 S key down simulated",
                                 "\u2318 \u21e7 \u2325 \u2303 S key up simulated"));
  // Every event has no source, goes to the HID tap and is released.
  for (const auto& e : desktop.keyboard.posted) {
    EXPECT_FALSE(e.hadSource);
    EXPECT_EQ(e.tap, port::EventTap::hid);
  }
  EXPECT_EQ(desktop.keyboard.liveEvents, 0);
}

TEST_F(SimulateKeystroke, EachModifierAloneHasItsKeyAndItsFlag) {
  struct Case {
    int bit;
    std::uint16_t key;
    port::EventFlags flag;
    std::string glyph;
  };
  const Case cases[] = {{0x100, 55, kCommand, "\u2318 "},
                        {0x200, 56, kShift, "\u21e7 "},
                        {0x800, 58, kOption, "\u2325 "},
                        {0x1000, 59, kControl, "\u2303 "}};
  for (const auto& c : cases) {
    desktop.keyboard.posted.clear();
    desktop.console.lines.clear();
    run(request(c.bit + 36));
    const auto key = std::to_string(c.key);
    EXPECT_THAT(posted(desktop.keyboard),
                ElementsAre(key + " down 0", "36 down " + std::to_string(c.flag),
                            "36 up " + std::to_string(c.flag), key + " up 0"))
        << "bit " << c.bit;
    EXPECT_THAT(out(), ElementsAre("in helper", c.glyph + "Return (Enter) key down simulated",
                                   c.glyph + "Return (Enter) key up simulated"));
  }
}

TEST_F(SimulateKeystroke, TheModifiersOnlyAddFlagsToThoseANewEventHas) {
  desktop.keyboard.initialFlags = kAlphaShift | kShift;
  run(request(0x300));
  const auto initial = std::to_string(kAlphaShift | kShift);
  const auto main = std::to_string(kAlphaShift | kShift | kCommand);
  EXPECT_THAT(posted(desktop.keyboard),
              ElementsAre("55 down " + initial, "56 down " + initial, "0 down " + main,
                          "0 up " + main, "55 up " + initial, "56 up " + initial));
}

TEST_F(SimulateKeystroke, TheLogLinesFollowTheEventsTheyReport) {
  run(request(0x100));
  const auto& lines = desktop.log.lines();
  std::vector<std::string> keyboardAndOutput;
  for (const auto& line : lines) {
    if (line.starts_with("key: ") || line.starts_with("stdout: "))
      keyboardAndOutput.push_back(line);
  }
  EXPECT_THAT(keyboardAndOutput,
              ElementsAre("stdout: in helper", "key: 55 down flags=0", "key: 0 down flags=1048576",
                          "stdout: \u2318 A key down simulated", "key: 0 up flags=1048576",
                          "key: 55 up flags=0", "stdout: \u2318 A key up simulated"));
}

// A key without event is neither pressed nor released; when a modifier has
// none, the others are not pressed either: they would never be released.
TEST_F(SimulateKeystroke, AKeyOrModifierWithoutEventLeavesNothingPressed) {
  for (const auto& [failing, code, keys] : {std::tuple{130, 0x300 + 130, "\u2318 \u21e7 130"},
                                            {58, 0x100 + 0x800 + 2, "\u2318 \u2325 D"}}) {
    desktop.keyboard.failingKeyCodes = {std::uint16_t(failing)};
    desktop.console.lines.clear();
    run(request(code));
    EXPECT_THAT(posted(desktop.keyboard), IsEmpty());
    EXPECT_THAT(out(), ElementsAre("in helper", std::string(keys) +
                                                    " key down not simulated: the keyboard event "
                                                    "could not be created"));
    EXPECT_EQ(desktop.keyboard.liveEvents, 0);
  }
  // The next request runs normally: a plain key is one down and one up without flags.
  desktop.console.lines.clear();
  run(request(0));
  EXPECT_THAT(posted(desktop.keyboard), ElementsAre("0 down 0", "0 up 0"));
  EXPECT_THAT(out(), ElementsAre("in helper", "A key down simulated", "A key up simulated"));
}

}  // namespace
}  // namespace zorv::testing

// The keyboard mappings of the Linux backend: virtual key codes to evdev keys,
// the translation of keys through an XKB keymap's groups, the identifiers of the
// groups, and selecting sources on a real X server whose layouts change.

#include <gmock/gmock.h>
#include <linux/input-event-codes.h>

#include <map>
#include <optional>
#include <set>

#include "helper/key_names.h"
#include "linux/key_codes.h"
#include "linux/private_bus.h"
#include "linux/x11/xkb_input_sources.h"
#include "linux/x11/xkb_layout.h"

// After the test framework: X11 defines None as a macro.
#include <X11/XKBlib.h>

namespace zorv::testing {
namespace {

using linux_desktop::evdevCode;
using linux_desktop::inputSourceIDs;
using linux_desktop::XkbLayout;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(VirtualKeyCodes, EveryNamedKeyAndModifierIsOnePhysicalKeyOfItsOwn) {
  for (const auto& [code, name] : helper::staticKeyNames()) {
    EXPECT_TRUE(evdevCode(static_cast<std::uint16_t>(code)).has_value()) << code << " " << name;
  }
  for (int code : {10, 49, 54, 55, 56, 57, 58, 59, 60, 61, 62, 67, 93, 94, 95, 102, 104, 110}) {
    EXPECT_TRUE(evdevCode(static_cast<std::uint16_t>(code)).has_value()) << code;
  }
  // Keys are physical positions: the ones a layout moves, and the modifiers.
  const std::pair<std::uint16_t, std::uint16_t> cases[] = {
      {6, KEY_Z},          {16, KEY_Y},          {10, KEY_102ND},    {50, KEY_GRAVE},
      {55, KEY_LEFTMETA},  {56, KEY_LEFTSHIFT},  {58, KEY_LEFTALT},  {59, KEY_LEFTCTRL},
      {54, KEY_RIGHTMETA}, {60, KEY_RIGHTSHIFT}, {61, KEY_RIGHTALT}, {62, KEY_RIGHTCTRL}};
  for (const auto& [code, key] : cases) EXPECT_EQ(evdevCode(code), key) << code;
  for (int code : {52, 63, 66, 108, 127, 128, 256, 65535}) {
    EXPECT_EQ(evdevCode(static_cast<std::uint16_t>(code)), std::nullopt) << code;
  }
  std::set<std::uint16_t> keys;
  for (const auto& [code, key] : linux_desktop::virtualKeyTable()) {
    EXPECT_TRUE(keys.insert(key).second) << code << " shares a key";
    // X key codes are at most 255.
    EXPECT_LE(key + linux_desktop::kXKeycodeOffset, 255u) << code;
  }
}

TEST(InputSourceIDs, AreTheLayoutsWithTheirVariantsAsSetxkbmapNamesThem) {
  using namespace std::string_literals;
  EXPECT_THAT(inputSourceIDs("evdev\0pc105\0us,de\0\0\0"s), ElementsAre("us", "de"));
  EXPECT_THAT(inputSourceIDs("evdev\0pc105\0us,de,fr\0,nodeadkeys,\0grp:alt_shift_toggle\0"s),
              ElementsAre("us", "de(nodeadkeys)", "fr"));
  EXPECT_THAT(inputSourceIDs("evdev\0pc105\0de\0neo"s), ElementsAre("de(neo)"));
  EXPECT_THAT(inputSourceIDs("evdev\0pc105\0\0\0\0"s), IsEmpty());
  EXPECT_THAT(inputSourceIDs(""), IsEmpty());
}

// us and de as the evdev rules build them, the keymap an X server of this kind
// has after `setxkbmap -layout us,de`.
class XkbTranslation : public ::testing::Test {
 protected:
  void SetUp() override {
    context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    ASSERT_NE(context_, nullptr);
    xkb_rule_names names{"evdev", "pc105", "us,de", "", ""};
    keymap_ = linux_desktop::adoptKeymap(
        xkb_keymap_new_from_names(context_, &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    ASSERT_NE(keymap_, nullptr);
    ASSERT_EQ(xkb_keymap_num_layouts(keymap_.get()), 2u);
  }
  void TearDown() override {
    keymap_.reset();
    if (context_) xkb_context_unref(context_);
  }

  std::u16string text(int group, std::uint16_t code, std::uint32_t modifiers = 0) {
    XkbLayout layout(keymap_, xkb_layout_index_t(group));
    const auto translation = layout.translate(code, modifiers, 4);
    EXPECT_EQ(translation.status, port::kSuccess) << code;
    return translation.text;
  }

  xkb_context* context_ = nullptr;
  linux_desktop::KeymapRef keymap_;
};

// Each group types its own characters at the same positions; the modifiers
// choose the level; dead keys show their spacing characters.
TEST_F(XkbTranslation, TheGroupAndTheModifiersChooseTheTextThatMustFitTheBuffer) {
  const std::tuple<int, std::uint16_t, std::uint32_t, std::u16string> cases[] = {
      {0, 16, 0, u"y"},      {1, 16, 0, u"z"},    {1, 27, 0, u"\u00df"}, {1, 10, 0, u"<"},
      {1, 24, 0, u"\u00b4"}, {1, 24, 0x02, u"`"}, {0, 123, 0, u""},      {0, 63, 0, u""},
      {0, 0, 0x02, u"A"},    {0, 0, 0x04, u"A"},  {1, 12, 0x08, u"@"},   {0, 0, 0x10, u"\u0001"}};
  for (const auto& [group, code, modifiers, expected] : cases) {
    EXPECT_EQ(text(group, code, modifiers), expected) << group << " " << code << " " << modifiers;
  }
  // Text longer than the buffer is an error.
  const auto tooLong = XkbLayout(keymap_, 1).translate(27, 0, 0);
  EXPECT_EQ(tooLong.status, linux_desktop::kOutputBufferTooSmall);
  EXPECT_EQ(tooLong.text, u"");
}

void setLayouts(const std::string& display, const std::string& layouts) {
  const gchar* argv[] = {"setxkbmap", "-display",      display.c_str(),
                         "-layout",   layouts.c_str(), nullptr};
  gint status = -1;
  ASSERT_TRUE(g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_SEARCH_PATH,
                           nullptr, nullptr, nullptr, nullptr, &status, nullptr));
  ASSERT_TRUE(g_spawn_check_wait_status(status, nullptr)) << layouts;
}

// The name of the server's locked group, read through a connection of its own.
std::string lockedGroupName(Display* display) {
  XkbStateRec state{};
  XkbDescPtr keyboard = XkbAllocKeyboard();
  std::string name = "?";
  if (XkbGetState(display, XkbUseCoreKbd, &state) == Success &&
      XkbGetNames(display, XkbGroupNamesMask, keyboard) == Success && keyboard->names) {
    char* atom = XGetAtomName(display, keyboard->names->groups[state.locked_group]);
    name = atom ? atom : "";
    XFree(atom);
  }
  XkbFreeKeyboard(keyboard, 0, True);
  return name;
}

struct LayoutChange {
  const char* name;
  const char* layoutsAfter;  // the sources are read with "us,de" first
  const char* select;
  unsigned lockFirst;  // the group locked before the selection
  port::StatusCode status;
  const char* lockedAfter;
};

class SourcesAfterALayoutChange : public ::testing::TestWithParam<LayoutChange> {};

TEST_P(SourcesAfterALayoutChange, SelectTheirOwnLayoutWhereverItIsNow) {
  const auto& c = GetParam();
  PrivateXServer server;
  setLayouts(server.name(), "us,de");
  auto display = linux_desktop::X11Display::open(server.name().c_str());
  ASSERT_TRUE(display);
  linux_desktop::XkbTextInputSources sources(display.get());
  std::map<std::string, port::InputSourceRef> byID;
  for (const auto& source : sources.createInputSourceList(false)) {
    const auto id =
        sources.getInputSourceProperty(source, port::InputSourceProperty::inputSourceID);
    byID[std::get<std::string>(id.value())] = source;
  }
  ASSERT_EQ(byID.size(), 2u);

  setLayouts(server.name(), c.layoutsAfter);
  XkbLockGroup(display->get(), XkbUseCoreKbd, c.lockFirst);
  XSync(display->get(), False);
  EXPECT_EQ(sources.selectInputSource(byID.at(c.select)), c.status);
  EXPECT_EQ(lockedGroupName(display->get()), c.lockedAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SourcesAfterALayoutChange,
    ::testing::Values(LayoutChange{"usAfterReorder", "de,us", "us", 0, port::kSuccess,
                                   "English (US)"},
                      LayoutChange{"deAfterReorder", "de,us", "de", 1, port::kSuccess, "German"},
                      // us is gone: nothing is locked, whatever group 0 now is.
                      LayoutChange{"removedLayout", "fr,de", "us", 1, -50, "German"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace zorv::testing

// The element layer: which result codes each operation turns into an absent
// value, a default or a thrown AXError; descriptions; value packing.

#include <gmock/gmock.h>

#include "ax/ui_element.h"
#include "desktop/memory_desktop.h"

namespace zorv::testing {
namespace {

using ax::AXError;
using ax::AXValue;
using ax::UIElement;
using ::testing::ElementsAre;

class ElementLayer : public ::testing::Test {
 protected:
  MemoryDesktop desktop;
  std::shared_ptr<AXNode> node = desktop.accessibility.newNode(42, "AXButton", "OK");
  UIElement element{desktop.platform(), desktop.accessibility.ref(node)};

  port::StatusCode thrownBy(const std::function<void()>& call) {
    try {
      call();
    } catch (const AXError& error) {
      return error.code();
    }
    return 0;
  }
};

TEST_F(ElementLayer, ReadingAnAttributeMapsMissingValuesToAbsentAndThrowsTheRest) {
  EXPECT_EQ(element.attribute<std::string>("AXTitle"), "OK");
  EXPECT_EQ(element.attribute<std::string>("AXNothing"), std::nullopt);  // unsupported
  node->readErrors["AXValue"] = kAXErrorNoValue;
  EXPECT_EQ(element.attribute<std::string>("AXValue"), std::nullopt);
  node->readErrors["AXValue"] = kAXErrorAPIDisabled;
  EXPECT_EQ(thrownBy([&] { element.attribute<std::string>("AXValue"); }), kAXErrorAPIDisabled);
  EXPECT_THROW(element.attribute<bool>("AXTitle"), ax::TypeMismatch);
}

TEST_F(ElementLayer, EachOperationHasItsOwnRulesForNoValueAndUnsupported) {
  using Call = std::function<bool(UIElement&)>;
  struct Rule {
    const char* operation;
    Call call;
    const char* onNoValue;  // "true", "false", or a thrown code
    const char* onUnsupported;
  };
  const Rule rules[] = {
      {"attributeIsSupported", [](UIElement& e) { return e.attributeIsSupported("AXX"); }, "true",
       "false"},
      {"attributeIsSettable", [](UIElement& e) { return e.attributeIsSettable("AXX"); }, "false",
       "false"},
      {"attributeValues", [](UIElement& e) { return e.attributeValues("AXX", 0, 5).has_value(); },
       "false", "false"},
      {"attributeValueCount", [](UIElement& e) { return e.attributeValueCount("AXX").has_value(); },
       "-25212", "false"},
  };
  const auto outcome = [&](const Rule& rule) -> std::string {
    const auto code = thrownBy([&] { rule.call(element); });
    return code != 0 ? std::to_string(code) : rule.call(element) ? "true" : "false";
  };
  for (const auto& rule : rules) {
    SCOPED_TRACE(rule.operation);
    node->attributes["AXX"] = port::Array{};
    node->readErrors["AXX"] = kAXErrorNoValue;
    EXPECT_EQ(outcome(rule), rule.onNoValue);
    node->readErrors["AXX"] = kAXErrorAttributeUnsupported;
    EXPECT_EQ(outcome(rule), rule.onUnsupported);
    node->readErrors["AXX"] = kAXErrorCannotComplete;
    EXPECT_EQ(outcome(rule), "-25204");
    node->readErrors.erase("AXX");
  }
}

TEST_F(ElementLayer, ActionsAndPidThrowEveryFailure) {
  node->actionResults["AXPress"] = kAXErrorCannotComplete;
  EXPECT_EQ(thrownBy([&] { element.performAction(ax::Action::press); }), kAXErrorCannotComplete);
  EXPECT_EQ(element.pid(), 42);
  node->allCallsFail = kAXErrorInvalidUIElement;
  EXPECT_EQ(thrownBy([&] { element.pid(); }), kAXErrorInvalidUIElement);
  EXPECT_EQ(thrownBy([&] { element.attributeNames(); }), kAXErrorInvalidUIElement);
}

TEST_F(ElementLayer, ValuesArePackedAsThePlatformExpects) {
  element.setAttribute("AXPosition", AXValue{port::Point{1, 2}});
  element.setAttribute("AXSize", AXValue{port::Size{3, 4}});
  element.setAttribute("AXSelectedTextRange", AXValue{port::Range{5, 6}});
  auto other = std::make_shared<UIElement>(desktop.platform(), desktop.accessibility.ref(node));
  element.setAttribute("AXTitleUIElement", AXValue{other});
  EXPECT_EQ(*node->attributes["AXPosition"].get<port::Point>(), (port::Point{1, 2}));
  EXPECT_EQ(*node->attributes["AXSize"].get<port::Size>(), (port::Size{3, 4}));
  EXPECT_EQ(*node->attributes["AXSelectedTextRange"].get<port::Range>(), (port::Range{5, 6}));
  const auto* sent = node->attributes["AXTitleUIElement"].get<port::ElementRef>();
  ASSERT_TRUE(sent);
  EXPECT_TRUE(port::sameElement(*sent, element.element()));

  // An element read back is a new wrapper, equal to any other of the same element.
  auto read = element.attribute<ax::UIElementPtr>("AXTitleUIElement");
  ASSERT_TRUE(read && *read);
  EXPECT_TRUE(**read == element);
  node->writeResults["AXValue"] = kAXErrorIllegalArgument;
  EXPECT_EQ(thrownBy([&] { element.setAttribute("AXValue", AXValue{std::string("x")}); }),
            kAXErrorIllegalArgument);
  // The node refers to itself through that attribute: break the cycle.
  node->attributes.erase("AXTitleUIElement");
}

TEST_F(ElementLayer, Descriptions) {
  desktop.workspace.launch(42, "Editor", "org.example.Editor");
  const auto serial = std::to_string(node->serial);
  EXPECT_EQ(element.description(),
            "<AXButton \"<AXUIElement #" + serial + " {pid=42}>\" (pid=42)>");

  auto app = ax::Application::fromPid(desktop.platform(), 42);
  ASSERT_TRUE(app);
  EXPECT_EQ(app->description(), "<AXApplication \"org.example.Editor\" (pid=42)>");

  auto window = desktop.accessibility.newNode(42, "AXWindow", "Untitled 1");
  EXPECT_EQ(UIElement(desktop.platform(), desktop.accessibility.ref(window)).description(),
            "<AXWindow \"Untitled 1\" (pid=42)>");

  node->attributes.erase("AXRole");
  EXPECT_EQ(element.description(),
            "<UIElementNoRole \"<AXUIElement #" + serial + " {pid=42}>\" (pid=42)>");
  node->allCallsFail = kAXErrorInvalidUIElement;
  EXPECT_EQ(element.description(),
            "<InvalidUIElement \"<AXUIElement #" + serial + " {pid=42}>\" (pid=?\?)>");
}

TEST_F(ElementLayer, ApplicationsComeOnlyFromLiveProcesses) {
  auto editor = desktop.workspace.launch(42, "Editor", "org.example.Editor");
  auto negative = desktop.workspace.launch(-5, "Odd", "org.example.Odd");
  EXPECT_TRUE(ax::Application::fromPid(desktop.platform(), 42));
  EXPECT_FALSE(ax::Application::fromPid(desktop.platform(), 7));
  EXPECT_FALSE(ax::Application::fromRunningApplication(desktop.platform(), negative));
  editor->terminated = true;
  EXPECT_FALSE(ax::Application::fromRunningApplication(desktop.platform(), editor));
}

}  // namespace
}  // namespace zorv::testing

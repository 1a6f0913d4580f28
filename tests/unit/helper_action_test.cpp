// The action request document: decoding, encoding, limits against hostile
// input, and menu command info equality.

#include "helper/helper_action.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <unordered_set>
#include <vector>

#include "support/list_notation.h"
#include "support/overloaded.h"

using namespace std::string_literals;
using zorv::helper::decodeHelperActionDocument;
using zorv::helper::decodeMenuCommandInfo;
using zorv::helper::DecodingError;
using zorv::helper::encodeHelperAction;
using zorv::helper::encodeMenuCommandInfo;
using zorv::helper::HelperAction;
using zorv::helper::kInvalidNumberOfKeys;
using zorv::helper::kMaxDocumentBytes;
using zorv::helper::kMaxDocumentDepth;
using zorv::helper::URL;

using zorv::support::Overloaded;

namespace {

std::string quoted(const std::string& text) {
  return "\"" + text + "\"";
}
std::string optionalText(const std::optional<std::string>& text) {
  return text ? quoted(*text) : "none";
}

// The fields of an action as one line, written without the encoder so that
// both sides of a round trip are checked against something independent.
std::string fieldsOf(const HelperAction& action) {
  return std::visit(
      Overloaded{
          [](const HelperAction::Menu& c) {
            return "menu " + zorv::support::listNotation(c.menuItems);
          },
          [](const HelperAction::MenuCommand& c) {
            return "menuCommand " + quoted(c.info.menuTitle);
          },
          [](const HelperAction::OpenURL& c) {
            return "openURL " + quoted(c.url.absoluteString()) + " " +
                   optionalText(c.applicationPath);
          },
          [](const HelperAction::LaunchApp& c) {
            return "launchApp " + quoted(c.path) + " " + optionalText(c.launchArgumentsText);
          },
          [](const HelperAction::SwitchWindow&) { return "switchWindow"s; },
          [](const HelperAction::ExecuteFile& c) {
            return "executeFile " + quoted(c.path) + " " + optionalText(c.argumentsText);
          },
          [](const HelperAction::Sleep&) { return "sleep"s; },
          [](const HelperAction::SimulateKeystroke& c) {
            return "simulateKeystroke " + std::to_string(c.code);
          },
          [](const HelperAction::SwitchInputMethod& c) {
            return "switchInputMethod " + quoted(c.inputSourceID);
          },
      },
      action.kind);
}

URL url(std::string_view text) {
  return URL::parse(std::string(text)).value();
}

// Expected outcomes besides a decoded action (written as fieldsOf would).
const std::string kKeyCountFailure = "<fails: invalid number of keys>";
const std::string kFailure = "<fails>";

struct DecodeRow {
  const char* label;
  std::string document;
  std::string expected;
};

std::ostream& operator<<(std::ostream& out, const DecodeRow& row) {
  return out << row.label;
}

// Checks one document against its expected outcome. Other failures must not
// borrow the key-count text: it is reserved for that one reason.
void expectOutcome(const std::string& document, const std::string& expected) {
  const auto result = decodeHelperActionDocument(document);
  if (expected == kKeyCountFailure) {
    ASSERT_TRUE(std::holds_alternative<DecodingError>(result)) << fieldsOf(std::get<0>(result));
    EXPECT_EQ(std::get<DecodingError>(result).description, kInvalidNumberOfKeys);
  } else if (expected == kFailure) {
    ASSERT_TRUE(std::holds_alternative<DecodingError>(result)) << fieldsOf(std::get<0>(result));
    const std::string& description = std::get<DecodingError>(result).description;
    EXPECT_FALSE(description.empty());
    EXPECT_NE(description, kInvalidNumberOfKeys);
  } else {
    ASSERT_TRUE(std::holds_alternative<HelperAction>(result))
        << std::get<DecodingError>(result).description;
    EXPECT_EQ(fieldsOf(std::get<HelperAction>(result)), expected);
  }
}

class DecodeTable : public testing::TestWithParam<DecodeRow> {};
TEST_P(DecodeTable, YieldsExpectedOutcome) {
  expectOutcome(GetParam().document, GetParam().expected);
}

std::string rowName(const testing::TestParamInfo<DecodeRow>& info) {
  return info.param.label;
}

// --- the top-level object and its one recognised member -------------------

INSTANTIATE_TEST_SUITE_P(
    TopLevel, DecodeTable,
    testing::Values(
        DecodeRow{"Sleep", R"({"sleep":{}})", "sleep"},
        DecodeRow{"SwitchWindow", R"({"switchWindow":{}})", "switchWindow"},
        DecodeRow{"EmptyObject", R"({})", kKeyCountFailure},
        DecodeRow{"TwoCases", R"({"sleep":{},"switchWindow":{}})", kKeyCountFailure},
        DecodeRow{"TwoCasesAndUnknown", R"({"menu":{"menuItems":[]},"x":1,"sleep":{}})",
                  kKeyCountFailure},
        DecodeRow{"WrongLetterCase", R"({"Sleep":{}})", kKeyCountFailure},
        DecodeRow{"CaseNameWithTrailingNul", R"({"sleep\u0000":{}})", kKeyCountFailure},
        DecodeRow{"CaseNameWithSpace", R"({" sleep":{}})", kKeyCountFailure},
        DecodeRow{"UnknownCaseFromNewerSender", R"({"reboot":{}})", kKeyCountFailure},
        DecodeRow{"UnknownMemberIgnored", R"({"sleep":{},"note":"anything"})", "sleep"},
        DecodeRow{"UnknownMemberFirst", R"({"aaa":[1,2],"sleep":{}})", "sleep"},
        // Repeated names are the parser's business; it keeps the last one.
        DecodeRow{"RepeatedNameCountsOnce", R"({"sleep":{},"sleep":{}})", "sleep"},
        DecodeRow{"PayloadNull", R"({"sleep":null})", kFailure},
        DecodeRow{"PayloadTrue", R"({"sleep":true})", kFailure},
        DecodeRow{"PayloadArray", R"({"sleep":[]})", kFailure},
        DecodeRow{"PayloadString", R"({"switchWindow":"x"})", kFailure},
        DecodeRow{"PayloadNumber", R"({"switchWindow":0})", kFailure},
        DecodeRow{"PayloadNullForCaseWithFields", R"({"executeFile":null})", kFailure},
        DecodeRow{"SleepIgnoresContents", R"({"sleep":{"code":"x","y":[null]}})", "sleep"},
        DecodeRow{"SwitchWindowIgnoresContents", R"({"switchWindow":{"path":5}})", "switchWindow"},
        DecodeRow{"DocumentArray", R"([{"sleep":{}}])", kFailure},
        DecodeRow{"DocumentString", R"("sleep")", kFailure},
        DecodeRow{"DocumentNull", R"(null)", kFailure},
        DecodeRow{"DocumentNumber", R"(42)", kFailure},
        DecodeRow{"Whitespace", " \n\t{ \"sleep\" : { } }\r\n", "sleep"}),
    rowName);

// --- payload fields: presence, null and JSON types -------------------------

INSTANTIATE_TEST_SUITE_P(
    Payload, DecodeTable,
    testing::Values(
        DecodeRow{"ExecuteFileNoArguments", R"({"executeFile":{"path":"/bin/tool"}})",
                  R"(executeFile "/bin/tool" none)"},
        DecodeRow{"ExecuteFileNullArguments",
                  R"({"executeFile":{"path":"/bin/tool","argumentsText":null}})",
                  R"(executeFile "/bin/tool" none)"},
        DecodeRow{"ExecuteFileEmptyArguments",
                  R"({"executeFile":{"argumentsText":"","path":"/bin/tool"}})",
                  R"(executeFile "/bin/tool" "")"},
        DecodeRow{"ExecuteFileWithoutPath", R"({"executeFile":{"argumentsText":"-v"}})", kFailure},
        DecodeRow{"ExecuteFileNullPath", R"({"executeFile":{"path":null}})", kFailure},
        DecodeRow{"ExecuteFileArgumentsNumber",
                  R"({"executeFile":{"path":"/bin/tool","argumentsText":5}})", kFailure},
        DecodeRow{"ExecuteFileArgumentsArray",
                  R"({"executeFile":{"path":"/bin/tool","argumentsText":["-v"]}})", kFailure},
        DecodeRow{"ExecuteFileUnknownMemberIgnored",
                  R"({"executeFile":{"path":"/bin/tool","timeout":10}})",
                  R"(executeFile "/bin/tool" none)"},
        DecodeRow{"LaunchAppNullArguments",
                  R"({"launchApp":{"path":"/A.app","launchArgumentsText":null}})",
                  R"(launchApp "/A.app" none)"},
        DecodeRow{"LaunchAppArgumentsFalse",
                  R"({"launchApp":{"path":"/A.app","launchArgumentsText":false}})", kFailure},
        DecodeRow{"LaunchAppPathNumber", R"({"launchApp":{"path":1}})", kFailure},
        DecodeRow{"LaunchAppMisspelledKey", R"({"launchApp":{"Path":"/A.app"}})", kFailure},
        DecodeRow{"OpenURLMembersInAnyOrder",
                  R"({"openURL":{"applicationPath":"/A.app","url":"https://example.com/"}})",
                  R"(openURL "https://example.com/" "/A.app")"},
        DecodeRow{"OpenURLNullApplication",
                  R"({"openURL":{"url":"https://example.com/","applicationPath":null}})",
                  R"(openURL "https://example.com/" none)"},
        DecodeRow{"OpenURLApplicationObject",
                  R"({"openURL":{"url":"https://example.com/","applicationPath":{}}})", kFailure},
        DecodeRow{"OpenURLWithoutURL", R"({"openURL":{"applicationPath":"/A.app"}})", kFailure},
        DecodeRow{"OpenURLNullURL", R"({"openURL":{"url":null}})", kFailure},
        DecodeRow{"OpenURLNumberURL", R"({"openURL":{"url":5}})", kFailure},
        DecodeRow{"OpenURLNotAURL", R"({"openURL":{"url":"not a url"}})", kFailure},
        DecodeRow{"OpenURLEmptyURL", R"({"openURL":{"url":""}})", kFailure},
        DecodeRow{"OpenURLNulInURL", R"({"openURL":{"url":"file:///tmp/a\u0000b"}})", kFailure},
        DecodeRow{"MenuEmptyList", R"({"menu":{"menuItems":[]}})", "menu []"},
        DecodeRow{"MenuItems", R"({"menu":{"menuItems":["File","Export \u2192 PDF"]}})",
                  "menu [\"File\", \"Export \xE2\x86\x92 PDF\"]"},
        DecodeRow{"MenuWithoutItems", R"({"menu":{}})", kFailure},
        DecodeRow{"MenuNullItems", R"({"menu":{"menuItems":null}})", kFailure},
        DecodeRow{"MenuItemsString", R"({"menu":{"menuItems":"File"}})", kFailure},
        DecodeRow{"MenuItemNumber", R"({"menu":{"menuItems":["File",1]}})", kFailure},
        DecodeRow{"MenuItemNull", R"({"menu":{"menuItems":["File",null]}})", kFailure},
        DecodeRow{"MenuItemNested", R"({"menu":{"menuItems":[["File"]]}})", kFailure},
        DecodeRow{"MenuCommandInfoEmpty", R"({"menuCommand":{"info":{}}})", kFailure},
        DecodeRow{"MenuCommandNullTitle", R"({"menuCommand":{"info":{"menuTitle":null}}})",
                  kFailure},
        DecodeRow{"MenuCommandTitleNumber", R"({"menuCommand":{"info":{"menuTitle":5}}})",
                  kFailure},
        DecodeRow{"MenuCommandInfoString", R"({"menuCommand":{"info":"File"}})", kFailure},
        DecodeRow{"MenuCommandWithoutInfo", R"({"menuCommand":{"menuTitle":"File"}})", kFailure},
        DecodeRow{"MenuCommandInfoUnknownMember",
                  R"({"menuCommand":{"info":{"menuTitle":"File","shortcut":"P"}}})",
                  R"(menuCommand "File")"},
        DecodeRow{"SwitchInputMethodWithoutID", R"({"switchInputMethod":{}})", kFailure},
        DecodeRow{"SwitchInputMethodIDNumber", R"({"switchInputMethod":{"inputSourceID":7}})",
                  kFailure},
        DecodeRow{"SimulateKeystrokeWithoutCode", R"({"simulateKeystroke":{}})", kFailure},
        DecodeRow{"SimulateKeystrokeNullCode", R"({"simulateKeystroke":{"code":null}})", kFailure},
        DecodeRow{"SimulateKeystrokeUnknownMemberIgnored",
                  R"({"simulateKeystroke":{"code":292,"repeat":true}})", "simulateKeystroke 292"}),
    rowName);

// --- the keystroke code: any integral value in the signed 64-bit range ------

DecodeRow codeRow(const char* label, const std::string& number, const std::string& expected) {
  return {label, R"({"simulateKeystroke":{"code":)" + number + "}}",
          expected == kFailure ? kFailure : "simulateKeystroke " + expected};
}

INSTANTIATE_TEST_SUITE_P(
    Code, DecodeTable,
    testing::Values(
        codeRow("Plain", "292", "292"), codeRow("Zero", "0", "0"), codeRow("Negative", "-1", "-1"),
        codeRow("NegativeZero", "-0", "0"),
        codeRow("Largest", "9223372036854775807", "9223372036854775807"),
        codeRow("Smallest", "-9223372036854775808", "-9223372036854775808"),
        codeRow("TwoToThe63", "9223372036854775808", kFailure),
        codeRow("BelowSmallest", "-9223372036854775809", kFailure),
        codeRow("LargestUnsigned", "18446744073709551615", kFailure),
        codeRow("BeyondUnsigned", "18446744073709551616", kFailure),
        codeRow("FractionZero", "36.0", "36"), codeRow("Exponent", "3.6e1", "36"),
        codeRow("NegativeExponent", "360e-1", "36"), codeRow("UpperCaseExponent", "1E+2", "100"),
        codeRow("NegativeFloatZero", "-0.0", "0"), codeRow("ZeroWithHugeExponent", "0e999999", "0"),
        // As floats these would round: into range, or to a neighbouring integer.
        codeRow("LargestWrittenAsFloat", "9223372036854775807.0", "9223372036854775807"),
        codeRow("SmallestWrittenAsFloat", "-9223372036854775808.0", "-9223372036854775808"),
        codeRow("BelowSmallestAsFloat", "-9223372036854775809.0", kFailure),
        codeRow("BelowSmallestByFraction", "-9223372036854775808.5", kFailure),
        codeRow("BeyondDoublePrecision", "9007199254740993.0", "9007199254740993"),
        codeRow("LargestWithExponent", "9.223372036854775807e18", "9223372036854775807"),
        codeRow("Fraction", "1.5", kFailure), codeRow("FractionByExponent", "3.65e1", kFailure),
        codeRow("SmallFraction", "1e-5", kFailure), codeRow("Huge", "1e300", kFailure),
        codeRow("Overflowing", "1e400", kFailure), codeRow("TinyExponent", "1e-400", kFailure),
        codeRow("TenToThe19", "1e19", kFailure), codeRow("String", R"("36")", kFailure),
        codeRow("True", "true", kFailure), codeRow("Array", "[36]", kFailure),
        codeRow("Object", R"({"value":36})", kFailure), codeRow("LeadingZero", "036", kFailure),
        codeRow("Hex", "0x24", kFailure), codeRow("PlusSign", "+36", kFailure),
        codeRow("NotANumber", "NaN", kFailure), codeRow("Infinity", "Infinity", kFailure)),
    rowName);

// --- malformed text ---------------------------------------------------------

INSTANTIATE_TEST_SUITE_P(
    Malformed, DecodeTable,
    testing::Values(
        DecodeRow{"Empty", "", kFailure}, DecodeRow{"OnlyWhitespace", " \n", kFailure},
        DecodeRow{"TrailingGarbage", R"({"sleep":{}}x)", kFailure},
        DecodeRow{"TwoDocuments", R"({"sleep":{}}{"sleep":{}})", kFailure},
        DecodeRow{"TrailingComma", R"({"sleep":{},})", kFailure},
        DecodeRow{"SingleQuotes", R"({'sleep':{}})", kFailure},
        DecodeRow{"UnquotedKey", R"({sleep:{}})", kFailure},
        DecodeRow{"Comment", "{\"sleep\":{} // now\n}", kFailure},
        DecodeRow{"NulAfterDocument", "{\"sleep\":{}}\0garbage"s, kFailure},
        DecodeRow{"NulAtEnd", "{\"sleep\":{}}\0"s, kFailure},
        DecodeRow{"NulInString", "{\"switchInputMethod\":{\"inputSourceID\":\"a\0b\"}}"s, kFailure},
        DecodeRow{"EscapedNulInString", R"({"switchInputMethod":{"inputSourceID":"a\u0000b"}})",
                  "switchInputMethod \"a\0b\""s},
        DecodeRow{"RawControlCharacter", "{\"executeFile\":{\"path\":\"a\x01\"}}", kFailure},
        DecodeRow{"BadEscape", R"({"executeFile":{"path":"\q"}})", kFailure},
        DecodeRow{"ByteOrderMark", "\xEF\xBB\xBF{\"sleep\":{}}", "sleep"},
        DecodeRow{"ValidUTF8", "{\"switchInputMethod\":{\"inputSourceID\":\"Caf\xC3\xA9\"}}",
                  "switchInputMethod \"Caf\xC3\xA9\""},
        DecodeRow{"TruncatedUTF8", "{\"switchInputMethod\":{\"inputSourceID\":\"\xC3\"}}",
                  kFailure},
        DecodeRow{"InvalidByteInKey",
                  "{\"sl\xFF"
                  "eep\":{}}",
                  kFailure},
        DecodeRow{"OverlongSlash", "{\"executeFile\":{\"path\":\"\xC0\xAF\"}}", kFailure},
        DecodeRow{"EncodedSurrogate", "{\"executeFile\":{\"path\":\"\xED\xA0\x80\"}}", kFailure},
        DecodeRow{"BeyondUnicode", "{\"executeFile\":{\"path\":\"\xF4\x90\x80\x80\"}}", kFailure},
        DecodeRow{"InvalidByteOutsideStrings", "\xFF{\"sleep\":{}}", kFailure},
        DecodeRow{"LoneSurrogateEscape", R"({"executeFile":{"path":"\ud800"}})", kFailure},
        DecodeRow{"SurrogatePairEscape", R"({"executeFile":{"path":"\ud83d\ude00"}})",
                  "executeFile \"\xF0\x9F\x98\x80\" none"}),
    rowName);

// --- limits against hostile documents --------------------------------------

// A valid sleep request nested `depth` containers deep (the top-level object is 1).
std::string nestedTo(int depth) {
  const auto arrays = static_cast<std::size_t>(depth - 1);
  return R"({"sleep":{},"x":)" + std::string(arrays, '[') + std::string(arrays, ']') + "}";
}

std::string failureOf(const std::string& document) {
  const auto result = decodeHelperActionDocument(document);
  if (!std::holds_alternative<DecodingError>(result)) return "<decoded>";
  return std::get<DecodingError>(result).description;
}

TEST(HelperActionLimits, DepthUpToTheLimitDecodes) {
  expectOutcome(nestedTo(kMaxDocumentDepth), "sleep");
}

TEST(HelperActionLimits, DepthBeyondTheLimitFails) {
  expectOutcome(nestedTo(kMaxDocumentDepth + 1), kFailure);
  // Also where the deep part sits inside a payload that is otherwise ignored.
  const std::string deepPayload =
      R"({"sleep":{"x":)" + std::string(100, '[') + std::string(100, ']') + "}}";
  expectOutcome(deepPayload, kFailure);
}

TEST(HelperActionLimits, SizeUpToTheLimitDecodes) {
  const std::string head = R"({"sleep":{},"pad":")";
  const std::string tail = "\"}";
  const std::string document =
      head + std::string(kMaxDocumentBytes - head.size() - tail.size(), 'x') + tail;
  ASSERT_EQ(document.size(), kMaxDocumentBytes);
  expectOutcome(document, "sleep");
}

TEST(HelperActionLimits, SizeBeyondTheLimitFails) {
  const std::string head = R"({"sleep":{},"pad":")";
  const std::string tail = "\"}";
  const std::string document =
      head + std::string(kMaxDocumentBytes + 1 - head.size() - tail.size(), 'x') + tail;
  expectOutcome(document, kFailure);
}

// These must come back promptly and without exhausting the stack (run them
// under AddressSanitizer): the parser must not build or walk a deep tree.
TEST(HelperActionLimits, TenMegabytesOfOpeningBrackets) {
  expectOutcome(std::string(10'000'000, '['), kFailure);
}

TEST(HelperActionLimits, DeepBracketsWithinTheSizeLimit) {
  expectOutcome(std::string(kMaxDocumentBytes, '['), kFailure);
  expectOutcome(std::string(400'000, '[') + std::string(400'000, ']'), kFailure);
}

TEST(HelperActionLimits, HundredThousandNestedObjects) {
  std::string opened;
  for (int i = 0; i < 100'000; ++i) opened += R"({"a":)";
  const std::string closed = opened + "0" + std::string(100'000, '}');
  ASSERT_LE(closed.size(), kMaxDocumentBytes);
  expectOutcome(closed, kFailure);
  expectOutcome(opened, kFailure);
  // The same depth as the key-count check would see it: never reached.
  EXPECT_NE(failureOf(R"({"sleep":{},"menu":)" + opened), kInvalidNumberOfKeys);
}

TEST(HelperActionLimits, HugeNumbers) {
  const std::string longDigits(900'000, '7');
  expectOutcome(R"({"simulateKeystroke":{"code":)" + longDigits + "}}", kFailure);
  expectOutcome(R"({"simulateKeystroke":{"code":-)" + longDigits + "}}", kFailure);
  expectOutcome(R"({"simulateKeystroke":{"code":0.)" + longDigits + "}}", kFailure);
  expectOutcome(R"({"simulateKeystroke":{"code":1e)" + longDigits + "}}", kFailure);
  expectOutcome(R"({"simulateKeystroke":{"code":1e-)" + longDigits + "}}", kFailure);
  // Trailing zeros in the fraction do not make it a fraction.
  expectOutcome(R"({"simulateKeystroke":{"code":36.)" + std::string(900'000, '0') + "}}",
                "simulateKeystroke 36");
}

TEST(HelperActionLimits, LongURLDecodes) {
  const std::string path(900'000, 'a');
  expectOutcome(R"({"openURL":{"url":"file:///)" + path + R"("}})",
                R"(openURL "file:///)" + path + R"(" none)");
  std::string segments;
  for (int i = 0; i < 300'000; ++i) segments += "a/";
  expectOutcome(R"({"openURL":{"url":"https://example.com/)" + segments + R"("}})",
                R"(openURL "https://example.com/)" + segments + R"(" none)");
}

// --- worked examples: the exact bytes a sender writes ----------------------

struct Example {
  const char* label;
  std::string_view caseName;
  HelperAction action;
  std::string document;
};

std::vector<Example> workedExamples() {
  return {
      {"Menu",
       "menu",
       {HelperAction::Menu{{"File", "Export", "PDF"}}},
       R"({"menu":{"menuItems":["File","Export","PDF"]}})"},
      {"MenuCommand",
       "menuCommand",
       {HelperAction::MenuCommand{{"File -> Export -> PDF"}}},
       R"({"menuCommand":{"info":{"menuTitle":"File -> Export -> PDF"}}})"},
      {"OpenURL",
       "openURL",
       {HelperAction::OpenURL{url("file:///tmp/report.txt"), "/Applications/Editor.app"}},
       R"({"openURL":{"url":"file:///tmp/report.txt","applicationPath":"/Applications/Editor.app"}})"},
      {"OpenURLDefaultHandler",
       "openURL",
       {HelperAction::OpenURL{url("file:///tmp/report.txt"), std::nullopt}},
       R"({"openURL":{"url":"file:///tmp/report.txt"}})"},
      {"LaunchApp",
       "launchApp",
       {HelperAction::LaunchApp{"/Applications/Editor.app", "--new-window --quiet"}},
       R"({"launchApp":{"path":"/Applications/Editor.app","launchArgumentsText":"--new-window --quiet"}})"},
      {"SwitchWindow", "switchWindow", {HelperAction::SwitchWindow{}}, R"({"switchWindow":{}})"},
      {"ExecuteFile",
       "executeFile",
       {HelperAction::ExecuteFile{"/usr/local/bin/cleanup.sh", "--dry-run\n--verbose"}},
       R"({"executeFile":{"path":"/usr/local/bin/cleanup.sh","argumentsText":"--dry-run\n--verbose"}})"},
      {"Sleep", "sleep", {HelperAction::Sleep{}}, R"({"sleep":{}})"},
      {"SimulateKeystroke",
       "simulateKeystroke",
       {HelperAction::SimulateKeystroke{292}},
       R"({"simulateKeystroke":{"code":292}})"},
      {"SwitchInputMethod",
       "switchInputMethod",
       {HelperAction::SwitchInputMethod{"ExampleLayout"}},
       R"({"switchInputMethod":{"inputSourceID":"ExampleLayout"}})"},
  };
}

TEST(HelperActionWorkedExamples, EncodeToTheExactDocument) {
  for (const Example& example : workedExamples()) {
    SCOPED_TRACE(example.label);
    EXPECT_EQ(encodeHelperAction(example.action), example.document);
  }
}

TEST(HelperActionWorkedExamples, DecodeToTheirCaseAndFields) {
  for (const Example& example : workedExamples()) {
    SCOPED_TRACE(example.label);
    const auto decoded = decodeHelperActionDocument(example.document);
    ASSERT_TRUE(std::holds_alternative<HelperAction>(decoded))
        << std::get<DecodingError>(decoded).description;
    const auto& action = std::get<HelperAction>(decoded);
    EXPECT_EQ(action.caseName(), example.caseName);
    EXPECT_EQ(fieldsOf(action), fieldsOf(example.action));
    EXPECT_EQ(encodeHelperAction(action), example.document);
  }
}

TEST(HelperActionWorkedExamples, CoverEveryCase) {
  std::unordered_set<std::size_t> cases;
  for (const Example& example : workedExamples()) cases.insert(example.action.kind.index());
  EXPECT_EQ(cases.size(), std::variant_size_v<HelperAction::Kind>);
}

// Every proper prefix of a valid document is a truncated one.
TEST(HelperActionWorkedExamples, TruncatedDocumentsFail) {
  for (const Example& example : workedExamples()) {
    for (std::size_t length = 0; length < example.document.size(); ++length) {
      SCOPED_TRACE(example.document.substr(0, length));
      expectOutcome(example.document.substr(0, length), kFailure);
    }
  }
}

// --- encoding beyond the examples, and round trips -------------------------

TEST(HelperActionEncoding, LeavesAbsentOptionalsOut) {
  EXPECT_EQ(encodeHelperAction({HelperAction::LaunchApp{"/A.app", std::nullopt}}),
            R"({"launchApp":{"path":"/A.app"}})");
  EXPECT_EQ(encodeHelperAction({HelperAction::ExecuteFile{"/bin/tool", std::nullopt}}),
            R"({"executeFile":{"path":"/bin/tool"}})");
  // Present but empty is not absent.
  EXPECT_EQ(encodeHelperAction({HelperAction::ExecuteFile{"/bin/tool", ""}}),
            R"({"executeFile":{"path":"/bin/tool","argumentsText":""}})");
  EXPECT_EQ(encodeHelperAction({HelperAction::Menu{{}}}), R"({"menu":{"menuItems":[]}})");
}

TEST(HelperActionEncoding, WritesTheFullCodeRange) {
  EXPECT_EQ(encodeHelperAction({HelperAction::SimulateKeystroke{-1}}),
            R"({"simulateKeystroke":{"code":-1}})");
  EXPECT_EQ(encodeHelperAction(
                {HelperAction::SimulateKeystroke{std::numeric_limits<std::int64_t>::min()}}),
            R"({"simulateKeystroke":{"code":-9223372036854775808}})");
}

TEST(HelperActionEncoding, EscapesWhatJSONRequires) {
  EXPECT_EQ(encodeHelperAction({HelperAction::ExecuteFile{"a\"b\\c\t\x01/d", std::nullopt}}),
            R"({"executeFile":{"path":"a\"b\\c\t\u0001/d"}})");
}

TEST(HelperActionEncoding, InvalidUTF8StillGivesADecodableDocument) {
  std::string document;
  ASSERT_NO_THROW(document = encodeHelperAction({HelperAction::SwitchInputMethod{"a\xFF"
                                                                                 "b"}}));
  expectOutcome(document,
                "switchInputMethod \"a\xEF\xBF\xBD"
                "b\"");
}

std::vector<HelperAction> roundTripActions() {
  const std::string tricky =
      "Caf\xC3\xA9 \"quoted\" back\\slash\n\ttab /slash \xF0\x9F\x98\x80 \0nul"s;
  return {
      {HelperAction::Menu{{}}},
      {HelperAction::Menu{{"", tricky, "->"}}},
      {HelperAction::MenuCommand{{tricky}}},
      {HelperAction::MenuCommand{{""}}},
      {HelperAction::OpenURL{url("https://example.com/a?b=c&d=%20#frag"), "/Apps/My App.app"}},
      {HelperAction::OpenURL{url("relative/path.txt"), std::nullopt}},
      {HelperAction::LaunchApp{tricky, ""}},
      {HelperAction::LaunchApp{"/A.app", std::nullopt}},
      {HelperAction::SwitchWindow{}},
      {HelperAction::ExecuteFile{"/bin/tool", tricky}},
      {HelperAction::ExecuteFile{"/bin/tool", std::nullopt}},
      {HelperAction::Sleep{}},
      {HelperAction::SimulateKeystroke{0}},
      {HelperAction::SimulateKeystroke{std::numeric_limits<std::int64_t>::max()}},
      {HelperAction::SimulateKeystroke{std::numeric_limits<std::int64_t>::min()}},
      {HelperAction::SwitchInputMethod{tricky}},
  };
}

TEST(HelperActionRoundTrip, DecodingTheEncodingGivesTheSameAction) {
  for (const HelperAction& action : roundTripActions()) {
    SCOPED_TRACE(fieldsOf(action));
    const std::string document = encodeHelperAction(action);
    const auto decoded = decodeHelperActionDocument(document);
    ASSERT_TRUE(std::holds_alternative<HelperAction>(decoded))
        << document << ": " << std::get<DecodingError>(decoded).description;
    EXPECT_EQ(std::get<HelperAction>(decoded).caseName(), action.caseName());
    EXPECT_EQ(fieldsOf(std::get<HelperAction>(decoded)), fieldsOf(action));
  }
}

// --- URLs -------------------------------------------------------------------

struct URLRow {
  const char* label;
  std::string text;
  bool accepted;
};

std::ostream& operator<<(std::ostream& out, const URLRow& row) {
  return out << row.label;
}

class URLTable : public testing::TestWithParam<URLRow> {};

std::string urlRowName(const testing::TestParamInfo<URLRow>& row) {
  return row.param.label;
}

TEST_P(URLTable, ParsesURIReferencesOnly) {
  const std::optional<URL> parsed = URL::parse(GetParam().text);
  ASSERT_EQ(parsed.has_value(), GetParam().accepted);
  if (parsed) {
    EXPECT_EQ(parsed->absoluteString(), GetParam().text);  // kept as given
  }
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, URLTable,
    testing::Values(
        URLRow{"FileURL", "file:///tmp/report.txt", true},
        URLRow{"Full", "https://user@example.com:8080/a/b?c=d&e#f", true},
        URLRow{"Mail", "mailto:someone@example.com", true}, URLRow{"Relative", "report.txt", true},
        URLRow{"NetworkPath", "//host/path", true}, URLRow{"OnlyFragment", "#top", true},
        URLRow{"IPv6Host", "http://[::1]:80/", true}, URLRow{"Empty", "", false},
        URLRow{"Spaces", "not a url", false}, URLRow{"SpaceInHost", "http://exa mple.com/", false},
        URLRow{"UnclosedIPv6", "http://[::1/", false},
        URLRow{"BadPercent", "file:///tmp/%zz", false}, URLRow{"ShortPercent", "a%4", false},
        URLRow{"EmptyScheme", ":x", false},
        URLRow{"RawNonASCII", "https://example.com/caf\xC3\xA9", false},
        URLRow{"EmbeddedNul", "file:///tmp/a\0b"s, false},
        URLRow{"Newline", "https://example.com/\n", false}),
    urlRowName);

// --- menu command info ------------------------------------------------------

const std::string kPrecomposed = "Caf\xC3\xA9 -> Export";  // U+00E9
const std::string kDecomposed = "Cafe\xCC\x81 -> Export";  // e + U+0301

TEST(MenuCommandInfo, CanonicallyEquivalentTitlesAreEqualAndHashAlike) {
  const HelperAction::MenuCommandInfo precomposed{kPrecomposed};
  const HelperAction::MenuCommandInfo decomposed{kDecomposed};
  EXPECT_TRUE(precomposed == decomposed);
  EXPECT_EQ(std::hash<HelperAction::MenuCommandInfo>{}(precomposed),
            std::hash<HelperAction::MenuCommandInfo>{}(decomposed));
  // Combining marks in either order are the same text.
  const HelperAction::MenuCommandInfo dotsOneWay{"a\xCC\xA3\xCC\x87"};    // below, above
  const HelperAction::MenuCommandInfo dotsOtherWay{"a\xCC\x87\xCC\xA3"};  // above, below
  EXPECT_TRUE(dotsOneWay == dotsOtherWay);
  EXPECT_EQ(std::hash<HelperAction::MenuCommandInfo>{}(dotsOneWay),
            std::hash<HelperAction::MenuCommandInfo>{}(dotsOtherWay));

  const std::unordered_set<HelperAction::MenuCommandInfo> titles{precomposed, decomposed,
                                                                 dotsOneWay, dotsOtherWay};
  EXPECT_EQ(titles.size(), 2u);
}

TEST(MenuCommandInfo, OtherwiseExactAndCaseSensitive) {
  using Info = HelperAction::MenuCommandInfo;
  EXPECT_TRUE(Info{"File -> Export"} == Info{"File -> Export"});
  EXPECT_FALSE(Info{"File -> Export"} == Info{"file -> export"});
  EXPECT_FALSE(Info{"File -> Export"} == Info{"File -> Export "});
  EXPECT_FALSE(Info{"File->Export"} == Info{"File -> Export"});
  EXPECT_FALSE(Info{kPrecomposed} == Info{"CAF\xC3\x89 -> Export"});
  // A compatibility equivalent (the "fi" ligature) is a different title.
  EXPECT_FALSE(Info{"\xEF\xAC\x81le"} == Info{"file"});
  EXPECT_FALSE(Info{""} == Info{" "});
  EXPECT_TRUE(Info{"a\0b"s} == Info{"a\0b"s});
  EXPECT_FALSE(Info{"a\0b"s} == Info{"a"});
  const std::unordered_set<Info> titles{Info{"File"}, Info{"file"}, Info{"File"}};
  EXPECT_EQ(titles.size(), 2u);
}

TEST(MenuCommandInfo, EncodesAndDecodesAlone) {
  EXPECT_EQ(encodeMenuCommandInfo({"File -> Export -> PDF"}),
            R"({"menuTitle":"File -> Export -> PDF"})");
  const auto decoded = decodeMenuCommandInfo(R"({"shortcut":"P","menuTitle":"File -> Export"})");
  ASSERT_TRUE(std::holds_alternative<HelperAction::MenuCommandInfo>(decoded));
  EXPECT_EQ(std::get<HelperAction::MenuCommandInfo>(decoded).menuTitle, "File -> Export");
  // Titles are kept as sent, not normalised.
  const auto decomposed = decodeMenuCommandInfo(encodeMenuCommandInfo({kDecomposed}));
  ASSERT_TRUE(std::holds_alternative<HelperAction::MenuCommandInfo>(decomposed));
  EXPECT_EQ(std::get<HelperAction::MenuCommandInfo>(decomposed).menuTitle, kDecomposed);

  for (const std::string document :
       {R"({})", R"({"menuTitle":null})", R"({"menuTitle":5})", R"("File")", R"([])", "",
        R"({"menuTitle":"File")", R"({"MenuTitle":"File"})"}) {
    SCOPED_TRACE(document);
    EXPECT_TRUE(std::holds_alternative<DecodingError>(decodeMenuCommandInfo(document)));
  }
  EXPECT_TRUE(std::holds_alternative<DecodingError>(
      decodeMenuCommandInfo(std::string(kMaxDocumentBytes, '['))));
}

}  // namespace

// The action request document: decoding, encoding, limits against hostile
// input, and menu command info equality.

#include "helper/helper_action.h"

#include <gmock/gmock.h>

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

using ::testing::HasSubstr;
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

// Expected outcomes besides a decoded action (written as fieldsOf would):
// the key-count failure, any other failure, a failure whose text holds REASON.
const std::string kKeyCountFailure = "<fails: invalid number of keys>";
const std::string kFailure = "<fails>";
std::string failure(const std::string& reason) {
  return "<fails: " + reason + ">";
}

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
  if (!expected.starts_with("<fails")) {
    ASSERT_TRUE(std::holds_alternative<HelperAction>(result))
        << std::get<DecodingError>(result).description;
    EXPECT_EQ(fieldsOf(std::get<HelperAction>(result)), expected);
    return;
  }
  ASSERT_TRUE(std::holds_alternative<DecodingError>(result)) << fieldsOf(std::get<0>(result));
  const std::string& description = std::get<DecodingError>(result).description;
  if (expected == kKeyCountFailure) {
    EXPECT_EQ(description, kInvalidNumberOfKeys);
    return;
  }
  EXPECT_FALSE(description.empty());
  EXPECT_NE(description, kInvalidNumberOfKeys);
  if (expected != kFailure) {
    EXPECT_THAT(description, HasSubstr(expected.substr(8, expected.size() - 9)));
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
    testing::Values(DecodeRow{"Sleep", R"({"sleep":{}})", "sleep"},
                    DecodeRow{"EmptyObject", R"({})", kKeyCountFailure},
                    DecodeRow{"TwoCasesAndUnknown", R"({"menu":{"menuItems":[]},"x":1,"sleep":{}})",
                              kKeyCountFailure},
                    DecodeRow{"WrongLetterCase", R"({"Sleep":{}})", kKeyCountFailure},
                    DecodeRow{"UnknownMemberFirst", R"({"aaa":[1,2],"sleep":{}})", "sleep"},
                    // Repeated names are the parser's business; it keeps the last one.
                    DecodeRow{"RepeatedNameCountsOnce", R"({"sleep":{},"sleep":{}})", "sleep"},
                    DecodeRow{"PayloadNull", R"({"sleep":null})", kFailure},
                    DecodeRow{"PayloadArray", R"({"switchWindow":[]})", kFailure},
                    DecodeRow{"SleepIgnoresContents", R"({"sleep":{"code":"x","y":[null]}})",
                              "sleep"},
                    DecodeRow{"DocumentArray", R"([{"sleep":{}}])", kFailure},
                    DecodeRow{"Whitespace", " \n\t{ \"sleep\" : { } }\r\n", "sleep"}),
    rowName);

// --- payload fields: presence, null and JSON types -------------------------

INSTANTIATE_TEST_SUITE_P(
    Payload, DecodeTable,
    testing::Values(
        DecodeRow{"ExecuteFileNullArguments",
                  R"({"executeFile":{"path":"/bin/tool","argumentsText":null}})",
                  R"(executeFile "/bin/tool" none)"},
        DecodeRow{"ExecuteFileWithoutPath", R"({"executeFile":{"argumentsText":"-v"}})", kFailure},
        DecodeRow{"ExecuteFileArgumentsNumber",
                  R"({"executeFile":{"path":"/bin/tool","argumentsText":5}})", kFailure},
        DecodeRow{"LaunchAppMisspelledKey", R"({"launchApp":{"Path":"/A.app"}})", kFailure},
        DecodeRow{"OpenURLMembersInAnyOrder",
                  R"({"openURL":{"applicationPath":"/A.app","url":"https://example.com/"}})",
                  R"(openURL "https://example.com/" "/A.app")"},
        DecodeRow{"OpenURLApplicationObject",
                  R"({"openURL":{"url":"https://example.com/","applicationPath":{}}})", kFailure},
        DecodeRow{"OpenURLNotAURL", R"({"openURL":{"url":"not a url"}})", kFailure},
        DecodeRow{"OpenURLNulInURL", R"({"openURL":{"url":"file:///tmp/a\u0000b"}})", kFailure},
        DecodeRow{"MenuItems", R"({"menu":{"menuItems":["File","Export \u2192 PDF"]}})",
                  "menu [\"File\", \"Export \xE2\x86\x92 PDF\"]"},
        DecodeRow{"MenuItemNumber", R"({"menu":{"menuItems":["File",1]}})", kFailure},
        DecodeRow{"MenuCommandTitleNumber", R"({"menuCommand":{"info":{"menuTitle":5}}})",
                  kFailure},
        DecodeRow{"MenuCommandWithoutInfo", R"({"menuCommand":{"menuTitle":"File"}})", kFailure},
        DecodeRow{"SimulateKeystrokeNullCode", R"({"simulateKeystroke":{"code":null}})", kFailure}),
    rowName);

// --- the keystroke code: any integral value in the signed 64-bit range ------

DecodeRow codeRow(const char* label, const std::string& number, const std::string& expected) {
  return {label, R"({"simulateKeystroke":{"code":)" + number + "}}",
          expected == kFailure ? kFailure : "simulateKeystroke " + expected};
}

INSTANTIATE_TEST_SUITE_P(
    Code, DecodeTable,
    testing::Values(
        codeRow("Negative", "-1", "-1"),
        codeRow("Largest", "9223372036854775807", "9223372036854775807"),
        codeRow("Smallest", "-9223372036854775808", "-9223372036854775808"),
        codeRow("TwoToThe63", "9223372036854775808", kFailure),
        codeRow("BelowSmallest", "-9223372036854775809", kFailure),
        codeRow("Exponent", "3.6e1", "36"),
        // As floats these would round: into range, or to a neighbouring integer.
        codeRow("SmallestWrittenAsFloat", "-9223372036854775808.0", "-9223372036854775808"),
        codeRow("BelowSmallestByFraction", "-9223372036854775808.5", kFailure),
        codeRow("BeyondDoublePrecision", "9007199254740993.0", "9007199254740993"),
        codeRow("Fraction", "1.5", kFailure), codeRow("FractionByExponent", "3.65e1", kFailure),
        codeRow("TenToThe19", "1e19", kFailure), codeRow("String", R"("36")", kFailure)),
    rowName);

// --- malformed text ---------------------------------------------------------

INSTANTIATE_TEST_SUITE_P(
    Malformed, DecodeTable,
    testing::Values(
        DecodeRow{"Empty", "", kFailure},
        DecodeRow{"TrailingGarbage", R"({"sleep":{}}x)", kFailure},
        DecodeRow{"NulAfterDocument", "{\"sleep\":{}}\0garbage"s, kFailure},
        DecodeRow{"EscapedNulInString", R"({"switchInputMethod":{"inputSourceID":"a\u0000b"}})",
                  "switchInputMethod \"a\0b\""s},
        DecodeRow{"RawControlCharacter", "{\"executeFile\":{\"path\":\"a\x01\"}}", kFailure},
        DecodeRow{"ByteOrderMark", "\xEF\xBB\xBF{\"sleep\":{}}", "sleep"},
        DecodeRow{"EncodedSurrogate", "{\"executeFile\":{\"path\":\"\xED\xA0\x80\"}}", kFailure},
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

std::string repeated(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

const std::string kTooDeep = failure("nested deeper than");
const std::string kPadHead = R"({"sleep":{},"pad":")";
const std::string kPad(kMaxDocumentBytes - kPadHead.size() - 2, 'x');
const std::string kDigits(900'000, '7');
const std::string kObjects = repeated(R"({"a":)", 100'000);
const std::string kSegments = repeated("a/", 300'000);

// Documents far deeper than the limit yet within the size limit must reach the
// depth guard before a deep tree is built or walked (run under AddressSanitizer).
INSTANTIATE_TEST_SUITE_P(
    Limits, DecodeTable,
    testing::Values(
        DecodeRow{"DepthAtTheLimit", nestedTo(kMaxDocumentDepth), "sleep"},
        DecodeRow{"DepthBeyond", nestedTo(kMaxDocumentDepth + 1), kTooDeep},
        DecodeRow{"DeepInAnIgnoredPayload",
                  R"({"sleep":{"x":)" + std::string(100, '[') + std::string(100, ']') + "}}",
                  kTooDeep},
        DecodeRow{"SizeAtTheLimit", kPadHead + kPad + "\"}", "sleep"},
        DecodeRow{"SizeBeyond", kPadHead + kPad + "x\"}", failure("longer than")},
        DecodeRow{"OpenArrays", std::string(kMaxDocumentBytes, '['), kTooDeep},
        DecodeRow{"ClosedArrays", std::string(400'000, '[') + std::string(400'000, ']'), kTooDeep},
        DecodeRow{"Objects", kObjects + "0" + std::string(100'000, '}'), kTooDeep},
        DecodeRow{"ObjectsAfterACase", R"({"sleep":{},"menu":)" + kObjects, kTooDeep},
        codeRow("HugeNumber", kDigits, kFailure), codeRow("HugeNegative", "-" + kDigits, kFailure),
        codeRow("HugeFraction", "0." + kDigits, kFailure),
        codeRow("HugeExponent", "1e" + kDigits, kFailure),
        // Trailing zeros in the fraction do not make it a fraction.
        codeRow("TrailingZeros", "36." + std::string(900'000, '0'), "36"),
        DecodeRow{"LongURL", R"({"openURL":{"url":"https://example.com/)" + kSegments + R"("}})",
                  R"(openURL "https://example.com/)" + kSegments + R"(" none)"}),
    rowName);

// --- worked examples: the exact bytes a sender writes (or "": round trip only)

struct Example {
  HelperAction action;
  std::string document;
};

TEST(HelperActionEncoding, EncodesToTheExactDocumentAndDecodesBack) {
  const std::string tricky =
      "Caf\xC3\xA9 \"quoted\" back\\slash\n\ttab /slash \xF0\x9F\x98\x80 \0nul"s;
  const Example examples[] = {
      {{HelperAction::Menu{{"File", "Export", "PDF"}}},
       R"({"menu":{"menuItems":["File","Export","PDF"]}})"},
      {{HelperAction::MenuCommand{{"File -> Export -> PDF"}}},
       R"({"menuCommand":{"info":{"menuTitle":"File -> Export -> PDF"}}})"},
      {{HelperAction::OpenURL{url("file:///tmp/report.txt"), "/Applications/Editor.app"}},
       R"({"openURL":{"url":"file:///tmp/report.txt","applicationPath":"/Applications/Editor.app"}})"},
      {{HelperAction::OpenURL{url("file:///tmp/report.txt"), std::nullopt}},
       R"({"openURL":{"url":"file:///tmp/report.txt"}})"},
      {{HelperAction::LaunchApp{"/Applications/Editor.app", "--new-window --quiet"}},
       R"({"launchApp":{"path":"/Applications/Editor.app","launchArgumentsText":"--new-window --quiet"}})"},
      {{HelperAction::SwitchWindow{}}, R"({"switchWindow":{}})"},
      {{HelperAction::ExecuteFile{"/usr/local/bin/cleanup.sh", "--dry-run\n--verbose"}},
       R"({"executeFile":{"path":"/usr/local/bin/cleanup.sh","argumentsText":"--dry-run\n--verbose"}})"},
      // Present but empty is not absent.
      {{HelperAction::ExecuteFile{"a\"b\\c\t\x01/d", ""}},
       R"({"executeFile":{"path":"a\"b\\c\t\u0001/d","argumentsText":""}})"},
      {{HelperAction::Sleep{}}, R"({"sleep":{}})"},
      {{HelperAction::SimulateKeystroke{292}}, R"({"simulateKeystroke":{"code":292}})"},
      {{HelperAction::SwitchInputMethod{"ExampleLayout"}},
       R"({"switchInputMethod":{"inputSourceID":"ExampleLayout"}})"},
      {{HelperAction::Menu{{"", tricky, "->"}}}, ""},
      {{HelperAction::OpenURL{url("https://example.com/a?b=c&d=%20#frag"), "/Apps/My App.app"}},
       ""},
      {{HelperAction::OpenURL{url("relative/path.txt"), std::nullopt}}, ""},
      {{HelperAction::LaunchApp{tricky, std::nullopt}}, ""},
      {{HelperAction::SimulateKeystroke{std::numeric_limits<std::int64_t>::min()}}, ""},
      {{HelperAction::SwitchInputMethod{tricky}}, ""},
  };
  for (const Example& example : examples) {
    const std::string document = encodeHelperAction(example.action);
    SCOPED_TRACE(document);
    if (!example.document.empty()) {
      EXPECT_EQ(document, example.document);
    }
    expectOutcome(document, fieldsOf(example.action));
    // Every proper prefix is a truncated document.
    for (std::size_t length = 0; length < example.document.size(); ++length) {
      expectOutcome(example.document.substr(0, length), kFailure);
    }
  }
  // Text that is not UTF-8 still gives a document that decodes.
  expectOutcome(encodeHelperAction({HelperAction::SwitchInputMethod{"a\xFF"
                                                                    "b"}}),
                "switchInputMethod \"a\xEF\xBF\xBD"
                "b\"");
}

// --- URLs -------------------------------------------------------------------

TEST(URL, ParsesURIReferencesOnlyAndKeepsTheTextAsGiven) {
  for (const std::string text :
       {"file:///tmp/report.txt", "https://user@example.com:8080/a/b?c=d&e#f",
        "mailto:someone@example.com", "report.txt", "//host/path", "#top", "http://[::1]:80/"}) {
    const std::optional<URL> parsed = URL::parse(text);
    ASSERT_TRUE(parsed) << text;
    EXPECT_EQ(parsed->absoluteString(), text);
  }
  for (const std::string& text :
       {""s, "not a url"s, "http://exa mple.com/"s, "http://[::1/"s, "file:///tmp/%zz"s, "a%4"s,
        ":x"s, "https://example.com/caf\xC3\xA9"s, "file:///tmp/a\0b"s,
        "https://example.com/\n"s}) {
    EXPECT_FALSE(URL::parse(text)) << text;
  }
}

// --- menu command info ------------------------------------------------------

// Canonical equality itself is tested with the support code.
TEST(MenuCommandInfo, EqualUnderCanonicalEquivalenceOnlyAndHashedAlike) {
  using Info = HelperAction::MenuCommandInfo;
  const Info precomposed{"Caf\xC3\xA9 -> Export"};  // U+00E9
  const Info decomposed{"Cafe\xCC\x81 -> Export"};  // e + U+0301
  EXPECT_TRUE(precomposed == decomposed);
  EXPECT_EQ(std::unordered_set<Info>({precomposed, decomposed, Info{"a"}}).size(), 2u);
  EXPECT_FALSE(Info{"File -> Export"} == Info{"file -> export"});
  EXPECT_FALSE(Info{"a\0b"s} == Info{"a"});
}

TEST(MenuCommandInfo, EncodesAndDecodesAloneKeepingTheTitleAsSent) {
  EXPECT_EQ(encodeMenuCommandInfo({"File -> Export -> PDF"}),
            R"({"menuTitle":"File -> Export -> PDF"})");
  const std::string decomposed = "Cafe\xCC\x81";
  const auto decoded = decodeMenuCommandInfo(encodeMenuCommandInfo({decomposed}));
  ASSERT_TRUE(std::holds_alternative<HelperAction::MenuCommandInfo>(decoded));
  EXPECT_EQ(std::get<HelperAction::MenuCommandInfo>(decoded).menuTitle, decomposed);
  for (const std::string& document : {R"({})"s, R"({"menuTitle":null})"s, R"("File")"s, ""s,
                                      std::string(kMaxDocumentBytes, '[')}) {
    EXPECT_TRUE(std::holds_alternative<DecodingError>(decodeMenuCommandInfo(document)));
  }
}

}  // namespace

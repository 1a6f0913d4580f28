#include "helper/input_sources.h"

#include <optional>
#include <variant>

#include "support/unicode.h"

namespace zorv::helper {
namespace {

using port::InputSourceProperty;

template <class T>
std::optional<T> property(port::TextInputSources& sources, const port::InputSourceRef& source,
                          InputSourceProperty which) {
  auto value = sources.getInputSourceProperty(source, which);
  if (!value) return std::nullopt;
  if (const T* typed = std::get_if<T>(&*value)) return *typed;
  return std::nullopt;
}

// The parts of a URL text that the candidates change: where its path starts and
// ends (the query and fragment follow it).
struct PathSpan {
  std::size_t begin = 0;
  std::size_t end = 0;
};

PathSpan pathOf(const std::string& url) {
  PathSpan span;
  const auto colon = url.find(':');
  const auto firstDelimiter = url.find_first_of("/?#");
  if (colon != std::string::npos && colon < firstDelimiter) {
    span.begin = colon + 1;
    if (url.compare(span.begin, 2, "//") == 0) {
      span.begin = url.find_first_of("/?#", span.begin + 2);
      if (span.begin == std::string::npos) span.begin = url.size();
    }
  }
  span.end = url.find_first_of("?#", span.begin);
  if (span.end == std::string::npos) span.end = url.size();
  return span;
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

}  // namespace

std::vector<std::string> iconCandidates(const std::string& url) {
  const auto span = pathOf(url);
  const std::string path = url.substr(span.begin, span.end - span.begin);
  const auto slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
  const auto dot = last.rfind('.');
  const std::string extension = dot == std::string::npos ? "" : last.substr(dot + 1);

  std::vector<std::string> candidates;
  // Without a last path component there is no high-resolution file to name.
  if (!last.empty()) {
    std::string highResolution = last;
    replaceAll(highResolution, "." + extension, "@2x." + extension);
    candidates.push_back("file://" + directory + highResolution);
  }
  std::string tiffPath = path;
  if (dot != std::string::npos) tiffPath.erase(path.size() - extension.size() - 1);
  candidates.push_back(url.substr(0, span.begin) + tiffPath + ".tiff" + url.substr(span.end));
  candidates.push_back(url);
  return candidates;
}

std::shared_ptr<InputSource> InputSource::create(port::TextInputSources& sources,
                                                 port::InputSourceRef source) {
  auto id = property<std::string>(sources, source, InputSourceProperty::inputSourceID);
  auto name = property<std::string>(sources, source, InputSourceProperty::localizedName);
  if (!id || !name) return nullptr;

  auto inputSource = std::make_shared<InputSource>();
  inputSource->id = std::move(*id);
  inputSource->name = std::move(*name);
  if (auto url = property<port::URLValue>(sources, source, InputSourceProperty::iconImageURL)) {
    for (const auto& candidate : iconCandidates(url->url)) {
      inputSource->icon = sources.imageWithContentsOfURL(candidate);
      if (inputSource->icon) break;
    }
  } else if (auto icon = property<std::shared_ptr<const port::IconHandle>>(
                 sources, source, InputSourceProperty::iconRef);
             icon && *icon) {
    inputSource->icon = sources.imageWithIcon(**icon);
  }
  inputSource->tisInputSource = std::move(source);
  return inputSource;
}

bool operator==(const InputSource& a, const InputSource& b) {
  return support::canonicallyEqual(a.id, b.id);
}

void InputSourceManager::refreshInputSources() {
  auto& sources = platform_.textInputSources;
  std::vector<std::shared_ptr<InputSource>> list;
  for (auto& source : sources.createInputSourceList(false)) {
    if (!source) continue;
    auto category =
        property<std::string>(sources, source, InputSourceProperty::inputSourceCategory);
    auto selectable = property<bool>(sources, source, InputSourceProperty::isSelectCapable);
    if (category != port::kCategoryKeyboardInputSource || selectable != true) continue;
    if (auto inputSource = InputSource::create(sources, source)) {
      list.push_back(std::move(inputSource));
    }
  }
  inputSources_ = std::move(list);
}

void InputSourceManager::switchInputMethod(const std::string& inputSourceID) {
  if (inputSources_.empty()) refreshInputSources();
  // Every match is selected, so with a shared identifier the last one stays
  // current.
  for (const auto& source : inputSources_) {
    if (support::canonicallyEqual(source->id, inputSourceID)) {
      platform_.textInputSources.selectInputSource(source->tisInputSource);
    }
  }
}

void InputSourceManager::selectPrevious() {
  constexpr std::uint16_t kSpace = 49;
  constexpr port::EventFlags kCommandShift = port::event_flag::command | port::event_flag::shift;
  auto& events = platform_.keyboardEvents;
  auto source = events.createEventSource(port::EventSourceState::hidSystem);
  auto down = source ? events.createKeyboardEvent(source.get(), kSpace, true) : nullptr;
  auto up = source ? events.createKeyboardEvent(source.get(), kSpace, false) : nullptr;
  if (!down || !up) {
    platform_.standardOutput.writeLine(
        "selectPrevious not simulated: the keyboard events could not be created");
    return;
  }
  down->setFlags(kCommandShift);
  up->setFlags(kCommandShift);
  events.post(port::EventTap::hid, *down);
  events.post(port::EventTap::hid, *up);
}

}  // namespace zorv::helper

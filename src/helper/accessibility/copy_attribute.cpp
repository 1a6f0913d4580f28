#include "helper/accessibility/copy_attribute.h"

namespace zorv::helper {
namespace {

std::optional<std::string> as(const port::Value& value, std::string*) {
  if (const auto* s = value.get<std::string>()) return *s;
  return std::nullopt;
}

std::optional<port::ElementRef> as(const port::Value& value, port::ElementRef*) {
  if (const auto* e = value.get<port::ElementRef>(); e && *e) return *e;
  return std::nullopt;
}

std::optional<std::vector<port::ElementRef>> as(const port::Value& value,
                                                std::vector<port::ElementRef>*) {
  const auto* array = value.get<port::Array>();
  if (!array) return std::nullopt;
  std::vector<port::ElementRef> elements;
  elements.reserve(array->size());
  for (const auto& entry : *array) {
    const auto* e = entry.get<port::ElementRef>();
    if (!e || !*e) return std::nullopt;
    elements.push_back(*e);
  }
  return elements;
}

}  // namespace

template <class T>
std::optional<T> copyAttribute(port::Platform& platform, const std::string& attribute,
                               const port::ElementRef& element) {
  auto result = platform.accessibility.copyAttributeValue(element, attribute);
  if (!result.ok()) {
    platform.standardOutput.writeLine("error getting " + element->description() + "[" + attribute +
                                      "]: " + std::to_string(result.code));
    return std::nullopt;
  }
  return as(result.value, static_cast<T*>(nullptr));
}

template std::optional<std::string> copyAttribute(port::Platform&, const std::string&,
                                                  const port::ElementRef&);
template std::optional<port::ElementRef> copyAttribute(port::Platform&, const std::string&,
                                                       const port::ElementRef&);
template std::optional<std::vector<port::ElementRef>> copyAttribute(port::Platform&,
                                                                    const std::string&,
                                                                    const port::ElementRef&);

}  // namespace zorv::helper

#include "helper/menu_attributes.h"

#include <cmath>

namespace zorv::helper::menu_attributes {

std::optional<port::Value> read(port::Platform& platform, const port::ElementRef& element,
                                const char* attribute) {
  auto result = platform.accessibility.copyAttributeValue(element, attribute);
  if (!result.ok()) return std::nullopt;
  return std::move(result.value);
}

std::optional<std::string> readString(port::Platform& platform, const port::ElementRef& element,
                                      const char* attribute) {
  auto value = read(platform, element, attribute);
  if (!value) return std::nullopt;
  if (const auto* s = value->get<std::string>()) return *s;
  return std::nullopt;
}

std::optional<std::vector<port::ElementRef>> readElements(port::Platform& platform,
                                                          const port::ElementRef& element,
                                                          const char* attribute) {
  auto value = read(platform, element, attribute);
  if (!value) return std::nullopt;
  const auto* array = value->get<port::Array>();
  if (!array) return std::nullopt;
  std::vector<port::ElementRef> elements;
  for (const auto& entry : *array) {
    const auto* e = entry.get<port::ElementRef>();
    if (!e || !*e) return std::nullopt;
    elements.push_back(*e);
  }
  return elements;
}

std::optional<std::int64_t> readInteger(port::Platform& platform, const port::ElementRef& element,
                                        const char* attribute) {
  auto value = read(platform, element, attribute);
  if (!value) return std::nullopt;
  const auto* number = value->get<port::Number>();
  if (!number) return std::nullopt;
  if (const auto* i = std::get_if<std::int64_t>(&number->value)) return *i;
  const double d = std::get<double>(number->value);
  if (std::trunc(d) != d || std::fabs(d) > 1e15) return std::nullopt;
  return static_cast<std::int64_t>(d);
}

bool isEnabled(port::Platform& platform, const port::ElementRef& element) {
  auto value = read(platform, element, "AXEnabled");
  const bool* enabled = value ? value->get<bool>() : nullptr;
  return enabled && *enabled;
}

}  // namespace zorv::helper::menu_attributes

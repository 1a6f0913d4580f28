#pragma once
// Silent attribute reads for the menu readers: a failed read counts as absent
// and prints nothing (unlike copyAttribute).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "port/platform.h"

namespace zorv::helper::menu_attributes {

std::optional<port::Value> read(port::Platform& platform, const port::ElementRef& element,
                                const char* attribute);
std::optional<std::string> readString(port::Platform& platform, const port::ElementRef& element,
                                      const char* attribute);
// An array whose entries are all elements.
std::optional<std::vector<port::ElementRef>> readElements(port::Platform& platform,
                                                          const port::ElementRef& element,
                                                          const char* attribute);
std::optional<std::int64_t> readInteger(port::Platform& platform, const port::ElementRef& element,
                                        const char* attribute);
// "AXEnabled" reads as boolean true.
bool isEnabled(port::Platform& platform, const port::ElementRef& element);

}  // namespace zorv::helper::menu_attributes

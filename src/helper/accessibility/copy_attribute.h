#pragma once
// Reading one attribute of a raw accessibility element, with a diagnostic line
// when the platform call fails.

#include <optional>
#include <string>
#include <vector>

#include "port/platform.h"

namespace zorv::helper {

// The value of `attribute` when the call succeeds and the value is of kind T
// (std::string, port::ElementRef, or std::vector<port::ElementRef> for an array
// whose entries are all elements); absent otherwise. A failed call prints
// "error getting <element>[<attribute>]: <code>".
template <class T>
std::optional<T> copyAttribute(port::Platform& platform, const std::string& attribute,
                               const port::ElementRef& element);

extern template std::optional<std::string> copyAttribute(port::Platform&, const std::string&,
                                                         const port::ElementRef&);
extern template std::optional<port::ElementRef> copyAttribute(port::Platform&, const std::string&,
                                                              const port::ElementRef&);
extern template std::optional<std::vector<port::ElementRef>> copyAttribute(port::Platform&,
                                                                           const std::string&,
                                                                           const port::ElementRef&);

}  // namespace zorv::helper

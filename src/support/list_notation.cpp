#include "support/list_notation.h"

#include <cstdio>

namespace zorv::support {
namespace {

void appendEscaped(std::string& out, const std::string& item) {
  for (char c : item) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\'':
        out += "\\'";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
          // Other control characters would garble a terminal line.
          char buffer[16];
          std::snprintf(buffer, sizeof buffer, "\\u{%x}", static_cast<unsigned>(c));
          out += buffer;
        } else {
          out += c;
        }
    }
  }
}

}  // namespace

std::string listNotation(const std::vector<std::string>& items) {
  std::string out = "[";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += ", ";
    out += '"';
    appendEscaped(out, items[i]);
    out += '"';
  }
  out += ']';
  return out;
}

}  // namespace zorv::support

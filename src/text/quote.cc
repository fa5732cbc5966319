#include "text/quote.h"

#include <charconv>
#include <cmath>

#include "text/unicode.h"

namespace vindle {

void append_debug_quoted(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t start = i;
    const char32_t c = next_code_point(text, i);
    switch (c) {
      case '"': out += "\\\""; continue;
      case '\\': out += "\\\\"; continue;
      case '\t': out += "\\t"; continue;
      case '\n': out += "\\n"; continue;
      case '\r': out += "\\r"; continue;
      case 0: out += "\\0"; continue;
      default: break;
    }
    if (is_printable(c) && !is_grapheme_extend(c)) {
      out.append(text.substr(start, i - start));
      continue;
    }
    out += "\\u{";
    bool started = false;
    for (int shift = 20; shift >= 0; shift -= 4) {
      const unsigned digit = (c >> shift) & 0xF;
      if (digit != 0 || started || shift == 0) {
        out += kHex[digit];
        started = true;
      }
    }
    out += '}';
  }
  out += '"';
}

std::string debug_quote(std::string_view text) {
  std::string out;
  append_debug_quoted(out, text);
  return out;
}

std::string debug_number(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  const double magnitude = std::fabs(value);
  char buffer[64];
  if (magnitude != 0 && (magnitude >= 1e16 || magnitude < 1e-4)) {
    // Shortest digits in scientific form, then rewritten from "1.5e-05"
    // and "1e+16" to "1.5e-5" and "1e16".
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::scientific);
    const std::string_view text(buffer, result.ptr - buffer);
    const std::size_t e = text.find('e');
    std::string out(text.substr(0, e));
    out += 'e';
    std::string_view exponent = text.substr(e + 1);
    if (exponent.front() == '-') {
      out += '-';
      exponent.remove_prefix(1);
    } else if (exponent.front() == '+') {
      exponent.remove_prefix(1);
    }
    while (exponent.size() > 1 && exponent.front() == '0') exponent.remove_prefix(1);
    out += exponent;
    return out;
  }
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  std::string out(buffer, result.ptr - buffer);
  if (out.find('.') == std::string::npos) out += ".0";
  return out;
}

}  // namespace vindle

// Text as the system reads it: walking UTF-8 by code point, the Unicode
// character classes the system relies on (from ICU), and trimming.
//
// Every string in the system is UTF-8. The helpers below never fail: a byte
// sequence that is not valid UTF-8 decodes one byte at a time as U+FFFD, so
// a stray byte can never make a walk overrun its input.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vindle {

// Decodes the code point that starts at byte `i` of `text` and advances `i`
// past it. `i` must be below text.size().
char32_t next_code_point(std::string_view text, std::size_t& i);

// Appends the UTF-8 encoding of `c` to `out`.
void append_utf8(std::string& out, char32_t c);

// Number of code points in `text`.
std::size_t count_code_points(std::string_view text);

// Byte equality for the short names that hot loops compare (element and
// function names): the sizes and the first byte decide most comparisons
// without a call into the library.
inline bool same_bytes(std::string_view a, std::string_view b) {
  return a.size() == b.size() && (a.empty() || (a.front() == b.front() && a == b));
}

// Unicode character classes.
bool is_white_space(char32_t c);     // White_Space
bool is_alphabetic(char32_t c);      // Alphabetic
bool is_numeric(char32_t c);         // general category Nd, Nl or No
bool is_grapheme_extend(char32_t c); // Grapheme_Extend
// Printable in the sense of the quoting below: not of the categories Cc, Cf,
// Cs, Co, Cn, Zl, Zp or Zs, except that the ASCII space is printable.
bool is_printable(char32_t c);
// Whether XML allows the character in a document (its Char production):
// not the C0 controls other than tab, line feed and carriage return, not a
// surrogate, not U+FFFE or U+FFFF.
constexpr bool is_xml_char(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Removal of White_Space characters from the ends.
std::string_view trim(std::string_view text);
std::string_view trim_start(std::string_view text);
std::string_view trim_end(std::string_view text);

}  // namespace vindle

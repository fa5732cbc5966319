// The two "debug" renderings that messages use to quote what they name: a
// text (an expression, a pattern, a value, a token's text) and a number (a
// number token).
#pragma once

#include <string>
#include <string_view>

namespace vindle {

// The quoted form of a text in messages: double quotes around it; a double
// quote or backslash escaped with a backslash; tab, line feed, carriage
// return and NUL as \t, \n, \r, \0; every other character that is not
// printable, or that extends the grapheme before it, as \u{hex}.
std::string debug_quote(std::string_view text);
void append_debug_quoted(std::string& out, std::string_view text);

// The debug form of a number: the shortest text that reads back as the same
// double; ".0" after an integral value; exponent form ("1e16", "1.5e-5") at
// or above 1e16 and below 1e-4 (zero excepted); "inf", "-inf", "NaN".
std::string debug_number(double value);

}  // namespace vindle

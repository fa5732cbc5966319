// Cutting an XPath expression into tokens. The lexer decides as little as it
// can: "*" is always Star and "-" always Minus, number literals are never
// signed, and the words "or", "and", "div" and "mod" are plain names; the
// parser gives them their meaning from where they stand.
#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "parser/token.h"

namespace vindle {

// The whole text as tokens, or the message of its first lexical error.
std::expected<std::vector<Token>, std::string> lex_expression(std::string_view text);

// A character that may continue a name (or a variable's name): Alphabetic,
// a numeric character (Nd, Nl, No), "-", "." or "_".
bool is_name_char(char32_t c);

}  // namespace vindle

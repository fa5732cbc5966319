#include "parser/lexer.h"

#include <charconv>
#include <limits>

#include "text/result.h"
#include "text/unicode.h"

namespace vindle {
namespace {

using Kind = Token::Kind;

bool is_digit(char32_t c) { return c >= '0' && c <= '9'; }
bool is_name_start(char32_t c) { return c == '_' || is_alphabetic(c); }

// The byte at `i`, or NUL past the end; look-ahead only ever asks about
// ASCII characters, and a NUL in the text never matches what it asks for.
char byte_at(std::string_view text, std::size_t i) { return i < text.size() ? text[i] : '\0'; }

// Reads a run of digits with at most one "." as the nearest double. A run
// too large for a double is infinity and one too small is zero, as the
// decimal value rounds to them.
std::expected<double, std::string> read_number(std::string_view run) {
  double value = 0;
  const auto [end, error] =
      std::from_chars(run.data(), run.data() + run.size(), value, std::chars_format::fixed);
  if (end != run.data() + run.size() || (error != std::errc() && error != std::errc::result_out_of_range)) {
    return std::unexpected("'" + std::string(run) + "' is not a number");
  }
  if (error == std::errc::result_out_of_range) {
    // from_chars leaves the value alone when it is out of range: a nonzero
    // digit before the point means at least 1, so the run overflowed.
    const std::string_view whole = run.substr(0, run.find('.'));
    const bool overflow = whole.find_first_not_of('0') != std::string_view::npos;
    value = overflow ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return value;
}

// The text between quotes as it stands, except that bytes which are not
// UTF-8 become U+FFFD as they do everywhere else, so that the tree holds
// only valid text.
std::string literal_text(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size();) {
    const std::size_t start = i;
    const char32_t c = next_code_point(raw, i);
    if (c == 0xFFFD && i - start == 1) {
      append_utf8(out, c);
    } else {
      out.append(raw.substr(start, i - start));
    }
  }
  return out;
}

std::string unexpected_character(char32_t c) {
  std::string message = "unexpected character '";
  append_utf8(message, c);
  message += '\'';
  return message;
}

}  // namespace

bool is_name_char(char32_t c) {
  return c == '-' || c == '.' || c == '_' || is_alphabetic(c) || is_numeric(c);
}

std::expected<std::vector<Token>, std::string> lex_expression(std::string_view text) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t start = i;
    const char32_t c = next_code_point(text, i);
    const char next = byte_at(text, i);
    switch (c) {
      case '[': tokens.emplace_back(Kind::LeftBracket); continue;
      case ']': tokens.emplace_back(Kind::RightBracket); continue;
      case '|': tokens.emplace_back(Kind::Pipe); continue;
      case '(': tokens.emplace_back(Kind::LeftParen); continue;
      case ')': tokens.emplace_back(Kind::RightParen); continue;
      case '*': tokens.emplace_back(Kind::Star); continue;
      case '+': tokens.emplace_back(Kind::Plus); continue;
      case ',': tokens.emplace_back(Kind::Comma); continue;
      case '-': tokens.emplace_back(Kind::Minus); continue;
      case '=': tokens.emplace_back(Kind::Equal); continue;
      case '@': tokens.emplace_back(Kind::At); continue;
      case '!':
        if (next != '=') return std::unexpected(unexpected_character(c));
        tokens.emplace_back(Kind::NotEqual);
        ++i;
        continue;
      case ':':
        if (next != ':') return std::unexpected(unexpected_character(c));
        tokens.emplace_back(Kind::DoubleColon);
        ++i;
        continue;
      case '/':
        if (next == '/') {
          tokens.emplace_back(Kind::DoubleSlash);
          ++i;
        } else {
          tokens.emplace_back(Kind::Slash);
        }
        continue;
      case '<':
      case '>': {
        const bool or_equal = next == '=';
        if (or_equal) ++i;
        const Kind kind = c == '<' ? (or_equal ? Kind::LessEqual : Kind::Less)
                                   : (or_equal ? Kind::GreaterEqual : Kind::Greater);
        tokens.emplace_back(kind);
        continue;
      }
      case '"':
      case '\'': {
        // Quotes are ASCII, so a byte search cannot land inside a character.
        const std::size_t close = text.find(static_cast<char>(c), i);
        if (close == std::string_view::npos) {
          return std::unexpected("unterminated string starting at character " +
                                 std::to_string(count_code_points(text.substr(0, start)) + 1));
        }
        tokens.push_back(Token::Literal(literal_text(text.substr(i, close - i))));
        i = close + 1;
        continue;
      }
      case '$': {
        // Name characters are never U+FFFD, so the run is valid UTF-8.
        std::size_t end = i;
        while (end < text.size()) {
          std::size_t after = end;
          if (!is_name_char(next_code_point(text, after))) break;
          end = after;
        }
        tokens.push_back(Token::Variable(std::string(text.substr(i, end - i))));
        i = end;
        continue;
      }
      case '.':
        if (next == '.') {
          tokens.emplace_back(Kind::DoubleDot);
          ++i;
          continue;
        }
        if (is_digit(static_cast<unsigned char>(next))) {
          std::size_t end = i;
          while (is_digit(static_cast<unsigned char>(byte_at(text, end)))) ++end;
          VINDLE_ASSIGN_OR_RETURN(auto&& value, read_number(text.substr(start, end - start)));
          tokens.push_back(Token::Number(value));
          i = end;
          continue;
        }
        tokens.emplace_back(Kind::Dot);
        continue;
      default:
        break;
    }
    if (is_white_space(c)) continue;
    if (is_digit(c)) {
      std::size_t end = i;
      while (end < text.size() && (is_digit(static_cast<unsigned char>(text[end])) || text[end] == '.')) ++end;
      VINDLE_ASSIGN_OR_RETURN(auto&& value, read_number(text.substr(start, end - start)));
      tokens.push_back(Token::Number(value));
      i = end;
      continue;
    }
    if (is_name_start(c)) {
      // A name takes single colons (jr:choice-name, even a trailing one) but
      // stops before "::", which belongs to an axis.
      std::size_t end = i;
      while (end < text.size()) {
        if (text[end] == ':') {
          if (byte_at(text, end + 1) == ':') break;
          ++end;
          continue;
        }
        std::size_t after = end;
        if (!is_name_char(next_code_point(text, after))) break;
        end = after;
      }
      tokens.push_back(Token::Name(std::string(text.substr(start, end - start))));
      i = end;
      continue;
    }
    return std::unexpected(unexpected_character(c));
  }
  return tokens;
}

}  // namespace vindle

// The lexical tokens of an XPath expression. Tokens carry no position: the
// parser only ever needs the kind and, for four kinds, a payload. Their debug
// form ("Name(\"x\")", "Number(2.0)", "RightParen") is what parse errors show.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace vindle {

struct Token {
  enum class Kind : std::uint8_t {
    Name,
    Number,
    Literal,
    Variable,
    Slash,
    DoubleSlash,
    Dot,
    DoubleDot,
    At,
    Star,
    LeftParen,
    RightParen,
    LeftBracket,
    RightBracket,
    Comma,
    Pipe,
    Plus,
    Minus,
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    DoubleColon,
  };

  Kind kind;
  std::string text;   // the payload of Name, Literal and Variable
  double number = 0;  // the payload of Number

  // A token without payload; implicit so that `Token::Kind::Comma` can stand
  // wherever a token is expected.
  Token(Kind kind) : kind(kind) {}

  static Token Name(std::string text) { return Token(Kind::Name, std::move(text)); }
  static Token Literal(std::string text) { return Token(Kind::Literal, std::move(text)); }
  static Token Variable(std::string name) { return Token(Kind::Variable, std::move(name)); }
  static Token Number(double value) {
    Token token(Kind::Number);
    token.number = value;
    return token;
  }

  // Same kind and equal payload; a Number compares by value, so NaN never
  // equals anything.
  bool operator==(const Token& other) const;

 private:
  Token(Kind kind, std::string text) : kind(kind), text(std::move(text)) {}
};

// The variant's name: "RightParen".
std::string_view kind_name(Token::Kind kind);

// The debug form: the variant's name, followed for Name, Literal and Variable
// by the payload in debug quotes in parentheses, and for Number by the value
// in its debug form in parentheses.
std::string debug_token(const Token& token);

}  // namespace vindle

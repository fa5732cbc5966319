#include "parser/token.h"

#include "text/quote.h"

namespace vindle {

bool Token::operator==(const Token& other) const {
  if (kind != other.kind) return false;
  switch (kind) {
    case Kind::Name:
    case Kind::Literal:
    case Kind::Variable:
      return text == other.text;
    case Kind::Number:
      return number == other.number;
    default:
      return true;
  }
}

std::string_view kind_name(Token::Kind kind) {
  using enum Token::Kind;
  switch (kind) {
    case Name: return "Name";
    case Number: return "Number";
    case Literal: return "Literal";
    case Variable: return "Variable";
    case Slash: return "Slash";
    case DoubleSlash: return "DoubleSlash";
    case Dot: return "Dot";
    case DoubleDot: return "DoubleDot";
    case At: return "At";
    case Star: return "Star";
    case LeftParen: return "LeftParen";
    case RightParen: return "RightParen";
    case LeftBracket: return "LeftBracket";
    case RightBracket: return "RightBracket";
    case Comma: return "Comma";
    case Pipe: return "Pipe";
    case Plus: return "Plus";
    case Minus: return "Minus";
    case Equal: return "Equal";
    case NotEqual: return "NotEqual";
    case Less: return "Less";
    case LessEqual: return "LessEqual";
    case Greater: return "Greater";
    case GreaterEqual: return "GreaterEqual";
    case DoubleColon: return "DoubleColon";
  }
  return "?";
}

std::string debug_token(const Token& token) {
  std::string out(kind_name(token.kind));
  switch (token.kind) {
    case Token::Kind::Name:
    case Token::Kind::Literal:
    case Token::Kind::Variable:
      out += '(';
      append_debug_quoted(out, token.text);
      out += ')';
      break;
    case Token::Kind::Number:
      out += '(';
      out += debug_number(token.number);
      out += ')';
      break;
    default:
      break;
  }
  return out;
}

}  // namespace vindle

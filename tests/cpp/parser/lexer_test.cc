#include "parser/lexer.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "parser/token.h"

namespace vindle {
namespace {

// The tokens of `text` in their debug forms, separated by spaces, or
// "error: " and the message.
std::string lexed(std::string_view text) {
  auto tokens = lex_expression(text);
  if (!tokens) return "error: " + tokens.error();
  std::string out;
  for (const Token& token : *tokens) {
    if (!out.empty()) out += ' ';
    out += debug_token(token);
  }
  return out;
}

}  // namespace

void PrintTo(const Token& token, std::ostream* out) { *out << debug_token(token); }

namespace {

struct Case {
  std::string text;
  std::string expected;
};

TEST(Lexer, CutsTextIntoTokens) {
  const Case cases[] = {
      {"a-b", R"(Name("a-b"))"},
      {"a - b", R"(Name("a") Minus Name("b"))"},
      {"x -1", R"(Name("x") Minus Number(1.0))"},
      {"-1", "Minus Number(1.0)"},
      {"child::x", R"(Name("child") DoubleColon Name("x"))"},
      {"jr:choice-name(x, y)",
       R"(Name("jr:choice-name") LeftParen Name("x") Comma Name("y") RightParen)"},
      {"a:", R"(Name("a:"))"},
      {"a:::b", "error: unexpected character ':'"},
      {"été", R"(Name("été"))"},
      {"a٣", R"(Name("a٣"))"},  // Arabic-Indic digit three continues a name
      {"div or and mod", R"(Name("div") Name("or") Name("and") Name("mod"))"},
      {".5", "Number(0.5)"},
      {"..5", "DoubleDot Number(5.0)"},
      {".5.5", "Number(0.5) Number(0.5)"},
      {"5.", "Number(5.0)"},
      {"1e3", R"(Number(1.0) Name("e3"))"},
      {". .. .x", R"(Dot DoubleDot Dot Name("x"))"},
      {"$a", R"(Variable("a"))"},
      {"$", R"(Variable(""))"},
      {"$ a", R"(Variable("") Name("a"))"},
      {"'it\"s'", R"(Literal("it\"s"))"},
      {"\"it's\"", R"(Literal("it's"))"},
      {"''", R"(Literal(""))"},
      {"'a''b'", R"(Literal("a") Literal("b"))"},
      {"'a\\nb'", R"(Literal("a\\nb"))"},  // no escapes inside literals
      {"/ // @ * ( ) [ ] , | +", "Slash DoubleSlash At Star LeftParen RightParen LeftBracket RightBracket "
                                 "Comma Pipe Plus"},
      {"///", "DoubleSlash Slash"},
      {"= != < <= > >= ::", "Equal NotEqual Less LessEqual Greater GreaterEqual DoubleColon"},
      {"a<b>c", R"(Name("a") Less Name("b") Greater Name("c"))"},
      {"", ""},
      {" \t\r\n\v\f", ""},
      {"\u00a0a\u3000b\u2028", R"(Name("a") Name("b"))"},
      {"\u0085a", R"(Name("a"))"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(lexed(text), expected) << text;
}

TEST(Lexer, ReportsTheFirstLexicalError) {
  const Case cases[] = {
      {"7 # 3", "error: unexpected character '#'"},
      {"a : b", "error: unexpected character ':'"},
      {"$a:b", "error: unexpected character ':'"},
      {"a;b", "error: unexpected character ';'"},
      {"\\", "error: unexpected character '\\'"},
      {"٣", "error: unexpected character '٣'"},  // a non-ASCII digit starts nothing
      {"\x7f", "error: unexpected character '\x7f'"},
      {"'abc", "error: unterminated string starting at character 1"},
      {"concat('a", "error: unterminated string starting at character 8"},
      {"  \"x", "error: unterminated string starting at character 3"},
      {"ééé 'x", "error: unterminated string starting at character 5"},  // counted in characters
      {"1.5.2", "error: '1.5.2' is not a number"},
      {"1..2", "error: '1..2' is not a number"},
      {"# 'x", "error: unexpected character '#'"},  // the first error wins
      {"'x # 1.2.3", "error: unterminated string starting at character 1"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(lexed(text), expected) << text;
}

TEST(Lexer, ReadsNumbersCorrectlyRounded) {
  const std::pair<std::string, double> cases[] = {
      {"0.1", 0.1},
      {"9007199254740993", 9007199254740992.0},  // halfway, rounds to even
      {"9007199254740993.000000000000000000001", 9007199254740994.0},
      {"17976931348623157" + std::string(292, '0') + ".", std::numeric_limits<double>::max()},
      {"1" + std::string(400, '0'), std::numeric_limits<double>::infinity()},
      {"1" + std::string(400, '0') + ".5", std::numeric_limits<double>::infinity()},
      {"0." + std::string(400, '0') + "1", 0.0},
      {"." + std::string(400, '0') + "1", 0.0},
      {"0." + std::string(323, '0') + "5", 5e-324},  // the smallest subnormal
  };
  for (const auto& [text, value] : cases) {
    auto tokens = lex_expression(text);
    ASSERT_TRUE(tokens) << text << ": " << tokens.error();
    ASSERT_EQ(tokens->size(), 1u) << text;
    EXPECT_EQ((*tokens)[0], Token::Number(value)) << text;
  }
}

TEST(Lexer, DebugFormsOfTokens) {
  const std::pair<Token, std::string> cases[] = {
      {Token::Name("x"), R"(Name("x"))"},
      {Token::Literal("say \"hi\"\n"), R"(Literal("say \"hi\"\n"))"},
      {Token::Number(2), "Number(2.0)"},
      {Token::Number(0.5), "Number(0.5)"},
      {Token::Number(1e16), "Number(1e16)"},
      {Token::Number(0.00001), "Number(1e-5)"},
      {Token::Number(std::numeric_limits<double>::infinity()), "Number(inf)"},
      {Token::Kind::RightParen, "RightParen"},
      {Token::Kind::GreaterEqual, "GreaterEqual"},
  };
  for (const auto& [token, expected] : cases) EXPECT_EQ(debug_token(token), expected);
}

TEST(Lexer, SurvivesAnyBytes) {
  // Every control character: white space is skipped, the rest is refused by
  // name; nothing reads past the text.
  for (int c = 0; c < 0x20; ++c) {
    const std::string text = std::string("a") + static_cast<char>(c) + "b";
    const bool blank = c >= 0x09 && c <= 0x0D;
    EXPECT_EQ(lexed(text), blank ? R"(Name("a") Name("b"))"
                                 : "error: unexpected character '" + std::string(1, static_cast<char>(c)) + "'")
        << c;
  }
  const Case cases[] = {
      {std::string("'a\0b'", 5), R"(Literal("a\0b"))"},
      {std::string("\0", 1), std::string("error: unexpected character '\0'", 31)},
      {"\xff", "error: unexpected character '\uFFFD'"},
      {"a\xC3", "error: unexpected character '\uFFFD'"},
      {"\xED\xA0\x80", "error: unexpected character '\uFFFD'"},  // an encoded surrogate
      {"'\xC3\x28\xE2\x82'", "Literal(\"\uFFFD(\uFFFD\uFFFD\")"},
      {"'\xF0\x9F\x98\x80'", "Literal(\"\U0001F600\")"},
      {"\xF0\x9F\x98", "error: unexpected character '\uFFFD'"},
      {"\uFFFF", "error: unexpected character '\uFFFF'"},
      {"x\u0345", R"(Name("x\u{345}"))"},  // a combining mark, but Alphabetic
      {"x\u0301", "error: unexpected character '\u0301'"},  // not Alphabetic
      {"'\xC3", "error: unterminated string starting at character 1"},
      {"\xC3'", "error: unexpected character '\uFFFD'"},
      {"$\xC3", "error: unexpected character '\uFFFD'"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(lexed(text), expected) << text;
}

}  // namespace
}  // namespace vindle

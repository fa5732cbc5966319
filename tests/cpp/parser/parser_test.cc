#include "parser/parser.h"

#include <gtest/gtest.h>

#include <string>

#include "expr_printer.h"

namespace vindle {
namespace {

using testing::shape;

struct Case {
  std::string text;
  std::string expected;
};

TEST(Parser, BuildsPrimariesAndPaths) {
  const Case cases[] = {
      {"1", "(Number 1.0)"},
      {"'a'", R"((Literal "a"))"},
      {"$v", R"((Variable "v"))"},
      {"(1)", "(Number 1.0)"},
      {"a", "(Path child::a)"},
      {"/", "(Path /)"},
      {"/a/b", "(Path / child::a child::b)"},
      {"//a", "(Path / descendant-or-self::* child::a)"},
      {"a//b", "(Path child::a descendant-or-self::* child::b)"},
      {"a/b[1]/c", "(Path child::a child::b[(Number 1.0)] child::c)"},
      {"a[b][c]", "(Path child::a[(Path child::b)][(Path child::c)])"},
      {"count(x)", "(Call count (Path child::x))"},
      {"f()", "(Call f)"},
      {"f(1, 'a', $b)", R"((Call f (Number 1.0) (Literal "a") (Variable "b")))"},
      {"jr:choice-name(a, 'q')", R"((Call jr:choice-name (Path child::a) (Literal "q")))"},
      {"jr:x/a", "(Path child::x child::a)"},
      {"a:b:c", "(Path child::c)"},
      {"a:", "(Path child::a:)"},
      {"/ = x", "(Eq (Path /) (Path child::x))"},
      {"/ | a", "(Union (Path /) (Path child::a))"},
      {"/[1]", "error: unexpected trailing input in \"/[1]\" at token 1"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(shape(text), expected) << text;
}

TEST(Parser, FiltersFollowOnlyPrimaries) {
  const Case cases[] = {
      {"1[1]", "(Filter (Number 1.0) [(Number 1.0)])"},
      {"'a'/b", R"((Filter (Literal "a") child::b))"},
      {"$v/a", R"((Filter (Variable "v") child::a))"},
      {"instance('a')/root/item",
       R"((Filter (Call instance (Literal "a")) child::root child::item))"},
      {"(a | b)[1]", "(Filter (Union (Path child::a) (Path child::b)) [(Number 1.0)])"},
      {"f()//a", "(Filter (Call f) descendant-or-self::* child::a)"},
      {"f()[1][2]/a[3]//b",
       "(Filter (Call f) [(Number 1.0)] [(Number 2.0)] child::a[(Number 3.0)] descendant-or-self::* "
       "child::b)"},
      {"(a)/b", "(Filter (Path child::a) child::b)"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(shape(text), expected) << text;
}

TEST(Parser, Abbreviations) {
  const Case cases[] = {
      {".", "(Path self::*)"},
      {"..", "(Path parent::*)"},
      {".[1]", "(Path self::*[(Number 1.0)])"},
      {"..[2]", "(Path parent::*[(Number 2.0)])"},
      {"../a", "(Path parent::* child::a)"},
      {"./a", "(Path self::* child::a)"},
      {"@id", "(Path attribute::id)"},
      {"@*", "(Path attribute::*)"},
      {"@node()", "(Path attribute::*)"},
      {"@jr:x", "(Path attribute::x)"},
      {"*", "(Path child::*)"},
      {"a/*/b", "(Path child::a child::* child::b)"},
      {"@child::x", "error: unexpected trailing input in \"@child::x\" at token 2"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(shape(text), expected) << text;
}

TEST(Parser, NodeTypeTestsMatchAnyNode) {
  const Case cases[] = {
      {"text()", "(Path child::*)"},
      {"node()", "(Path child::*)"},
      {"comment()", "(Path child::*)"},
      {"processing-instruction()", "(Path child::*)"},
      {"a/text()", "(Path child::a child::*)"},
      {"text", "(Path child::text)"},
      {"texts()", "(Call texts)"},
      {"Text()", "(Call Text)"},
      {"processing-instruction('x')", R"(error: expected RightParen, found Some(Literal("x")))"},
      {"text(", "error: expected RightParen, found None"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(shape(text), expected) << text;
}

TEST(Parser, EveryAxisWord) {
  const char* words[] = {"child",     "parent",           "self",      "descendant",
                         "descendant-or-self", "ancestor", "ancestor-or-self", "attribute",
                         "following", "following-sibling", "preceding", "preceding-sibling"};
  for (const char* word : words) {
    EXPECT_EQ(shape(std::string(word) + "::x"), "(Path " + std::string(word) + "::x)");
    EXPECT_EQ(shape(std::string(word) + "::node()[1]"), "(Path " + std::string(word) + "::*[(Number 1.0)])");
  }
  const Case cases[] = {
      {"namespace::x", "error: unsupported axis 'namespace'"},
      {"Child::x", "error: unsupported axis 'Child'"},
      {"a/jr:child::x", "error: unsupported axis 'jr:child'"},
      {"child::*", "(Path child::*)"},
      {"child::", "error: expected a node test, found None"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(shape(text), expected) << text;
}

TEST(Parser, PrecedenceAndAssociativity) {
  const Case cases[] = {
      {"a or b and c", "(Or (Path child::a) (And (Path child::b) (Path child::c)))"},
      {"a and b or c", "(Or (And (Path child::a) (Path child::b)) (Path child::c))"},
      {"a = b = c", "(Eq (Eq (Path child::a) (Path child::b)) (Path child::c))"},
      {"a - b - c", "(Sub (Sub (Path child::a) (Path child::b)) (Path child::c))"},
      {"a | b | c", "(Union (Union (Path child::a) (Path child::b)) (Path child::c))"},
      {"8 div 4 div 2", "(Div (Div (Number 8.0) (Number 4.0)) (Number 2.0))"},
      {"1 + 2 * 3", "(Add (Number 1.0) (Mul (Number 2.0) (Number 3.0)))"},
      {"1 * 2 + 3", "(Add (Mul (Number 1.0) (Number 2.0)) (Number 3.0))"},
      {"1 div 2 mod 3", "(Mod (Div (Number 1.0) (Number 2.0)) (Number 3.0))"},
      {"1 < 2 = 3 >= 4", "(Eq (Lt (Number 1.0) (Number 2.0)) (Ge (Number 3.0) (Number 4.0)))"},
      {"a != b <= c", "(Ne (Path child::a) (Le (Path child::b) (Path child::c)))"},
      {"(1 + 2) * 3", "(Mul (Add (Number 1.0) (Number 2.0)) (Number 3.0))"},
      {"- - 1", "(Negate (Negate (Number 1.0)))"},
      {"-a | b", "(Negate (Union (Path child::a) (Path child::b)))"},
      {"1 - -1", "(Sub (Number 1.0) (Negate (Number 1.0)))"},
      {"-1 * 2", "(Mul (Negate (Number 1.0)) (Number 2.0))"},
      {"x -1", "(Sub (Path child::x) (Number 1.0))"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(shape(text), expected) << text;
}

TEST(Parser, OperatorWordsAreNamesWhereAnOperandStarts) {
  const Case cases[] = {
      {"div div div", "(Div (Path child::div) (Path child::div))"},
      {"mod mod mod", "(Mod (Path child::mod) (Path child::mod))"},
      {"or or or", "(Or (Path child::or) (Path child::or))"},
      {"and = 1", "(Eq (Path child::and) (Number 1.0))"},
      {"* * *", "(Mul (Path child::*) (Path child::*))"},
      {"a/or", "(Path child::a child::or)"},
      {"a OR b", "error: unexpected trailing input in \"a OR b\" at token 1"},
      {"a andb", "error: unexpected trailing input in \"a andb\" at token 1"},
      {"/ and x", "error: unexpected trailing input in \"/ and x\" at token 2"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(shape(text), expected) << text;
}

TEST(Parser, SyntaxErrors) {
  const Case cases[] = {
      {"", "error: expected a node test, found None"},
      {" \t ", "error: expected a node test, found None"},
      {"a/", "error: expected a node test, found None"},
      {"//", "error: expected a node test, found None"},
      {"@", "error: expected a node test, found None"},
      {"1 +", "error: expected a node test, found None"},
      {"1 = = 2", "error: expected a node test, found Some(Equal)"},
      {"a[]", "error: expected a node test, found Some(RightBracket)"},
      {"(1", "error: expected RightParen, found None"},
      {"a[1", "error: expected RightBracket, found None"},
      {"a[1)", "error: expected RightBracket, found Some(RightParen)"},
      {"f(", "error: expected a node test, found None"},
      {"f(1,)", "error: expected a node test, found Some(RightParen)"},
      {"f(1 2)", "error: expected RightParen, found Some(Number(2.0))"},
      {"f(1", "error: expected RightParen, found None"},
      {"a | -b", "error: expected a node test, found Some(Minus)"},
      {"a b", "error: unexpected trailing input in \"a b\" at token 1"},
      {"a)", "error: unexpected trailing input in \"a)\" at token 1"},
      {"'a' \"b\"", R"(error: unexpected trailing input in "'a' \"b\"" at token 1)"},
      {"f(1) (2)", "error: unexpected trailing input in \"f(1) (2)\" at token 4"},
      {"1 # 2", "error: unexpected character '#'"},
      {"(1 # 2", "error: unexpected character '#'"},  // lexing comes first
      {"x = 'a", "error: unterminated string starting at character 5"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(shape(text), expected) << text;
}

TEST(Parser, EatAndExpectMatchKindAndPayload) {
  Parser parser({Token::Name("a"), Token::Number(1), Token::Kind::Comma});
  EXPECT_FALSE(parser.eat(Token::Name("b")));
  EXPECT_FALSE(parser.eat(Token::Literal("a")));
  EXPECT_TRUE(parser.eat(Token::Name("a")));
  EXPECT_EQ(parser.expect(Token::Number(2)).error(), "expected Number(2.0), found Some(Number(1.0))");
  EXPECT_TRUE(parser.expect(Token::Number(1)));
  EXPECT_TRUE(parser.eat(Token::Kind::Comma));
  EXPECT_FALSE(parser.eat(Token::Kind::Comma));
  EXPECT_EQ(parser.expect(Token::Kind::RightParen).error(), "expected RightParen, found None");
  EXPECT_EQ(parser.pos(), 3u);
}

}  // namespace
}  // namespace vindle

#include "text/number.h"
#include "text/quote.h"
#include "text/unicode.h"

#include <gtest/gtest.h>

namespace vindle {
namespace {

TEST(Text, TrimRemovesUnicodeWhiteSpace) {
  EXPECT_EQ(trim("\u00a0\u3000 a b\t\u2028"), "a b");
  EXPECT_EQ(trim("\u200b"), "\u200b");  // zero width space is not White_Space
  EXPECT_EQ(trim(" \t "), "");
  EXPECT_EQ(trim_start("  x "), "x ");
  EXPECT_EQ(trim_end(" x \u0085"), " x");
}

TEST(Text, InvalidUtf8DecodesOneByteAtATime) {
  const std::string bad = "a\xC3\x28\xFF\xE2\x82";
  std::size_t i = 0;
  std::u32string out;
  while (i < bad.size()) out += next_code_point(bad, i);
  EXPECT_EQ(out, (std::u32string{'a', 0xFFFD, '(', 0xFFFD, 0xFFFD, 0xFFFD}));
  EXPECT_EQ(trim_end("a \xE2\x80"), "a \xE2\x80");
}

TEST(Text, DebugQuote) {
  const std::pair<std::string, std::string> cases[] = {
      {"x", R"("x")"},
      {"a\"b\\c", R"("a\"b\\c")"},
      {"it's", R"("it's")"},
      {std::string("\t\n\r\0", 4), R"("\t\n\r\0")"},
      {"\x01\x7f", R"("\u{1}\u{7f}")"},
      {"e\u0301", R"("e\u{301}")"},      // combining acute accent
      {"\u00a0\u200b", R"("\u{a0}\u{200b}")"},
      {"é ü 日本", R"("é ü 日本")"},
      {"\U0001F600", "\"\U0001F600\""},
  };
  for (const auto& [text, quoted] : cases) EXPECT_EQ(debug_quote(text), quoted) << text;
}

TEST(Text, DebugNumber) {
  const std::pair<double, std::string> cases[] = {
      {2, "2.0"},       {0.5, "0.5"},    {1e16, "1e16"},       {0.00001, "1e-5"},
      {1.5e-5, "1.5e-5"}, {0.0001, "0.0001"}, {1e15, "1000000000000000.0"},
      {-0.0, "-0.0"},   {0.1, "0.1"},    {1.0 / 0.0, "inf"},   {-1.0 / 0.0, "-inf"},
      {1.2345e20, "1.2345e20"},          {123.456, "123.456"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(debug_number(value), text) << text;
}

}  // namespace
}  // namespace vindle

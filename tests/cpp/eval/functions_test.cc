// Function bodies and conversions: dates read as numbers, once() on an
// empty node, distance() through several arguments, distance() and area()
// of a node-set of several points, and regex() patterns compiled once per
// environment.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include <re2/re2.h>

#include "eval/env.h"
#include "eval/evaluator.h"
#include "eval/value.h"
#include "parser/parser.h"
#include "text/number.h"

namespace vindle {
namespace {

// The string value of `expression` at the root element, or its message.
std::string run(std::string_view expression, std::string_view xml, const EvalEnv& env) {
  auto document = Document::parse(xml);
  if (!document) return "xml: " + document.error();
  auto expr = parse_expression(expression);
  if (!expr) return "parse: " + expr.error();
  auto value = evaluate(*expr, *document, Focus{*document->root(), 1, 1}, env);
  if (!value) return "error: " + value.error();
  return value_to_string(*value, *document);
}

std::string run(std::string_view expression, std::string_view xml = "<a/>") {
  return run(expression, xml, ClockEnv("2024-03-15", "2024-03-15T10:20:30.000Z"));
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(Dates, ReadAsDaysSinceTheEpochWhereTheTextIsNoDecimal) {
  const std::pair<std::string_view, double> cases[] = {
      {"2024-03-05", 19787},
      {"1970-01-01", 0},
      {"1969-12-31", -1},
      {"0000-03-01", -719468},
      {"2000-02-29", 11016},
      {" 2024-03-05\n", 19787},
      {"2024-03-05T12:00:00Z", 19787.5},
      {"2024-03-05T12:00", 19787.5},
      {"2024-03-05T06:00:00.000Z", 19787.25},
      {"1970-01-01T00:00:00.5Z", 0.5 / 86400},
      {"2024-03-05T12:00+12:00", 19787},
      {"2024-03-05T18:00:00-06:00", 19788},
      {"1969-12-31T18:00:00Z", -0.25},
      // Not dates: a time alone, short fields, days the calendar lacks,
      // times the clock lacks, other separators and anything trailing.
      {"12:00", kNaN},
      {"2024-3-5", kNaN},
      {"2024-02-30", kNaN},
      {"1900-02-29", kNaN},
      {"2024-13-01", kNaN},
      {"2024-00-10", kNaN},
      {"24-03-05", kNaN},
      {"+2024-03-05", kNaN},
      {"2024-03-05T24:00", kNaN},
      {"2024-03-05T12:60", kNaN},
      {"2024-03-05T12:00:60", kNaN},
      {"2024-03-05T12", kNaN},
      {"2024-03-05T12:00:00.", kNaN},
      {"2024-03-05t12:00", kNaN},
      {"2024-03-05 12:00", kNaN},
      {"2024-03-05T12:00z", kNaN},
      {"2024-03-05T12:00+0100", kNaN},
      {"2024-03-05T12:00+01:00x", kNaN},
      {"2024-03-05Z", kNaN},
      {"2024-03-05x", kNaN},
      {"20240305", 20240305},
  };
  for (const auto& [text, expected] : cases) {
    const double got = parse_number(text);
    if (std::isnan(expected)) {
      EXPECT_TRUE(std::isnan(got)) << text << " gave " << got;
    } else {
      EXPECT_EQ(got, expected) << text;
    }
    // Where a date would be no number at all, the decimal alone is read.
    if (!std::isnan(expected) && text.find('-', 1) != std::string_view::npos) {
      EXPECT_TRUE(std::isnan(parse_decimal(text))) << text;
    }
  }
}

TEST(Dates, FractionalSecondsGiveTheCorrectlyRoundedDaysOfTheirMilliseconds) {
  // Each instant in whole milliseconds since 1970-01-01T00:00:00Z, digits
  // past the third dropped.
  const std::pair<std::string_view, std::int64_t> cases[] = {
      {"1982-06-22T07:28:51.173", 393578931173},
      {"2024-03-05T14:07:09.999+01:00", 1709644029999},
      {"1969-12-31T23:59:59.999Z", -1},
      {"2024-03-05T14:07:09.1Z", 1709647629100},
      {"1950-07-04T00:00:00.25-05:30", -615234599750},
      {"1912-04-15T02:20:00.007+00:00", -1821303599993},
      {"2001-09-09T01:46:40.0009Z", 1000000000000},
      {"1999-12-31T23:59:59.99999", 946684799999},
      {"1999-12-31T23:59:59.999999+00:30", 946682999999},
      {"1969-07-20T20:17:40.5005-23:59", -14096599500},
      {"0001-01-01T00:00:00.1234567Z", -62135596799877},
      {"0001-01-01T00:00:00.12345678Z", -62135596799877},
      {"9999-12-31T23:59:59.999999999+23:59", 253402214459999},
      {"1970-01-01T00:00:00.000000001Z", 0},
      {"1970-01-01T00:00:00.001-00:00", 1},
      {"1600-02-29T12:34:56.789+05:45", -11670973803211},
      {"2038-01-19T03:14:07.4444444", 2147483647444},
  };
  for (const auto& [text, milliseconds] : cases) {
    EXPECT_EQ(parse_number(text), static_cast<double>(milliseconds) / 86'400'000) << text;
  }
  EXPECT_EQ(run("'1982-06-22T07:28:51.173' + 0"), "4555.311703391204");
  EXPECT_EQ(run("'2024-03-05T14:07:09.999+01:00' + 0"), "19787.546643506943");
  EXPECT_EQ(run("'1969-12-31T23:59:59.999Z' * 86400000"), "-1");
}

TEST(Dates, WholeSecondsAreTheirSecondsOverADay) {
  // Every second of a day on either side of the epoch, as exact seconds
  // divided by 86400.
  for (const auto& [day, days] : {std::pair{"1982-06-22", 4555}, std::pair{"1969-12-31", -1}}) {
    for (int second = 0; second < 86400; ++second) {
      char text[32];
      std::snprintf(text, sizeof text, "%sT%02d:%02d:%02dZ", day, second / 3600,
                    second / 60 % 60, second % 60);
      const double expected = static_cast<double>(days * 86400 + second) / 86400;
      ASSERT_EQ(parse_number(text), expected) << text;
      if (second % 60 == 0) {
        ASSERT_EQ(parse_number(std::string_view(text, 16)), expected) << text;
      }
    }
  }
}

TEST(Dates, CompareAndSubtractAsNumbersWhileStringsCompareAsText) {
  const char* xml = "<d><day>1970-01-02</day><day>1970-01-03</day><geo>1970-01-02 0; 0 1</geo></d>";
  const std::pair<const char*, const char*> cases[] = {
      {"'2000-01-01' <= today()", "true"},
      {"today() - '2000-01-01'", "8840"},
      {"round((now() - today()) * 86400)", "37230"},
      {"sum(/d/day)", "3"},
      {"max(/d/day)", "2"},
      {"number(/d/day)", "1"},
      {"/d/day[1] < /d/day[2]", "true"},
      {"/d/day = 2", "true"},
      {"'1970-01-02' = 1", "true"},
      // "=" between texts compares the texts.
      {"/d/day = '1970-01-02T00:00'", "false"},
      {"'1970-01-02' = '1970-01-02T00:00Z'", "false"},
      {"'2024-3-5' < today()", "false"},
      // Coordinates are decimals; a date in their place is no point.
      {"distance(/d/geo)", "0"},
  };
  for (const auto& [expression, expected] : cases) {
    EXPECT_EQ(run(expression, xml), expected) << expression;
  }
}

TEST(Once, KeepsAHeldValueAndComputesOnlyForAnEmptyNode) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"<a/>", "once('aa')", "aa"},
      {"<a/>", "once(1 div 0)", "Infinity"},
      {"<a/>", "once(/a/nothing)", ""},
      {"<a/>", "once(nosuch())", "error: unknown function nosuch()"},
      {"<a>held</a>", "once(nosuch())", "held"},
      {"<a><b>inner</b></a>", "once('aa')", "inner"},
  };
  for (const auto& [xml, expression, expected] : cases) {
    EXPECT_EQ(run(expression, xml), expected) << xml << " " << expression;
  }
}

TEST(Distance, SeveralArgumentsAreOnePathThroughTheirTexts) {
  const char* xml = "<d><p>0 0 0 0</p><p>0 1 0 0</p><t>0 1; 1 1</t><bad>x 1</bad></d>";
  const std::pair<const char*, const char*> cases[] = {
      {"distance('0 0 0 0', '0 1 0 0')", "distance('0 0 0 0; 0 1 0 0')"},
      {"distance(/d/p, /d/p[2])", "distance('0 0 0 0; 0 1 0 0')"},
      {"distance(/d/p, /d/t, '0 0')", "distance('0 0; 0 1; 1 1; 0 0')"},
      {"distance('0 0', '', '0 1')", "distance('0 0;;0 1')"},
      {"distance('0 0', /d/bad, '0 1')", "0"},
      {"distance('0 0', /d/nothing)", "0"},
      {"distance('0 0', nosuch())", "error: unknown function nosuch()"},
      {"area('0 0', '0 1', '1 1')", "0"},
  };
  for (const auto& [expression, same_as] : cases) {
    const std::string expected = same_as[0] == 'd' ? run(same_as, xml) : same_as;
    EXPECT_EQ(run(expression, xml), expected) << expression;
  }
  EXPECT_EQ(run("distance('0 0 0 0', '0 1 0 0')"), "111318.84502143922");
}

TEST(Distance, ANodeSetIsOneTraceThroughAllItsNodes) {
  // A walk answered one stop per row, a plot one corner per row.
  const char* xml =
      "<d><r><p>0 0</p></r><r><p>0 1</p></r><r><p>1 1</p></r><r><p>1 0</p></r>"
      "<one><p>0 0; 0 1; 1 1</p></one><e/><bad>x 1</bad></d>";
  const std::pair<const char*, const char*> cases[] = {
      {"distance(/d/r/p)", "distance('0 0; 0 1; 1 1; 1 0')"},
      {"area(/d/r/p)", "area('0 0; 0 1; 1 1; 1 0')"},
      // A node's string-value is its descendants' text: the rows themselves.
      {"distance(/d/r)", "distance('0 0; 0 1; 1 1; 1 0')"},
      // Document order, whatever the order of the union's operands.
      {"distance(/d/one/p | /d/r/p)", "distance('0 0; 0 1; 1 1; 1 0; 0 0; 0 1; 1 1')"},
      {"area(/d/r/p[. != '1 1'])", "area('0 0; 0 1; 1 0')"},
      // One node is its own text, a trace or a single point.
      {"distance(/d/one/p)", "distance('0 0; 0 1; 1 1')"},
      {"area(/d/one/p)", "area('0 0; 0 1; 1 1')"},
      {"distance(/d/r[2]/p)", "0"},
      {"area(/d/r[1]/p | /d/r[2]/p)", "0"},
      // Beside other arguments, its nodes stand in its place.
      {"distance(/d/r/p, '2 2')", "distance('0 0; 0 1; 1 1; 1 0; 2 2')"},
      {"distance('2 2', /d/r/p)", "distance('2 2; 0 0; 0 1; 1 1; 1 0')"},
      {"distance('2 2', /d/r/p, /d/one/p)",
       "distance('2 2; 0 0; 0 1; 1 1; 1 0; 0 0; 0 1; 1 1')"},
      {"distance(/d/r/p, /d/r/p)", "distance('0 0; 0 1; 1 1; 1 0; 0 0; 0 1; 1 1; 1 0')"},
      // An empty node adds an empty piece, which is skipped; a node that is
      // no point empties the whole trace.
      {"distance(/d/r/p | /d/e)", "distance('0 0; 0 1; 1 1; 1 0')"},
      {"distance(/d/r/p | /d/bad)", "0"},
      {"area(/d/r/p | /d/bad)", "0"},
      {"distance(/d/nothing)", "0"},
      {"area(/d/nothing)", "0"},
      {"distance(/d/r/p, /d/nothing)", "distance('0 0; 0 1; 1 1; 1 0;')"},
  };
  for (const auto& [expression, same_as] : cases) {
    const bool call = same_as[0] == 'd' || same_as[0] == 'a';
    EXPECT_EQ(run(expression, xml), call ? run(same_as, xml) : same_as) << expression;
  }
  EXPECT_NE(run("distance(/d/r/p)", xml), "0");
  EXPECT_NE(run("area(/d/r/p)", xml), "0");
}

TEST(Regex, EachPatternIsCompiledOncePerEnvironment) {
  PatternCache cache;
  const re2::RE2* first = &cache.compile("a+");
  EXPECT_EQ(&cache.compile("b"), &cache.compile("b"));
  EXPECT_EQ(&cache.compile("a+"), first);
  EXPECT_TRUE(RE2::FullMatch("aaa", *first));
  EXPECT_FALSE(RE2::FullMatch("aab", *first));

  // A pattern that does not compile fails alike at every use.
  const ClockEnv env("", "");
  const std::string message = run("regex('a', '(')", "<a/>", env);
  EXPECT_TRUE(message.starts_with("error: regex(): \"(\" is not a pattern this engine can build — "))
      << message;
  EXPECT_EQ(run("regex('b', '(')", "<a/>", env), message);
  EXPECT_EQ(run("regex('a', '(')", "<a/>"), message);

  // More patterns than are kept, interleaved with one that is reused.
  std::string xml = "<r>";
  for (int i = 1; i <= 300; ++i) xml += "<v>a" + std::to_string(i) + "</v>";
  xml += "</r>";
  EXPECT_EQ(run("count(/r/v[regex(., 'a[0-9]+') and regex(., concat('a', position()))])", xml,
                env),
            "300");
  EXPECT_EQ(run("count(/r/v[regex(., concat('a', position() + 1))])", xml, env), "0");
}

}  // namespace
}  // namespace vindle

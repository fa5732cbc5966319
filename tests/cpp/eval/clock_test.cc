// Today and now for a call on a submission: the caller's texts, else the
// submission's "today", "end" and "start" elements, else the defaults.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "eval/env.h"

namespace vindle {
namespace {

struct Case {
  const char* submission;
  std::optional<std::string> today;  // the caller's, none when not given
  std::optional<std::string> now;
  const char* expected_today;
  const char* expected_now;
};

TEST(ResolveClock, TakesTheArgumentsThenTheSubmissionThenTheDefaults) {
  const char* end = "<d><end>2024-05-01T10:00:00.000+02:00</end></d>";
  const Case cases[] = {
      {"<d/>", {}, {}, kDefaultToday, kDefaultNow},
      // The end time-stamp gives now whole and today its first ten bytes.
      {end, {}, {}, "2024-05-01", "2024-05-01T10:00:00.000+02:00"},
      {"<d><today> 2024-06-01</today><end>2024-05-01T10:00:00.000+02:00</end></d>", {}, {},
       " 2024-06-01", "2024-05-01T10:00:00.000+02:00"},
      // Found at any depth, the first in document order; a blank first
      // element hides a later one.
      {"<d><g><meta><today>2020-01-01</today></meta></g><today>2021-01-01</today></d>", {}, {},
       "2020-01-01", kDefaultNow},
      {"<d><today> </today><today>2021-01-01</today></d>", {}, {}, kDefaultToday, kDefaultNow},
      // The cut counts bytes of the untrimmed text; a short text is whole.
      {"<d><end>  2024-05-01T10</end></d>", {}, {}, "  2024-05-", "  2024-05-01T10"},
      {"<d><end>2024-05</end></d>", {}, {}, "2024-05", "2024-05"},
      // A cut inside a character keeps the whole character.
      {"<d><end>2024-05-0\xc3\xa9T10</end></d>", {}, {}, "2024-05-0\xc3\xa9",
       "2024-05-0\xc3\xa9T10"},
      {"<d><start>2024-01-01T08:00</start></d>", {}, {}, kDefaultToday, "2024-01-01T08:00"},
      {"<d><start>S</start><end>E</end></d>", {}, {}, "E", "E"},
      {"<d><today>20<x>24</x></today></d>", {}, {}, "2024", kDefaultNow},
      // Each argument stands alone, the empty text included.
      {end, {}, "N", "2024-05-01", "N"},
      {end, "T", {}, "T", "2024-05-01T10:00:00.000+02:00"},
      {end, "", "", "", ""},
  };
  for (const Case& c : cases) {
    auto submission = Document::parse(c.submission);
    ASSERT_TRUE(submission.has_value()) << c.submission;
    const auto [today, now] = resolve_clock(*submission, c.today, c.now);
    EXPECT_EQ(today, c.expected_today) << c.submission;
    EXPECT_EQ(now, c.expected_now) << c.submission;
  }
}

}  // namespace
}  // namespace vindle

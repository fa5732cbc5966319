#include "text/result.h"

#include <gtest/gtest.h>

namespace vindle {
namespace {

// Longer than any short-string buffer, so that a copy and a move differ.
const std::string kMessage(64, 'm');

std::expected<std::string, std::string> text(bool ok) {
  if (ok) return std::string(40, 't');
  return std::unexpected(kMessage);
}

// Each call counted, so that a macro that evaluates its expression twice
// shows.
int calls = 0;
std::expected<void, std::string> check(bool ok) {
  ++calls;
  if (ok) return {};
  return std::unexpected(kMessage);
}

// Two values, one declared and one assigned, then a check; a different
// value type from the results it reads.
std::expected<std::size_t, std::string> lengths(bool first, bool second, bool checked) {
  VINDLE_ASSIGN_OR_RETURN(auto&& a, text(first));
  std::string b = "x";
  VINDLE_ASSIGN_OR_RETURN(b, text(second));
  if (!a.empty()) VINDLE_TRY(check(checked));
  else return std::size_t{0};  // the macro is one statement, so this else is this if's
  return a.size() + b.size();
}

TEST(Result, ValuesAreAssignedAndTheFirstErrorPassesUp) {
  calls = 0;
  EXPECT_EQ(lengths(true, true, true), std::size_t{80});
  EXPECT_EQ(calls, 1);
  for (const auto& [first, second, checked] : {std::tuple{false, true, true},
                                                {true, false, true}, {true, true, false}}) {
    EXPECT_EQ(lengths(first, second, checked).error(), kMessage);
  }
  EXPECT_EQ(calls, 2);  // neither read failure reached the check
}

TEST(Result, TheErrorIsMovedNotCopied) {
  auto failed = text(false);
  const char* buffer = failed.error().data();
  std::expected<int, std::string> passed = take_error(failed);
  EXPECT_EQ(passed.error().data(), buffer);
  EXPECT_TRUE(failed.error().empty());

  auto held = text(false);
  auto pass = [&]() -> std::expected<int, std::string> {
    VINDLE_TRY(held);
    return 0;
  };
  buffer = held.error().data();
  EXPECT_EQ(pass().error().data(), buffer);
}

}  // namespace
}  // namespace vindle

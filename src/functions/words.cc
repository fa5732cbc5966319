#include "functions/words.h"

#include <cmath>
#include <limits>

#include "text/unicode.h"

namespace vindle::functions {

std::vector<std::string_view> split_words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t start = 0;
  bool in_word = false;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t here = i;
    const bool space = is_white_space(next_code_point(text, i));
    if (space && in_word) words.push_back(text.substr(start, here - start));
    if (!space && !in_word) start = here;
    in_word = !space;
  }
  if (in_word) words.push_back(text.substr(start));
  return words;
}

std::vector<std::string_view> split_characters(std::string_view text) {
  std::vector<std::string_view> characters;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t here = i;
    next_code_point(text, i);
    characters.push_back(text.substr(here, i - here));
  }
  return characters;
}

std::uint64_t saturating_count(double x) {
  // 2^64 is exact as a double; every double below it converts safely.
  constexpr double kLimit = 18446744073709551616.0;
  if (!(x >= 1)) return 0;
  if (x >= kLimit) return std::numeric_limits<std::uint64_t>::max();
  return static_cast<std::uint64_t>(x);
}

}  // namespace vindle::functions

// Texts read as pieces: the words of a selection list or of a geographic
// point, and the characters of a text kept as their own bytes.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace vindle::functions {

// The non-empty pieces between runs of White_Space characters, in order.
std::vector<std::string_view> split_words(std::string_view text);

// Each character of `text` as the bytes that encode it. A byte that is not
// valid UTF-8 is a character of its own, so joining the pieces gives back
// the text exactly.
std::vector<std::string_view> split_characters(std::string_view text);

// A number as a count: truncated toward zero; NaN and everything below 1
// give 0, and 2^64 and above saturate, so no double is out of range.
std::uint64_t saturating_count(double x);

}  // namespace vindle::functions

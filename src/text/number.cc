#include "text/number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "text/unicode.h"

namespace vindle {

std::string format_number(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (value == 0) return "0";
  char buffer[32];
  if (std::trunc(value) == value && std::fabs(value) < 1e21) {
    // Exact digits: below 1e21 an integral double has at most 21 of them.
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::fixed, 0);
    return std::string(buffer, result.ptr);
  }
  // Shortest round-trip digits, laid out without an exponent.
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                    std::chars_format::scientific);
  std::string_view text(buffer, result.ptr - buffer);
  std::string out;
  if (text.front() == '-') {
    out += '-';
    text.remove_prefix(1);
  }
  const std::size_t e = text.find('e');
  std::string digits;
  for (const char c : text.substr(0, e)) {
    if (c != '.') digits += c;
  }
  int exponent = 0;
  std::string_view exponent_text = text.substr(e + 1);
  if (exponent_text.front() == '+') exponent_text.remove_prefix(1);
  std::from_chars(exponent_text.data(), exponent_text.data() + exponent_text.size(), exponent);
  // The value is 0.d1d2...dn times 10^(exponent + 1).
  const long point = static_cast<long>(exponent) + 1;
  const long count = static_cast<long>(digits.size());
  if (point <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-point), '0');
    out += digits;
  } else if (point >= count) {
    out += digits;
    out.append(static_cast<std::size_t>(point - count), '0');
  } else {
    out.append(digits, 0, static_cast<std::size_t>(point));
    out += '.';
    out.append(digits, static_cast<std::size_t>(point), std::string::npos);
  }
  return out;
}

namespace {

bool equals_ignoring_ascii_case(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char folded = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    if (folded != lower[i]) return false;
  }
  return true;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The `count` ASCII digits at `at` as a number; none when any is missing.
std::optional<int> fixed_digits(std::string_view text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return std::nullopt;
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (!is_digit(text[i])) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// Days from 1970-01-01 to a day of the proleptic Gregorian calendar, counted
// in 400-year eras of 146097 days each, with years starting in March so that
// the leap day ends them.
std::int64_t days_from_civil(std::int64_t year, int month, int day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t year_of_era = year - era * 400;
  const std::int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

int days_in_month(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// A trimmed text read as an ISO date or date-time, in days since the epoch;
// none unless the whole text is one, with a day the calendar has and a time
// the clock has.
std::optional<double> parse_iso_days(std::string_view text) {
  if (text.size() < 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  const auto year = fixed_digits(text, 0, 4);
  const auto month = fixed_digits(text, 5, 2);
  const auto day = fixed_digits(text, 8, 2);
  if (!year || !month || !day || *month < 1 || *month > 12 || *day < 1 ||
      *day > days_in_month(*year, *month)) {
    return std::nullopt;
  }
  const std::int64_t days = days_from_civil(*year, *month, *day);
  if (text.size() == 10) return static_cast<double>(days);

  if (text[10] != 'T' || text.size() < 16 || text[13] != ':') return std::nullopt;
  const auto hour = fixed_digits(text, 11, 2);
  const auto minute = fixed_digits(text, 14, 2);
  if (!hour || !minute || *hour > 23 || *minute > 59) return std::nullopt;
  // The instant is counted in whole milliseconds, exact in 64 bits, and
  // divided into days once, so that the day count is the correctly rounded
  // quotient.
  std::int64_t milliseconds = days * 86'400'000 + *hour * 3'600'000 + *minute * 60'000;
  std::size_t i = 16;
  if (i < text.size() && text[i] == ':') {
    const auto second = fixed_digits(text, i + 1, 2);
    if (!second || *second > 59) return std::nullopt;
    milliseconds += *second * 1000;
    i += 3;
    if (i < text.size() && text[i] == '.') {
      std::size_t end = i + 1;
      while (end < text.size() && is_digit(text[end])) ++end;
      if (end == i + 1) return std::nullopt;
      // The first three digits are the milliseconds (".5" is 500); the
      // digits after them are dropped, not rounded, as a browser's Date
      // reads them, so that .9999 stays within its second.
      int fraction = 0;
      for (std::size_t k = i + 1; k < i + 4; ++k) {
        fraction = fraction * 10 + (k < end ? text[k] - '0' : 0);
      }
      milliseconds += fraction;
      i = end;
    }
  }
  if (i < text.size()) {
    if (text[i] == 'Z') {
      ++i;
    } else if (text[i] == '+' || text[i] == '-') {
      const auto offset_hours = fixed_digits(text, i + 1, 2);
      const auto offset_minutes = fixed_digits(text, i + 4, 2);
      if (!offset_hours || !offset_minutes || text[i + 3] != ':' || *offset_hours > 23 ||
          *offset_minutes > 59) {
        return std::nullopt;
      }
      // A clock ahead of UTC reads the same instant as an earlier UTC time.
      const std::int64_t offset = (*offset_hours * 60 + *offset_minutes) * 60'000;
      milliseconds += text[i] == '+' ? -offset : offset;
      i += 6;
    }
    if (i != text.size()) return std::nullopt;
  }
  // Four-digit years keep the count far below 2^53, so it is exact in a
  // double too, and one division rounds once.
  return static_cast<double>(milliseconds) / 86'400'000;
}

}  // namespace

double parse_number(std::string_view text) {
  text = trim(text);
  const double number = parse_decimal(text);
  if (!std::isnan(number)) return number;
  // Not a decimal, or a written NaN, which is no date either.
  return parse_iso_days(text).value_or(number);
}

double parse_decimal(std::string_view text) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  text = trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const double sign = negative ? -1.0 : 1.0;
  if (equals_ignoring_ascii_case(text, "inf") || equals_ignoring_ascii_case(text, "infinity")) {
    return sign * std::numeric_limits<double>::infinity();
  }
  if (equals_ignoring_ascii_case(text, "nan")) return kNaN;

  // Check the whole literal first: digits, at most one ".", digits on at
  // least one side of it, then an optional exponent with at least one digit.
  std::size_t i = 0;
  std::size_t integer_digits = 0, fraction_digits = 0;
  while (i < text.size() && is_digit(text[i])) ++i, ++integer_digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && is_digit(text[i])) ++i, ++fraction_digits;
  }
  if (integer_digits + fraction_digits == 0) return kNaN;
  const std::size_t mantissa_end = i;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t exponent_digits = 0;
    while (i < text.size() && is_digit(text[i])) ++i, ++exponent_digits;
    if (exponent_digits == 0) return kNaN;
  }
  if (i != text.size()) return kNaN;

  if (integer_digits == text.size() && integer_digits <= 15) {
    // A whole number of up to 15 digits is exact in a double, digit by
    // digit: the same number the general conversion gives, read faster.
    double whole = 0;
    for (const char c : text) whole = whole * 10 + (c - '0');
    return sign * whole;
  }
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value,
                                      std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large or too small for a double: the nearest double is an
    // infinity or a zero. Which one follows from where the first non-zero
    // digit stands relative to the decimal point, shifted by the exponent.
    long magnitude = 0;
    const std::string_view mantissa = text.substr(0, mantissa_end);
    const std::size_t dot = mantissa.find('.');
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) return sign * 0.0;
    magnitude = dot == std::string_view::npos
                    ? static_cast<long>(mantissa.size() - first)
                    : static_cast<long>(dot) - static_cast<long>(first) + (first > dot ? 1 : 0);
    long exponent = 0;
    if (mantissa_end < text.size()) {
      std::string_view exponent_text = text.substr(mantissa_end + 1);
      const bool exponent_negative = exponent_text.front() == '-';
      if (exponent_text.front() == '+' || exponent_negative) exponent_text.remove_prefix(1);
      // Saturate: only the sign of an enormous exponent matters.
      for (const char c : exponent_text) {
        exponent = std::min(exponent * 10 + (c - '0'), 1L << 40);
      }
      if (exponent_negative) exponent = -exponent;
    }
    return magnitude + exponent > 0 ? sign * std::numeric_limits<double>::infinity()
                                    : sign * 0.0;
  }
  return sign * value;
}

}  // namespace vindle

// Numbers as text, written and read in one way everywhere: `format_number`
// for every number the system writes (a value's string, a finding, a
// suggestion), `parse_number` for every text it reads as a number.
#pragma once

#include <string>
#include <string_view>

namespace vindle {

// A number as text: "NaN", "Infinity", "-Infinity", exact integer digits for
// an integral value below 1e21 in magnitude, otherwise the shortest digits
// that read back exactly, in plain notation, never with an exponent.
std::string format_number(double value);
// Text as a number: White_Space trimmed, then a whole decimal literal
// (optional sign, digits with at most one ".", optional exponent) or
// "inf", "infinity", "nan" in any case. Failing that, an ISO date
// YYYY-MM-DD that names a real day reads as the days since 1970-01-01, and
// a date-time YYYY-MM-DDThh:mm[:ss[.fff]] with an optional "Z" or +hh:mm /
// -hh:mm offset (none means UTC) as the days since 1970-01-01T00:00:00Z,
// the time a fraction of a day: forms compare and subtract dates as
// numbers. A fraction of a second counts to the millisecond (later digits
// are dropped), and the days are the correctly rounded quotient of the
// whole milliseconds. Anything else is NaN.
double parse_number(std::string_view text);
// The decimal literal alone, without dates: for texts where a date would
// be no number at all, such as the fields of a geographic point.
double parse_decimal(std::string_view text);

}  // namespace vindle

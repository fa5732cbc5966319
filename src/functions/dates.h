// Dates as format-date() and format-date-time() read and lay them out: an
// ISO 8601 date or date-time read into its fields, with any time-zone
// designator dropped (never applied), and "%" codes that write the fields
// back. There is no calendar arithmetic and no locale, so the codes that
// would need day or month names are refused rather than guessed.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace vindle {

struct DateTimeParts {
  std::int64_t year = 0;
  std::uint32_t month = 1;        // 1 to 12
  std::uint32_t day = 1;          // 1 to 31, whatever the month
  std::uint32_t hour = 0;         // the time fields hold whatever the text
  std::uint32_t minute = 0;       // gave, unchecked
  std::uint32_t second = 0;
  std::uint32_t millisecond = 0;  // 0 to 999

  bool operator==(const DateTimeParts&) const = default;
};

// Reads "Y-M-D", optionally followed by "T" or a space and "h:m:s.fff"
// with an optional "Z" or offset. The date must be readable and in range;
// the time never makes the parse fail (an unreadable field is 0).
std::optional<DateTimeParts> parse_iso_datetime(std::string_view text);

// Lays the parts out by the "%" codes of `format`, or gives the message for
// the first code it cannot write.
std::expected<std::string, std::string> format_date(const DateTimeParts& parts,
                                                    std::string_view format);

}  // namespace vindle

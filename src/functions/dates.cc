#include "functions/dates.h"

#include <charconv>

#include "functions/bodies.h"
#include "text/quote.h"
#include "text/result.h"
#include "text/unicode.h"

namespace vindle {

namespace {

// The next piece of `text` up to `separator`, consumed from `text`; none
// once the text has been used up.
std::optional<std::string_view> next_piece(std::string_view& text, bool& done, char separator) {
  if (done) return std::nullopt;
  const std::size_t at = text.find(separator);
  const std::string_view piece = text.substr(0, at);
  if (at == std::string_view::npos) {
    done = true;
  } else {
    text.remove_prefix(at + 1);
  }
  return piece;
}

bool all_digits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// An optional "+", then one or more ASCII digits and nothing else, without
// overflow.
std::optional<std::uint32_t> read_unsigned(std::string_view text) {
  if (text.starts_with('+')) text.remove_prefix(1);
  if (!all_digits(text)) return std::nullopt;
  std::uint32_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

// As read_unsigned, with a "-" allowed in place of the "+".
std::optional<std::int64_t> read_signed(std::string_view text) {
  const bool has_sign = text.starts_with('+') || text.starts_with('-');
  if (!all_digits(text.substr(has_sign ? 1 : 0))) return std::nullopt;
  // from_chars reads a "-" itself, which keeps the least value readable.
  if (text.starts_with('+')) text.remove_prefix(1);
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (result.ec != std::errc() || result.ptr != end) return std::nullopt;
  return value;
}

void append_padded(std::string& out, std::uint64_t value, std::size_t width) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  const std::size_t digits = static_cast<std::size_t>(result.ptr - buffer);
  if (digits < width) out.append(width - digits, '0');
  out.append(buffer, digits);
}

// The time fields of `time`, the text after the date's separator.
void read_time(std::string_view time, DateTimeParts& parts) {
  // Offsets are dropped, not applied: the clock reading stays as written.
  std::string_view clock = time.substr(0, time.find_first_of("+Zz"));
  if (const std::size_t dash = clock.rfind('-'); dash != std::string_view::npos) {
    clock = clock.substr(0, dash);
  }
  bool done = false;
  const auto hour = next_piece(clock, done, ':');
  const auto minute = next_piece(clock, done, ':');
  const auto second = next_piece(clock, done, ':');
  parts.hour = hour ? read_unsigned(*hour).value_or(0) : 0;
  parts.minute = minute ? read_unsigned(*minute).value_or(0) : 0;
  if (!second) return;
  const std::size_t dot = second->find('.');
  parts.second = read_unsigned(second->substr(0, dot)).value_or(0);
  if (dot == std::string_view::npos) return;

  // Three characters of the fraction, padded to three: ".5" is 500 ms.
  const std::string_view fraction = second->substr(dot + 1);
  std::size_t end = 0;
  for (int n = 0; n < 3 && end < fraction.size(); ++n) next_code_point(fraction, end);
  std::string digits(fraction.substr(0, end));
  while (count_code_points(digits) < 3) digits += '0';
  parts.millisecond = read_unsigned(digits).value_or(0);
}

}  // namespace

std::optional<DateTimeParts> parse_iso_datetime(std::string_view text) {
  const std::string_view t = trim(text);
  const std::size_t split = t.find_first_of("T ");
  std::string_view date = t.substr(0, split);

  bool done = false;
  const auto year_text = next_piece(date, done, '-');
  const auto month_text = next_piece(date, done, '-');
  const auto day_text = next_piece(date, done, '-');
  if (!year_text || !month_text || !day_text) return std::nullopt;
  const auto year = read_signed(*year_text);
  const auto month = read_unsigned(*month_text);
  const auto day = read_unsigned(*day_text);
  if (!year || !month || !day) return std::nullopt;
  if (*month < 1 || *month > 12 || *day < 1 || *day > 31) return std::nullopt;

  DateTimeParts parts{*year, *month, *day, 0, 0, 0, 0};
  if (split != std::string_view::npos) read_time(t.substr(split + 1), parts);
  return parts;
}

std::expected<std::string, std::string> format_date(const DateTimeParts& parts,
                                                    std::string_view format) {
  std::string out;
  out.reserve(format.size());
  for (std::size_t i = 0; i < format.size();) {
    const std::size_t here = i;
    if (next_code_point(format, i) != '%') {
      out.append(format.substr(here, i - here));
      continue;
    }
    if (i == format.size()) return std::unexpected("a date format ends with a bare %");
    const std::size_t code_start = i;
    const char32_t code = next_code_point(format, i);
    switch (code) {
      case 'Y':
        if (parts.year < 0) out += '-';
        // The magnitude as unsigned, so that the least year has one too.
        append_padded(out,
                      parts.year < 0 ? 0 - static_cast<std::uint64_t>(parts.year)
                                     : static_cast<std::uint64_t>(parts.year),
                      4);
        break;
      case 'y':
        append_padded(out, static_cast<std::uint64_t>((parts.year % 100 + 100) % 100), 2);
        break;
      case 'm': append_padded(out, parts.month, 2); break;
      case 'n': append_padded(out, parts.month, 1); break;
      case 'd': append_padded(out, parts.day, 2); break;
      case 'e': append_padded(out, parts.day, 1); break;
      case 'H': append_padded(out, parts.hour, 2); break;
      case 'h': append_padded(out, parts.hour, 1); break;
      case 'M': append_padded(out, parts.minute, 2); break;
      case 'S': append_padded(out, parts.second, 2); break;
      case '3': append_padded(out, parts.millisecond, 3); break;
      case '%': out += '%'; break;
      case 'a':
      case 'b':
        return std::unexpected("%" + std::string(1, static_cast<char>(code)) +
                               " names a day or month in the form's language, and this "
                               "evaluator has none — it will not guess one");
      default:
        return std::unexpected("unknown date format code %" +
                               std::string(format.substr(code_start, i - code_start)));
    }
  }
  return out;
}

namespace functions {

EvalResult fn_format_date(const CallContext& call) {
  VINDLE_ASSIGN_OR_RETURN(auto&& value, arg_string(call, 0));
  const std::string_view trimmed = trim(value);
  if (trimmed.empty()) return Value::String("");
  const std::optional<DateTimeParts> parts = parse_iso_datetime(trimmed);
  if (!parts) {
    return std::unexpected(std::string(call.name) + "(): " + debug_quote(value) +
                           " is not an ISO date or date-time");
  }
  VINDLE_ASSIGN_OR_RETURN(auto&& format, arg_string(call, 1));
  VINDLE_ASSIGN_OR_RETURN(auto&& laid_out, format_date(*parts, format));
  return Value::String(std::move(laid_out));
}

}  // namespace functions

}  // namespace vindle

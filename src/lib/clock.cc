#include "lib/clock.h"

namespace vindle {

std::pair<std::string, std::string> resolve_clock(const Document& submission,
                                                  std::optional<std::string> today,
                                                  std::optional<std::string> now) {
  // The "end" element serves both: looked up once, and only when needed.
  std::optional<std::optional<std::string>> end;
  const auto end_text = [&]() -> const std::optional<std::string>& {
    if (!end) end = submission.find_text("end");
    return *end;
  };
  if (!today) today = submission.find_text("today");
  if (!today && end_text()) {
    // The date part of the end time-stamp. A cut that would split a
    // character keeps the whole character, so the text stays valid UTF-8.
    const std::string& text = *end_text();
    std::size_t cut = std::min<std::size_t>(text.size(), 10);
    while (cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) ++cut;
    today = text.substr(0, cut);
  }
  if (!now) now = end_text();
  if (!now) now = submission.find_text("start");
  return {today.value_or(kDefaultToday), now.value_or(kDefaultNow)};
}

}  // namespace vindle

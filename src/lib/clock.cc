#include "lib/clock.h"

namespace vindle {

std::pair<std::string, std::string> resolve_clock(const Document& submission,
                                                  std::optional<std::string> today,
                                                  std::optional<std::string> now) {
  if (!today || !now) {
    // One walk finds all three; the "end" element serves both.
    auto texts = submission.find_texts({"today", "end", "start"});
    std::optional<std::string>& end = texts[1];
    if (!today) today = std::move(texts[0]);
    if (!today && end) {
      // The date part of the end time-stamp. A cut that would split a
      // character keeps the whole character, so the text stays valid UTF-8.
      std::size_t cut = std::min<std::size_t>(end->size(), 10);
      while (cut < end->size() && (static_cast<unsigned char>((*end)[cut]) & 0xC0) == 0x80) {
        ++cut;
      }
      today = end->substr(0, cut);
    }
    if (!now) now = end ? std::move(end) : std::move(texts[2]);
  }
  return {today.value_or(kDefaultToday), now.value_or(kDefaultNow)};
}

}  // namespace vindle

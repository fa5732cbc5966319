#include "eval/env.h"

#include <algorithm>

#include <re2/re2.h>

namespace vindle {

namespace {

// Each compiled pattern holds its program and the automaton built while
// matching, so a call that makes up many patterns (from the rows' own
// values, say) starts over beyond this many rather than keep them all.
constexpr std::size_t kKeptPatterns = 64;

}  // namespace

PatternCache::PatternCache() = default;
PatternCache::PatternCache(const PatternCache&) {}
PatternCache& PatternCache::operator=(const PatternCache&) { return *this; }
PatternCache::~PatternCache() = default;

const re2::RE2& PatternCache::compile(std::string_view pattern) {
  if (last_pattern_ && *last_pattern_ == pattern) return *last_compiled_;
  auto found = compiled_.find(pattern);
  if (found == compiled_.end()) {
    if (compiled_.size() == kKeptPatterns) compiled_.clear();
    re2::RE2::Options options;
    options.set_log_errors(false);
    auto built = std::make_unique<re2::RE2>("^(?:" + std::string(pattern) + ")$", options);
    found = compiled_.emplace(std::string(pattern), std::move(built)).first;
  }
  last_pattern_ = &found->first;
  last_compiled_ = found->second.get();
  return *last_compiled_;
}

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

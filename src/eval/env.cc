#include "eval/env.h"

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

}  // namespace vindle

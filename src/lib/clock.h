// Today and now for a call that judges or reads a submission: the caller's
// arguments, else the submission's own "today", "end" and "start" elements,
// else fixed defaults. The system reads no clock.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "tree/document.h"

namespace vindle {

inline constexpr const char* kDefaultToday = "1970-01-01";
inline constexpr const char* kDefaultNow = "1970-01-01T00:00:00.000Z";

// Returns (today, now).
std::pair<std::string, std::string> resolve_clock(const Document& submission,
                                                  std::optional<std::string> today,
                                                  std::optional<std::string> now);

}  // namespace vindle

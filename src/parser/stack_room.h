// How much of the calling thread's stack is left, for the two walks of an
// expression that recurse on its nesting: the parse and the evaluation.
// Both refuse an expression, with the message for one nested too deeply,
// when the next level could run the stack out. A thread's stack may be far
// smaller than the main thread's (threads, embedded interpreters), so the
// nesting limit alone cannot promise that.
//
// The stack's bounds are read once per thread and kept. Where they cannot
// be read, or the code runs on a stack outside them (a coroutine's own),
// the room counts as ample and only the parser's nesting limit stands.
#pragma once

#include <cstddef>

namespace vindle {

// What stays free below the deepest level of a walk, for what runs on top
// of it between two checks: a level's own frames, a function's body, RE2,
// ICU, the allocator and the building of a message. Instrumented code needs
// several times the stack.
#if defined(__SANITIZE_ADDRESS__)
#define VINDLE_STACK_INSTRUMENTED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VINDLE_STACK_INSTRUMENTED 1
#endif
#endif
#ifdef VINDLE_STACK_INSTRUMENTED
inline constexpr std::size_t kStackReserve = std::size_t{128} << 10;
#else
inline constexpr std::size_t kStackReserve = std::size_t{64} << 10;
#endif

// Whether less than kStackReserve bytes of the calling thread's stack are
// left below the caller's frame.
bool stack_running_short();

}  // namespace vindle

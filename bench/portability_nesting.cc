// The stack that each kind of nesting costs per level, in every walk of an
// expression's tree: the parse, freeing and copying the tree, the reference
// collector, the evaluation and the portability walk. (It lives with the
// portability benchmarks because that library links all the others.)
//
// Each walk runs on a thread of its own whose stack was filled with a
// pattern beforehand; the deepest byte that no longer holds the pattern is
// the stack the walk used. The walk runs at two nestings, and the
// difference, divided by the difference of levels, is the cost per level.
// Nothing here is timed.
#include <pthread.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "eval/env.h"
#include "eval/evaluator.h"
#include "parser/parser.h"
#include "parser/references.h"
#include "portability/construct_rules.h"
#include "portability/read_paths.h"
#include "tree/document.h"

namespace {

using namespace vindle;

constexpr std::size_t kStackSize = std::size_t{64} << 20;
constexpr unsigned char kPaint = 0xA5;

std::string repeat(std::string_view piece, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// The bytes of stack `work` used on a fresh thread.
std::size_t stack_used(const std::function<void()>& work) {
  void* stack = mmap(nullptr, kStackSize, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (stack == MAP_FAILED) return 0;
  std::memset(stack, kPaint, kStackSize);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstack(&attr, stack, kStackSize);
  pthread_t thread;
  auto run = [](void* arg) -> void* {
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
  };
  pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&work));
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  const auto* bytes = static_cast<const unsigned char*>(stack);
  std::size_t untouched = 0;
  while (untouched < kStackSize && bytes[untouched] == kPaint) ++untouched;
  munmap(stack, kStackSize);
  return kStackSize - untouched;
}

struct Nesting {
  const char* kind;
  std::function<std::string(std::size_t)> build;
};

const Nesting kNestings[] = {
    {"nested calls", [](std::size_t n) { return repeat("concat(", n) + "'x'" + repeat(")", n); }},
    {"predicates", [](std::size_t n) { return repeat(".[", n) + "." + repeat("]", n); }},
    {"parentheses", [](std::size_t n) { return repeat("(", n) + "1" + repeat(")", n); }},
    {"unary minus", [](std::size_t n) { return repeat("-", n) + "1"; }},
    {"additive chain", [](std::size_t n) { return "1" + repeat(" + 1", n); }},
    {"or chain", [](std::size_t n) { return "0" + repeat(" or 0", n); }},
    {"union chain", [](std::size_t n) { return "." + repeat(" | .", n); }},
};

struct Walk {
  const char* name;
  std::function<void(const std::string&)> run;
};

std::optional<Expr> parsed(const std::string& text) {
  auto expr = parse_expression(text);
  if (!expr) return std::nullopt;
  return std::move(*expr);
}

}  // namespace

int main() {
  const Document document = *Document::parse("<d/>");
  const ClockEnv env("2024-01-01", "2024-01-01T00:00:00.000Z");
  const RepeatPaths repeats({"/d/r"});
  InstancePaths instance_paths;
  instance_paths.insert(instance_paths.insert(InstancePaths::kNone, "d"), "a");
  const InstanceIds ids;

  // Trees are built and dropped outside the measured thread, except where
  // building or dropping them is what is measured.
  std::optional<Expr> held;
  const Walk walks[] = {
      {"parse", [&](const std::string& text) { held = parsed(text); }},
      {"free", [&](const std::string&) { held.reset(); }},
      {"copy", [&](const std::string&) { Expr copy = *held; held = std::move(copy); }},
      {"references", [&](const std::string&) { collect_references(*held, "/d/q"); }},
      {"evaluate",
       [&](const std::string&) { (void)evaluate(*held, document, Focus{*document.root(), 1, 1}, env); }},
      {"check_form walk",
       [&](const std::string&) {
         std::vector<ConstructFinding> hits;
         check_expression(*held, repeats, hits);
         const std::string_view contexts[] = {"/d/q"};
         check_read_paths(*held, contexts, instance_paths, ids, "d", hits);
       }},
  };

  constexpr std::size_t kLow = 200, kHigh = 400;
  std::printf("bytes of stack per level, from %zu to %zu levels\n\n", kLow, kHigh);
  std::printf("%-16s", "nesting");
  for (const Walk& walk : walks) std::printf("%16s", walk.name);
  std::printf("\n");
  for (const Nesting& nesting : kNestings) {
    std::printf("%-16s", nesting.kind);
    for (const Walk& walk : walks) {
      std::size_t used[2];
      for (int k = 0; k < 2; ++k) {
        const std::string text = nesting.build(k == 0 ? kLow : kHigh);
        if (std::string_view(walk.name) != "parse") held = parsed(text);
        used[k] = stack_used([&] { walk.run(text); });
        held.reset();
      }
      const auto grown = static_cast<long>(used[1]) - static_cast<long>(used[0]);
      std::printf("%16ld", grown / static_cast<long>(kHigh - kLow));
    }
    std::printf("\n");
  }
  return 0;
}

// Lexes and parses arbitrary bytes as an expression; what parses is walked
// for the paths it reads, copied and destroyed, which between them visit
// every node of the tree.
//
// dev/fuzz: seeds=expression max_len=4096
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "parser/lexer.h"
#include "parser/parser.h"
#include "parser/references.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto tokens = vindle::lex_expression(text);
  auto expr = vindle::parse_expression(text);
  if (!expr) {
    if (expr.error().empty()) {
      std::fprintf(stderr, "expression: an error without a message\n");
      std::abort();
    }
    return 0;
  }
  if (!tokens) {
    std::fprintf(stderr, "expression: parsed, but the lexer refused it: %s\n",
                 tokens.error().c_str());
    std::abort();
  }
  const auto paths = vindle::collect_references(*expr, "/data/group/q");
  for (const std::string& path : paths) {
    if (path.empty() || path.front() != '/') {
      std::fprintf(stderr, "expression: a reference that is not absolute: %s\n", path.c_str());
      std::abort();
    }
  }
  const vindle::Expr copy = *expr;
  if (vindle::collect_references(copy, "/data/group/q") != paths) {
    std::fprintf(stderr, "expression: a copy reads other paths\n");
    std::abort();
  }
  vindle::collect_references(*expr, "");
  return 0;
}

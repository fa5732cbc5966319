// Every expression that the binds of the sample forms carry parses, except
// in the one form made to hold broken ones. The forms are read with a plain
// scan for bind tags, since only their attribute texts matter here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "parser/parser.h"

namespace vindle {
namespace {

std::string unescape_xml(std::string_view text) {
  const std::pair<std::string_view, char> entities[] = {
      {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&amp;", '&'}, {"&#10;", '\n'}};
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    bool replaced = false;
    for (const auto& [entity, character] : entities) {
      if (text.substr(i, entity.size()) == entity) {
        out += character;
        i += entity.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

// The logic attributes of every bind element in `xml`, unescaped. Every
// sample form quotes its attributes with double quotes.
std::vector<std::string> bind_expressions(std::string_view xml) {
  std::vector<std::string> out;
  for (std::size_t at = xml.find("<bind "); at != std::string_view::npos; at = xml.find("<bind ", at + 1)) {
    const std::string_view tag = xml.substr(at, xml.find('>', at) - at);
    for (std::string_view name : {"nodeset", "ref", "relevant", "calculate", "constraint", "readonly", "required"}) {
      const std::size_t start = tag.find(" " + std::string(name) + "=\"");
      if (start == std::string_view::npos) continue;
      const std::size_t value = start + name.size() + 3;
      out.push_back(unescape_xml(tag.substr(value, tag.find('"', value) - value)));
    }
  }
  return out;
}

TEST(Forms, EveryBindExpressionParses) {
  const std::filesystem::path root = std::filesystem::path(VINDLE_SOURCE_DIR) / "../shared/forms";
  if (!std::filesystem::exists(root)) GTEST_SKIP() << "no sample forms at " << root;
  int parsed = 0;
  std::vector<std::string> failures;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.path().extension() != ".xml") continue;
    std::ifstream file(entry.path(), std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    for (const std::string& expression : bind_expressions(content.str())) {
      const auto expr = parse_expression(expression);
      if (expr) {
        ++parsed;
      } else {
        failures.push_back(entry.path().filename().string() + ": " + expr.error());
      }
    }
  }
  EXPECT_GT(parsed, 1000);
  EXPECT_EQ(failures, (std::vector<std::string>{
                          "xpath-fails.xml: unterminated string starting at character 20",
                          "xpath-fails.xml: expected RightParen, found None",
                          "xpath-fails.xml: unexpected trailing input in \"2d\" at token 1",
                      }));
}

}  // namespace
}  // namespace vindle

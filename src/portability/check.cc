#include "portability/check.h"

#include <array>

#include "parser/parser.h"
#include "parser/references.h"
#include "portability/instance_paths.h"
#include "portability/read_paths.h"
#include "text/unicode.h"
#include "tree/document.h"

namespace vindle {
namespace {

constexpr std::array<const char*, 5> kLogicAttributes = {"relevant", "calculate", "constraint",
                                                         "required", "readonly"};

// What the rules need to know about the form as a whole.
struct FormFacts {
  std::vector<std::string> repeat_paths;
  InstanceIds instance_ids;
  std::optional<std::string> instance_root;
  InstancePaths instance_paths;
};

FormFacts collect_form_facts(const Document& document, const std::vector<NodeId>& elements) {
  FormFacts facts;
  bool primary_taken = false;
  for (NodeId id : elements) {
    const std::string_view name = document.node(id).name;
    if (name == "repeat") {
      if (auto nodeset = document.attribute(id, "nodeset")) {
        facts.repeat_paths.emplace_back(trim(*nodeset));
      }
    } else if (name == "instance") {
      if (auto instance_id = document.attribute(id, "id")) {
        facts.instance_ids.insert(std::move(*instance_id));
      } else if (!primary_taken) {
        // The first instance without an id, wherever it stands; the engine
        // itself takes the first instance whatever its attributes, so a form
        // whose first instance carries an id is read differently by the two.
        primary_taken = true;
        const auto& children = document.children(id);
        if (!children.empty()) {
          facts.instance_root = document.node(children.front()).name;
          collect_instance_paths(document, children.front(), facts.instance_paths);
        }
      }
    }
  }
  return facts;
}

}  // namespace

std::expected<std::vector<PortabilityFinding>, std::string> check_form_findings(
    std::string_view xml) {
  auto read = Document::parse(xml);
  if (!read) return std::unexpected("XForm XML: " + read.error());
  const Document& document = *read;

  std::vector<NodeId> elements = {*document.root()};
  std::vector<NodeId> below = document.descendants(*document.root());
  elements.insert(elements.end(), below.begin(), below.end());
  const FormFacts facts = collect_form_facts(document, elements);
  const RepeatPaths repeat_paths(facts.repeat_paths);

  std::vector<PortabilityFinding> findings;
  std::vector<ConstructFinding> hits;
  for (NodeId id : elements) {
    if (document.node(id).name != "bind") continue;
    auto bind_path = document.nonblank_attribute(id, "nodeset");
    if (!bind_path) bind_path = document.nonblank_attribute(id, "ref");
    if (!bind_path) continue;
    // A relative bind path is read from the instance's root element: made
    // absolute (a union operand by operand), it is both the context of what
    // the rules read and the path reported. An absolute one stays as written.
    if (facts.instance_root) *bind_path = absolute_bind_path(*bind_path, *facts.instance_root);
    // Each operand of a union bind is a node its rules run at, so what they
    // read relatively is read from each; the union's text is no path.
    const std::vector<std::string_view> contexts = bind_path_operands(*bind_path);
    for (const char* rule : kLogicAttributes) {
      const auto value = document.nonblank_attribute(id, rule);
      if (!value) continue;
      // Too deep a nesting is one more parse error, and is skipped alike.
      const auto expression = parse_expression(*value);
      if (!expression) continue;
      hits.clear();
      check_expression(*expression, repeat_paths, hits);
      if (!facts.instance_paths.empty()) {
        check_read_paths(*expression, contexts, facts.instance_paths, facts.instance_ids,
                         *facts.instance_root, hits);
      }
      for (ConstructFinding& hit : hits) {
        findings.push_back({std::string(trim(*bind_path)), rule, std::string(trim(*value)),
                            std::move(hit.construct), std::move(hit.effect),
                            std::move(hit.suggestion), hit.breaks});
      }
    }
  }
  return findings;
}

std::string finding_says(const PortabilityFinding& finding) {
  std::string says = finding.path + " (" + finding.rule + "): " + finding.construct +
                     " \u2014 " + finding.effect + ", " + breaks_clause(finding.breaks) + ".";
  if (finding.suggestion) says += " Write " + *finding.suggestion + " instead.";
  return says;
}

}  // namespace vindle

// Drives a session through a sequence of edits: the bytes up to the first
// NUL are the form, the rest a script of operations, each an opcode byte
// followed by what it needs. Paths are picked from the instance's own nodes
// and the form's repeats, or taken from the script as text, so that both
// sensible and nonsensical edits are made. After every edit the instance
// XML must read back. Refusals are results; only crashes, sanitizer
// reports, slowness and an unreadable instance are failures.
//
// dev/fuzz: seeds=form+submission max_len=8192
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "rules/session.h"
#include "tree/document.h"

namespace {

class Script {
 public:
  explicit Script(std::string_view bytes) : bytes_(bytes) {}

  bool done() const { return at_ >= bytes_.size(); }
  std::uint8_t byte() { return done() ? 0 : static_cast<std::uint8_t>(bytes_[at_++]); }
  // A short text taken from the script: a length byte, then that many bytes.
  std::string text() {
    const std::size_t length = byte() % 24;
    const std::string_view piece = bytes_.substr(std::min(at_, bytes_.size()), length);
    at_ += piece.size();
    return std::string(piece);
  }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

// A path for the next operation: one of the instance's own nodes, a repeat
// of the form, or text from the script.
std::string pick_path(const vindle::Session& session, Script& script) {
  const std::uint8_t choice = script.byte();
  const vindle::Document& instance = session.instance();
  if (choice % 4 == 0 || !instance.root()) return script.text();
  if (choice % 4 == 1 && !session.templates().empty()) {
    auto entry = session.templates().begin();
    std::advance(entry, script.byte() % session.templates().size());
    return entry->first;
  }
  std::vector<vindle::NodeId> nodes{*instance.root()};
  const std::vector<vindle::NodeId> below = instance.descendants(*instance.root());
  nodes.insert(nodes.end(), below.begin(), below.end());
  const std::size_t pick = (static_cast<std::size_t>(script.byte()) << 8 | script.byte());
  return instance.path_of(nodes[pick % nodes.size()]);
}

// Whether every name in the instance can be written as XML. A malformed
// form can give its instance names the reader accepted but no writer can
// write (empty, or holding blanks or markup); edits never make such names.
bool names_are_plain(const vindle::Document& instance) {
  if (!instance.root()) return true;
  std::vector<vindle::NodeId> nodes{*instance.root()};
  const std::vector<vindle::NodeId> below = instance.descendants(*instance.root());
  nodes.insert(nodes.end(), below.begin(), below.end());
  for (const vindle::NodeId id : nodes) {
    std::vector<vindle::NodeId> named{id};
    named.insert(named.end(), instance.attributes(id).begin(), instance.attributes(id).end());
    for (const vindle::NodeId each : named) {
      const std::string_view name = instance.node(each).name;
      if (name.empty() || name.find_first_of(" \t\n\r\v\f<>\"'=/&?!") != std::string::npos) {
        return false;
      }
    }
  }
  return true;
}

void require_readable(const vindle::Session& session) {
  if (!names_are_plain(session.instance())) return;
  if (!vindle::Document::parse(session.instance_xml())) {
    std::fprintf(stderr, "instance XML does not read back:\n%s\n", session.instance_xml().c_str());
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  const std::string_view form_text = input.substr(0, split);
  Script script(split == std::string_view::npos ? std::string_view() : input.substr(split + 1));

  auto session = vindle::Session::from_form(form_text, "2024-05-06", "2024-05-06T10:00:00.000Z");
  if (!session) return 0;
  require_readable(*session);
  // A bounded number of operations keeps every input well under a second.
  for (int step = 0; step < 64 && !script.done(); ++step) {
    switch (script.byte() % 7) {
      case 0: {
        const std::string path = pick_path(*session, script);
        (void)session->set(path, script.text());
        break;
      }
      case 1:
        (void)session->add_row(pick_path(*session, script));
        break;
      case 2: {
        const std::string path = pick_path(*session, script);
        (void)session->remove_row(path, script.byte() % 5);
        break;
      }
      case 3:
        (void)session->recompute();
        break;
      case 4:
        (void)session->get(pick_path(*session, script));
        break;
      case 5:
        (void)session->choices(pick_path(*session, script));
        break;
      default:
        (void)session->resolve(script.text());
        break;
    }
    require_readable(*session);
  }
  return 0;
}

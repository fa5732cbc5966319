// The XML reader: one forward scan that recognises start, end and
// empty-element tags with their attributes and keeps the first run of text
// after each start tag. A comment, a processing instruction (the XML
// declaration among them) and a DOCTYPE, internal subset included, are
// passed over whole, so markup commented out stays out; no entity is ever
// defined from a DOCTYPE. A CDATA section is text, taken as written.
//
// The first run of text after a start tag reaches to the next tag: a
// comment or processing instruction inside it adds nothing and does not end
// it, and a CDATA section inside it adds its content. So <a>x<!-- c -->y</a>
// reads like <a>xy</a>, and <a><![CDATA[<b>]]></a> has the value <b>. The
// run is blank, and the value stays empty, when every piece of it is blank
// as written (a character reference to a blank is not). CDATA after a
// child's end tag is passed over like any text there.
//
// The scan cuts the text only at ASCII characters, so a cut never splits a
// multi-byte character, and no input, however malformed, makes it read past
// the end: the text need not even be valid UTF-8.
//
// Speed comes from scanning bytes: the pieces of a tag are short, so the
// searches inside one look at eight bytes at a time inline instead of
// calling the library, and White_Space is asked of ICU only for bytes
// outside ASCII.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>

#include "text/result.h"
#include "text/unicode.h"
#include "tree/document.h"

namespace vindle {

namespace {

constexpr std::size_t npos = std::string_view::npos;

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// The high bit of each byte of `word` that equals `c`, and no other bit.
constexpr std::uint64_t equal_bytes(std::uint64_t word, unsigned char c) {
  const std::uint64_t x = word ^ (kOnes * c);
  return ~(((x & kLow7) + kLow7) | x | kLow7);
}

inline std::uint64_t load_word(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// Past this many bytes a search hands over to memchr, which is faster on
// long runs of text but costs a call on short ones.
constexpr std::size_t kInlineSearch = 64;

// Position of the first `c` in text[from, end), or `end`.
inline std::size_t find_byte(std::string_view text, std::size_t from, std::size_t end,
                             char c) {
  const char* const data = text.data();
  std::size_t p = from;
  if constexpr (kLittleEndian) {
    const std::size_t inline_end = std::min(end, from + kInlineSearch);
    for (; p + 8 <= inline_end; p += 8) {
      const std::uint64_t found = equal_bytes(load_word(data + p), c);
      if (found != 0) return p + std::countr_zero(found) / 8;
    }
    if (p + 8 <= end) {
      const void* hit = std::memchr(data + p, c, end - p);
      return hit == nullptr ? end : static_cast<const char*>(hit) - data;
    }
  }
  for (; p < end; ++p) {
    if (data[p] == c) return p;
  }
  return end;
}

inline std::size_t find_byte(std::string_view text, std::size_t from, char c) {
  const std::size_t at = find_byte(text, from, text.size(), c);
  return at == text.size() ? npos : at;
}

// Position of the first ">", double quote or apostrophe at or after `p`, or
// the text's size.
inline std::size_t find_tag_mark(std::string_view text, std::size_t p) {
  const char* const data = text.data();
  const std::size_t size = text.size();
  if constexpr (kLittleEndian) {
    for (; p + 8 <= size; p += 8) {
      const std::uint64_t word = load_word(data + p);
      const std::uint64_t marks =
          equal_bytes(word, '>') | equal_bytes(word, '"') | equal_bytes(word, '\'');
      if (marks != 0) return p + std::countr_zero(marks) / 8;
    }
  }
  for (; p < size; ++p) {
    if (data[p] == '>' || data[p] == '"' || data[p] == '\'') return p;
  }
  return size;
}

// Position of the ">" that ends the tag whose content starts at `from`,
// skipping quoted runs; npos when the text ends first.
std::size_t find_tag_end(std::string_view text, std::size_t from) {
  std::size_t p = from;
  while (true) {
    p = find_tag_mark(text, p);
    if (p >= text.size()) return npos;
    if (text[p] == '>') return p;
    p = find_byte(text, p + 1, text[p]);
    if (p == npos) return npos;
    ++p;
  }
}

inline bool is_ascii_space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The bytes of the names nearly every tag is made of. A tag that holds
// nothing but these (after "<" or "</", before ">" or "/>") has no white
// space, quotes or attributes to look for.
// kNameByte for each of them, kColon for the ":" that ends a prefix.
constexpr std::uint8_t kNameByte = 1;
constexpr std::uint8_t kColon = 2;
constexpr std::array<std::uint8_t, 256> kNameBytes = [] {
  std::array<std::uint8_t, 256> bytes{};
  for (unsigned char c = '0'; c <= '9'; ++c) bytes[c] = kNameByte;
  for (unsigned char c = 'A'; c <= 'Z'; ++c) bytes[c] = kNameByte;
  for (unsigned char c = 'a'; c <= 'z'; ++c) bytes[c] = kNameByte;
  for (const unsigned char c : {'-', '.', '_'}) bytes[c] = kNameByte;
  bytes[':'] = kColon;
  return bytes;
}();

// Byte equality of two names, inline: names are a few bytes long, and a
// call into the library for each tag would cost more than the comparison.
constexpr SameText same_name{};

// A name the guess missed, out of line: the table's search is large, and
// inlined it would crowd the reader's loop, which rarely needs it.
[[gnu::noinline]] NameTable::Index intern_name(NameTable& names, std::string_view name) {
  return names.intern(name);
}

// Position of the first White_Space character at or after `from`, or npos.
inline std::size_t find_white_space(std::string_view text, std::size_t from) {
  std::size_t i = from;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (is_ascii_space(c)) return i;
      ++i;
    } else {
      const std::size_t start = i;
      if (is_white_space(next_code_point(text, i))) return start;
    }
  }
  return npos;
}

// Position of the first character at or after `from` that is not
// White_Space, or the text's size.
inline std::size_t skip_white_space(std::string_view text, std::size_t from) {
  std::size_t i = from;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (!is_ascii_space(c)) return i;
      ++i;
    } else {
      std::size_t next = i;
      if (!is_white_space(next_code_point(text, next))) return i;
      i = next;
    }
  }
  return i;
}

inline std::string_view trim_white_space(std::string_view text) {
  text.remove_prefix(skip_white_space(text, 0));
  while (!text.empty()) {
    const auto c = static_cast<unsigned char>(text.back());
    if (c >= 0x80) return trim_end(text);
    if (!is_ascii_space(c)) break;
    text.remove_suffix(1);
  }
  return text;
}

// A name that ends in its colon keeps its whole text: with nothing after
// the colon it would be no name at all, and the instance written back would
// not read as XML.
inline std::string_view strip_prefix(std::string_view name) {
  const std::size_t colon = name.rfind(':');
  if (colon == std::string_view::npos || colon + 1 == name.size()) return name;
  return name.substr(colon + 1);
}

struct CharReference {
  char32_t character;
  std::size_t length;
};

// The character reference ("&#233;", "&#xE9;") at the start of `rest`,
// which starts with "&#"; none when it is not one, or when it names a
// character XML does not allow, so that it stays as written.
std::optional<CharReference> char_reference(std::string_view rest) {
  const bool hex = rest.size() > 2 && rest[2] == 'x';
  std::size_t k = hex ? 3 : 2;
  const std::size_t first_digit = k;
  char32_t value = 0;
  for (; k < rest.size(); ++k) {
    const char c = rest[k];
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
      digit = static_cast<unsigned>((c | 0x20) - 'a' + 10);
    } else {
      break;
    }
    // Past the last code point the value stays out of range, however many
    // digits follow.
    value = value > 0x10FFFF ? value : value * (hex ? 16 : 10) + digit;
  }
  if (k == first_digit || k >= rest.size() || rest[k] != ';' || !is_xml_char(value)) {
    return std::nullopt;
  }
  return CharReference{value, k + 1};
}

// Appends the text with the five entities and the character references
// replaced, in one pass, so that nothing a replacement produces is read
// again: "&amp;lt;" gives "&lt;" and "&amp;#233;" gives "&#233;". That is
// also what successive replace-all passes of the five entities, "&amp;"
// last, would give: every entity starts with "&" and ends with the only
// ";" in it, so no two occurrences overlap.
template <typename Out>
void append_decoded(std::string_view text, Out& out) {
  std::size_t amp = find_byte(text, 0, '&');
  if (amp == npos) {
    out.append(text.data(), text.size());
    return;
  }
  static constexpr struct {
    std::string_view entity;
    char replacement;
  } kEntities[] = {
      {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&amp;", '&'},
  };
  std::size_t done = 0;
  while (amp != npos) {
    const std::string_view rest = text.substr(amp);
    std::size_t skip = 1;
    if (rest.size() > 1 && rest[1] == '#') {
      if (const std::optional<CharReference> reference = char_reference(rest)) {
        out.append(text.data() + done, amp - done);
        std::string encoded;
        append_utf8(encoded, reference->character);
        out.append(encoded.data(), encoded.size());
        done = amp + reference->length;
        skip = reference->length;
      }
    } else {
      for (const auto& [entity, replacement] : kEntities) {
        if (rest.starts_with(entity)) {
          out.append(text.data() + done, amp - done);
          out.append(&replacement, 1);
          done = amp + entity.size();
          skip = entity.size();
          break;
        }
      }
    }
    amp = find_byte(text, amp + skip, '&');
  }
  out.append(text.data() + done, text.size() - done);
}

// The constructs other than tags that begin with "<!" or "<?".
enum class Markup { None, Comment, Instruction, Doctype, CData };

struct MarkupSpan {
  Markup kind = Markup::None;
  std::size_t end = 0;          // just past the construct
  std::string_view content;     // a CDATA section's text
};

// Position just past the first `close` at or after `from`, or npos.
std::size_t past(std::string_view text, std::size_t from, std::string_view close) {
  const std::size_t at = text.find(close, from);
  return at == npos ? npos : at + close.size();
}

// Position just past the ">" that closes a DOCTYPE whose name starts at
// `from`: quoted literals, and comments and processing instructions inside
// the internal subset, may hold any character; npos when the text ends
// first.
std::size_t doctype_end(std::string_view text, std::size_t from) {
  bool in_subset = false;
  std::size_t p = from;
  while (p < text.size()) {
    const char c = text[p];
    if (c == '"' || c == '\'') {
      p = find_byte(text, p + 1, c);
      if (p == npos) return npos;
      ++p;
    } else if (c == '[' && !in_subset) {
      in_subset = true;
      ++p;
    } else if (c == ']' && in_subset) {
      in_subset = false;
      ++p;
    } else if (c == '>' && !in_subset) {
      return p + 1;
    } else if (c == '<' && in_subset && text.substr(p).starts_with("<!--")) {
      p = past(text, p + 4, "-->");
      if (p == npos) return npos;
    } else if (c == '<' && in_subset && text.substr(p).starts_with("<?")) {
      p = past(text, p + 2, "?>");
      if (p == npos) return npos;
    } else {
      ++p;
    }
  }
  return npos;
}

// The comment, processing instruction, DOCTYPE or CDATA section that starts
// at the "<" at `lt`; kind None when there is none there (a tag, or "<!"
// followed by anything else), or the message when it is not closed.
std::expected<MarkupSpan, std::string> read_markup(std::string_view text, std::size_t lt) {
  const std::string_view rest = text.substr(lt);
  MarkupSpan span;
  if (rest.starts_with("<?")) {
    span.kind = Markup::Instruction;
    span.end = past(text, lt + 2, "?>");
    if (span.end == npos) return std::unexpected("unterminated processing instruction");
  } else if (rest.starts_with("<!--")) {
    span.kind = Markup::Comment;
    span.end = past(text, lt + 4, "-->");
    if (span.end == npos) return std::unexpected("unterminated comment");
  } else if (rest.starts_with("<![CDATA[")) {
    span.kind = Markup::CData;
    const std::size_t close = text.find("]]>", lt + 9);
    if (close == npos) return std::unexpected("unterminated CDATA section");
    span.content = text.substr(lt + 9, close - lt - 9);
    span.end = close + 3;
  } else if (rest.starts_with("<!DOCTYPE")) {
    span.kind = Markup::Doctype;
    span.end = doctype_end(text, lt + 9);
    if (span.end == npos) return std::unexpected("unterminated DOCTYPE");
  }
  return span;
}

inline bool is_blank(std::string_view text) { return skip_white_space(text, 0) == text.size(); }

// A bound on the nodes a text gives, for reserving the store so that it
// never moves while it grows: every element starts with a "<" and every
// attribute holds an "=". Counting end tags too makes it loose, which costs
// nothing, since pages of the reservation that stay unused are never
// touched. An "=" is common in text, so at most one attribute per "<" is
// counted: a text of nothing but "=" must not reserve a huge store.
std::size_t node_bound(std::string_view text) {
  std::size_t tags = 0;
  std::size_t equals = 0;
  std::size_t i = 0;
  if constexpr (kLittleEndian) {
    for (; i + 8 <= text.size(); i += 8) {
      const std::uint64_t word = load_word(text.data() + i);
      // One flag per matching byte, at most 8 a word, which the
      // multiplication sums into the top byte.
      tags += ((equal_bytes(word, '<') >> 7) * kOnes) >> 56;
      equals += ((equal_bytes(word, '=') >> 7) * kOnes) >> 56;
    }
  }
  for (; i < text.size(); ++i) {
    tags += text[i] == '<';
    equals += text[i] == '=';
  }
  return tags + std::min(tags, equals);
}

}  // namespace

std::string_view local_name(std::string_view name) { return strip_prefix(name); }

std::string decode_entities(std::string_view text) {
  std::string out;
  append_decoded(text, out);
  return out;
}

std::expected<Document, std::string> Document::parse(std::string_view text) {
  Document document;
  StoreArray<Record>& records = document.records_;
  StoreArray<NodeId>& links = document.links_;
  StoreArray<char>& values = document.text_;
  // The open elements, and the children of each collected until it closes;
  // in store arrays, so that a large document's scaffolding, like its
  // store, is mapped and unmapped rather than left to the heap.
  StoreArray<NodeId> open;
  StoreArray<NodeId> pending_children;
  StoreArray<std::uint64_t> children_start;
  try {
    // Every node but the root is listed once, and the values, decoded, are
    // never longer than the text they come from: with this room none of the
    // arrays moves while it fills.
    const std::size_t bound = node_bound(text);
    records.reserve(bound);
    links.reserve(bound);
    values.reserve(text.size());
    pending_children.reserve(bound);
  } catch (const std::bad_alloc&) {
    // A text of little but "<" can ask for more than the machine will map;
    // the store then grows as nodes come, and only a real need fails.
  }
  // Names come in the same order row after row, so the name that followed
  // a name last time is tried before the name table is searched: one
  // comparison instead of hashing every tag's name. Indexed by name, the
  // name made after it (kNone when none yet).
  std::vector<NameTable::Index> next_name;
  NameTable::Index previous_name = kNone;
  const auto name_index = [&](std::string_view name) {
    if (previous_name < next_name.size()) {
      const NameTable::Index guess = next_name[previous_name];
      if (guess != kNone && same_name(document.names_[guess], name)) {
        previous_name = guess;
        return guess;
      }
    }
    const NameTable::Index index = intern_name(document.names_, name);
    if (previous_name != kNone) {
      if (previous_name >= next_name.size()) next_name.resize(document.names_.size(), kNone);
      next_name[previous_name] = index;
    }
    previous_name = index;
    return index;
  };
  // A new node, without value or links yet: numbered by its id, since
  // nodes are made in document order.
  const auto make = [&](std::string_view name, bool is_attribute) {
    const NodeId id = records.size();
    if (id >= kNone) throw std::bad_alloc();
    const NameTable::Index index = name_index(name);
    records.push_back(Record{
        .value_at = values.size(),
        .links_at = 0,
        .value_size = 0,
        .parent = kNone,
        .name = index | (is_attribute ? kAttributeBit : 0),
        .attribute_count = 0,
        .child_count = 0,
        .link_capacity = 0,
        .order = static_cast<std::uint32_t>(id),
    });
    return id;
  };
  // The node's value is what was decoded into the text since `at`.
  const auto finish_value = [&](NodeId id, std::uint64_t at) {
    records[id].value_at = at;
    records[id].value_size = values.size() - at;
  };
  // A complete element's list: its attributes, made right after it, then its
  // children.
  const auto finish_links = [&](NodeId element, std::span<const NodeId> children) {
    Record& record = records[element];
    const std::uint64_t count = std::uint64_t{record.attribute_count} + children.size();
    if (count == 0) return;
    if (count >= kNone) throw std::bad_alloc();
    record.links_at = links.size();
    record.link_capacity = static_cast<std::uint32_t>(count);
    record.child_count = static_cast<std::uint32_t>(children.size());
    NodeId* room = links.extend(count);
    for (std::uint32_t k = 0; k < record.attribute_count; ++k) room[k] = element + 1 + k;
    std::copy(children.begin(), children.end(), room + record.attribute_count);
  };

  std::optional<NodeId> root;

  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    const std::size_t lt = text[i] == '<' ? i : find_byte(text, i, '<');
    if (lt == npos) break;
    // A plain tag, <name>, </name> or <name/> with a name of name bytes
    // only, is read at once: its content is the name (with its "/"), and it
    // has no white space, quotes or attributes that the general reading
    // below would look for.
    std::string_view content;
    std::string_view plain_name;  // the local name of a plain tag
    bool plain = false;
    {
      std::size_t q = lt + 1;
      const bool closing = q < size && text[q] == '/';
      if (closing) ++q;
      const std::size_t name_from = q;
      std::size_t local_from = q;
      while (q < size) {
        const std::uint8_t kind = kNameBytes[static_cast<unsigned char>(text[q])];
        if (kind == 0) break;
        if (kind == kColon) local_from = q + 1;
        ++q;
      }
      if (q > name_from && q < size) {
        plain_name = local_from < q ? text.substr(local_from, q - local_from)
                                    : text.substr(name_from, q - name_from);
        if (text[q] == '>') {
          plain = true;
          i = q + 1;
        } else if (!closing && text[q] == '/' && q + 1 < size && text[q + 1] == '>') {
          plain = true;
          ++q;
          i = q + 1;
        }
        if (plain) content = text.substr(lt + 1, q - lt - 1);
      }
    }
    if (!plain) {
      if (lt + 1 < size && (text[lt + 1] == '?' || text[lt + 1] == '!')) {
        VINDLE_ASSIGN_OR_RETURN(auto&& markup, read_markup(text, lt));
        // Any other "<!" is passed over, and what follows it read as text.
        i = markup.kind == Markup::None ? lt + 1 : markup.end;
        continue;
      }
      const std::size_t gt = find_tag_end(text, lt + 1);
      if (gt == npos) return std::unexpected("unterminated tag");
      content = text.substr(lt + 1, gt - lt - 1);
      i = gt + 1;
    }

    if (!content.empty() && content.front() == '/') {
      if (open.empty()) return std::unexpected("closing tag without opening");
      const NodeId top = open.back();
      open.shrink(open.size() - 1);
      const std::uint64_t first_child = children_start.back();
      children_start.shrink(children_start.size() - 1);
      finish_links(top, std::span<const NodeId>(pending_children.data() + first_child,
                                                pending_children.size() - first_child));
      pending_children.shrink(first_child);
      const std::string_view closing =
          plain ? plain_name : strip_prefix(trim_white_space(content.substr(1)));
      const std::string_view opened = document.name_of(top);
      if (!same_name(closing, opened)) {
        std::string message = "closing </";
        message += closing;
        message += "> does not match open <";
        message += opened;
        message += '>';
        return std::unexpected(std::move(message));
      }
      continue;
    }

    // A start tag; every trailing "/" goes, and one makes it self-closing.
    const bool self_closing = !content.empty() && content.back() == '/';
    std::string_view body = content;
    while (!body.empty() && body.back() == '/') body.remove_suffix(1);
    const std::size_t name_start = plain ? 0 : skip_white_space(body, 0);
    std::size_t name_end = plain ? body.size() : find_white_space(body, name_start);
    if (name_end == npos) name_end = body.size();
    const NodeId element =
        make(plain ? plain_name : strip_prefix(body.substr(name_start, name_end - name_start)),
             false);

    // Attributes start at the body's first white space, which is either its
    // first character or the end of the name. Whatever cannot be read as
    // name = quoted value ends the list silently.
    const std::size_t first_space = name_start > 0 ? 0 : name_end;
    if (first_space < body.size()) {
      std::string_view rest = body.substr(first_space);
      std::uint32_t attribute_count = 0;
      while (true) {
        const std::size_t equals = find_byte(rest, 0, '=');
        if (equals == npos) break;
        const std::string_view name = trim_white_space(rest.substr(0, equals));
        const std::size_t open_quote = skip_white_space(rest, equals + 1);
        if (open_quote >= rest.size()) break;
        const char quote = rest[open_quote];
        if (quote != '"' && quote != '\'') break;
        const std::size_t close_quote = find_byte(rest, open_quote + 1, quote);
        if (close_quote == npos) break;
        if (!name.empty()) {
          const NodeId attribute = make(strip_prefix(name), true);
          records[attribute].parent = static_cast<std::uint32_t>(element);
          const std::uint64_t at = values.size();
          append_decoded(rest.substr(open_quote + 1, close_quote - open_quote - 1), values);
          finish_value(attribute, at);
          ++attribute_count;
        }
        rest.remove_prefix(close_quote + 1);
      }
      records[element].attribute_count = attribute_count;
    }

    if (open.empty()) {
      if (root) return std::unexpected("more than one root element");
      root = element;
    } else {
      records[element].parent = static_cast<std::uint32_t>(open.back());
      pending_children.push_back(element);
    }

    if (self_closing) {
      finish_links(element, {});
      continue;
    }
    // Only the first run of text becomes the value, and only when it is
    // not blank; it is kept untrimmed.
    std::size_t end = find_byte(text, i, size, '<');
    std::string_view run = text.substr(i, end - i);
    // Most runs end at a tag: only a "<!" or "<?" can start anything else.
    const bool markup_follows = end + 1 < size && (text[end + 1] == '!' || text[end + 1] == '?');
    const std::uint64_t at = values.size();
    if (!markup_follows) {
      if (!is_blank(run)) {
        append_decoded(run, values);
        finish_value(element, at);
      }
    } else {
      // The run goes on past comments, processing instructions and
      // DOCTYPEs, and through CDATA sections, to the next tag.
      auto markup = read_markup(text, end);
      VINDLE_TRY(markup);
      bool blank = true;
      while (true) {
        blank = blank && is_blank(run);
        append_decoded(run, values);
        if (markup->kind == Markup::None) break;
        if (markup->kind == Markup::CData) {
          blank = blank && is_blank(markup->content);
          values.append(markup->content.data(), markup->content.size());
        }
        end = find_byte(text, markup->end, size, '<');
        run = text.substr(markup->end, end - markup->end);
        markup = read_markup(text, end);
        VINDLE_TRY(markup);
      }
      if (blank) {
        values.shrink(at);
      } else {
        finish_value(element, at);
      }
    }
    open.push_back(element);
    children_start.push_back(pending_children.size());
    i = end;
  }
  if (!open.empty()) return std::unexpected("unclosed elements");
  if (!root) return std::unexpected("no root element");
  document.root_ = root;
  // Elements are made in document order, each followed at once by its
  // attributes, and every node is reachable from the root: each node's
  // number is its id.
  document.tree_order_numbered_ = true;
  return document;
}

}  // namespace vindle

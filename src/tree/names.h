// The names of one document, each stored once: a node holds a 32-bit
// index into its document's table instead of a string of its own. A form
// or submission repeats a few hundred names over and over, so the table is
// small while the nodes are many, and comparing two names of one document
// is comparing two numbers.
//
// The names come from the document, so the table is a `BoundedSet`: no
// choice of names makes a lookup cost more than a bounded number of slots
// and a logarithmic number of comparisons, and names made to share the
// whole hash are told apart by TextHash's second hash. The hash is a
// parameter only so that tests and benchmarks can give one that sends every
// name alike, with a second hash or without.
//
// A name's text never moves once stored, so the views the table hands out
// stay valid for the life of the table (and of any table moved from it).
#pragma once

#include <cstdint>
#include <deque>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "text/bounded_map.h"

namespace vindle {

template <class Hash>
class BasicNameTable {
 public:
  using Index = std::uint32_t;
  // Indexes run below this; the table refuses to grow past it.
  static constexpr Index kLimit = Index{1} << 31;

  BasicNameTable() = default;
  explicit BasicNameTable(Hash hash) : names_(std::move(hash)) {}
  BasicNameTable(const BasicNameTable& other) { *this = other; }
  BasicNameTable(BasicNameTable&&) = default;
  // The copied texts live elsewhere, so the copy's set views its own.
  BasicNameTable& operator=(const BasicNameTable& other) {
    if (this == &other) return *this;
    BasicNameTable copy;
    copy.names_ = Names(other.names_.hash_function());
    copy.names_.reset(other.size());
    for (const std::string_view name : other.names_) copy.intern(name);
    *this = std::move(copy);
    return *this;
  }
  BasicNameTable& operator=(BasicNameTable&&) = default;

  // The index of the name, stored now when it is new.
  Index intern(std::string_view name) {
    if (names_.size() >= kLimit) {
      if (const auto found = names_.find(name)) return static_cast<Index>(*found);
      throw std::bad_alloc();
    }
    const auto [place, added] =
        names_.insert(name, [&]() -> std::string_view { return texts_.emplace_back(name); });
    return static_cast<Index>(place);
  }
  // The index of the name when it is stored, none otherwise: a name the
  // table does not hold belongs to no node of the document.
  std::optional<Index> find(std::string_view name) const {
    const std::uint32_t place = names_.find_place(name);
    if (place == Names::kAbsent) return std::nullopt;
    return place;
  }
  std::string_view operator[](Index index) const { return names_[index]; }
  std::size_t size() const { return names_.size(); }

 private:
  using Names = BoundedSet<std::string_view, Hash, SameText, TextLess>;
  // The texts, in a container whose elements never move.
  std::deque<std::string> texts_;
  Names names_;
};

using NameTable = BasicNameTable<TextHash>;

}  // namespace vindle

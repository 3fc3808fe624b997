// TGrowingTable: a 1-based store table of at most N records whose storage grows as records
// are written, so that a ghost pays for the records it has, not for the
// table's capacity. Reading a record past the storage gives an empty record;
// writing one makes room up to it. Storage moves when it grows: callers keep
// record numbers, not references, across writes.
// TLongestFirstList: a 1-based list of names, longest first.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "ghost_assert.h"

template <typename T, int N>
class TGrowingTable {
 public:
  T& operator[](int i) {
    GHOST_ASSERT(i >= 0 && i < N);
    if (static_cast<std::size_t>(i) >= records_.size()) Grow(i);
    return records_[i];
  }
  const T& operator[](int i) const {
    GHOST_ASSERT(i >= 0 && i < N);
    static const T kEmpty{};
    return static_cast<std::size_t>(i) < records_.size() ? records_[i] : kEmpty;
  }
  // The records written so far, for a reader that stops at the table's count.
  operator const T*() const { return records_.data(); }
  // Every record empty again, the storage given back.
  void Clear() { std::vector<T>().swap(records_); }

 private:
  void Grow(int i) {
    const std::size_t wanted = std::max<std::size_t>(i + 1, 2 * records_.size());
    records_.resize(std::min<std::size_t>(wanted, N));
  }
  std::vector<T> records_;
};

// A 1-based list of names kept longest first, the latest added first among
// names of one length. Names are kept in the order they came and put in list
// order when the list is next read, so a load that adds hundreds of names
// orders them once instead of shifting the list for each. Reading a name past
// the end gives an empty name.
class TLongestFirstList {
 public:
  const std::string& operator[](int i) {
    GHOST_ASSERT(i >= 0);
    static const std::string kEmpty;
    Settle();
    return static_cast<std::size_t>(i) < names_.size() ? names_[i] : kEmpty;
  }
  // The names in list order, for a reader that stops at the list's count.
  operator const std::string*() {
    Settle();
    return names_.data();
  }
  void Append(std::string name) {
    if (names_.empty()) names_.emplace_back();  // position 0 stays empty
    names_.push_back(std::move(name));
  }
  // Whether the list holds `name`, in whatever order it stands.
  bool Contains(const std::string& name) const {
    return !names_.empty() && std::find(names_.begin() + 1, names_.end(), name) != names_.end();
  }
  void Clear() {
    std::vector<std::string>().swap(names_);
    ordered_ = 1;
  }

 private:
  // The names added since the last reading are all later than the ones
  // before them: reversed and put in front, a stable sort by length leaves
  // each length's latest first.
  void Settle() {
    if (ordered_ >= names_.size()) return;
    const auto first = names_.begin() + 1, added = names_.begin() + ordered_;
    std::reverse(added, names_.end());
    std::rotate(first, added, names_.end());
    std::stable_sort(first, names_.end(), [](const std::string& a, const std::string& b) {
      return a.size() > b.size();
    });
    ordered_ = names_.size();
  }
  std::vector<std::string> names_;
  std::size_t ordered_ = 1;  // names_[1, ordered_) stand in list order
};

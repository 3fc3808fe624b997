// A 1-based store table of at most N records whose storage grows as records
// are written, so that a ghost pays for the records it has, not for the
// table's capacity. Reading a record past the storage gives an empty record;
// writing one makes room up to it. Storage moves when it grows: callers keep
// record numbers, not references, across writes.
#pragma once

#include <algorithm>
#include <cstddef>
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

// LZ77 match search over the 1 MB window: hash chains or binary trees on
// four-byte prefixes, plus tables of the last position of every three-byte
// prefix and every two-byte pair (the length-2 codes only reach 256 bytes
// back).
//
// A tree keeps the positions of one four-byte hash sorted by the bytes that
// follow them, newest at the root, so a search walks straight to the longest
// matches instead of past every older position with the same prefix; it
// costs a walk for indexing too, which pays when every position is searched.
//
// The finder owns the history buffer. Data is appended in pieces; when a
// piece does not fit, the buffer slides and keeps the last window's worth of
// bytes, so positions are buffer indices that move down by the slide.
// Every position must be visited in order, either searched (Find) or only
// indexed (SkipTo); searches see the positions visited before them.
#pragma once

#include <stdint.h>

#include <vector>

namespace osin {

struct Match {
  uint32_t length;
  uint32_t distance;
};

class MatchFinder {
 public:
  // Depth: chain entries or tree nodes examined per search; Nice: a match
  // this long ends the search.
  MatchFinder(int depth, int nice, bool tree = false);
  static constexpr int kMaxFound = 64;

  // Forgets the history (a non-solid entry starts).
  void Reset();
  // Appends Count bytes; slides first when they do not fit. At most
  // MaxAppend() bytes at once.
  void Append(const uint8_t* data, uint32_t count);
  static uint32_t MaxAppend();

  const uint8_t* Data() const { return buffer_.data(); }
  uint32_t Size() const { return size_; }
  // Bytes of history before Pos that matches may reach.
  uint32_t Available(uint32_t pos) const { return pos - start_; }

  // Matches at Pos (which must be the next unvisited position) that end at
  // or before Limit, longest last, each the nearest of its length; Pos is
  // then indexed. Returns the number written to Out (at most kMaxFound).
  int Find(uint32_t pos, uint32_t limit, Match* out);
  // Indexes every unvisited position below Pos.
  void SkipTo(uint32_t pos);
  uint32_t Next() const { return next_; }

  // Length of the common run at Pos and Pos - Distance, up to Max.
  uint32_t MatchLength(uint32_t pos, uint32_t distance, uint32_t max) const;

 private:
  static constexpr int kHashBits = 17;
  uint32_t Hash3(uint32_t pos) const;
  uint32_t Hash4(uint32_t pos) const;
  void Insert(uint32_t pos);
  // Puts Pos at the root of its tree; with Record, the matches met on the way
  // as Find returns them.
  void TreeWalk(uint32_t pos, uint32_t max, uint32_t reach, uint32_t& best, Match* out, int& found,
                bool record);
  void Slide(uint32_t by);

  int depth_, nice_, good_;
  uint32_t ways_;  // chain_ slots per position: 1 for a chain, 2 for a tree's children
  std::vector<uint8_t> buffer_;
  uint32_t size_ = 0, start_ = 0, next_ = 0;
  std::vector<int32_t> head_, head3_, head2_, chain_;
};

}  // namespace osin

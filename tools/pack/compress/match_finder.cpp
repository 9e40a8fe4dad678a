#include "match_finder.h"

#include <string.h>

#include <algorithm>

#include "rar20_format.h"

namespace osin {

namespace {
// The buffer holds one window of history plus up to four pieces of new data
// (so a slide moves memory once per four megabytes), and a tail of zeros for
// the eight-byte compares.
constexpr uint32_t kPiece = 4u << 20;
constexpr uint32_t kCapacity = rar20::kWindowSize + kPiece;
constexpr uint32_t kTail = 16;
}  // namespace

MatchFinder::MatchFinder(int depth, int nice, bool tree)
    : depth_(depth),
      nice_(nice),
      good_(std::max(8, nice / 4)),
      ways_(tree ? 2 : 1),
      buffer_(kTail, 0),
      head_(1u << kHashBits, -1),
      head3_(1u << kHashBits, -1),
      head2_(1u << 16, -1),
      chain_() {}

uint32_t MatchFinder::MaxAppend() {
  return kPiece;
}

void MatchFinder::Reset() {
  size_ = start_ = next_ = 0;
  std::fill(head_.begin(), head_.end(), -1);
  std::fill(head3_.begin(), head3_.end(), -1);
  std::fill(head2_.begin(), head2_.end(), -1);
}

void MatchFinder::Append(const uint8_t* data, uint32_t count) {
  if (size_ + count > kCapacity) Slide(size_ > rar20::kWindowSize ? size_ - rar20::kWindowSize : 0);
  // The buffers grow with the data, so small inputs stay cheap.
  if (size_ + count > chain_.size() / ways_) {
    size_t grown = std::min<size_t>(kCapacity, std::max<size_t>(size_ + count, 2 * chain_.size() / ways_));
    buffer_.resize(grown + kTail, 0);
    chain_.resize(grown * ways_, -1);
  }
  memcpy(buffer_.data() + size_, data, count);
  size_ += count;
  memset(buffer_.data() + size_, 0, kTail);
}

void MatchFinder::Slide(uint32_t by) {
  memmove(buffer_.data(), buffer_.data() + by, size_ - by);
  size_ -= by;
  next_ = next_ > by ? next_ - by : 0;
  start_ = start_ > by ? start_ - by : 0;
  auto down = [by](int32_t& v) { v = v >= static_cast<int32_t>(by) ? v - static_cast<int32_t>(by) : -1; };
  for (int32_t& v : head_) down(v);
  for (int32_t& v : head3_) down(v);
  for (int32_t& v : head2_) down(v);
  size_t slots = size_t(by) * ways_;
  memmove(chain_.data(), chain_.data() + slots, (chain_.size() - slots) * sizeof(int32_t));
  for (size_t i = 0; i < size_t(size_) * ways_; ++i) down(chain_[i]);
}

uint32_t MatchFinder::Hash3(uint32_t pos) const {
  const uint8_t* p = buffer_.data() + pos;
  uint32_t v = (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
  return (v * 2654435761u) >> (32 - kHashBits);
}

uint32_t MatchFinder::Hash4(uint32_t pos) const {
  uint32_t v;
  memcpy(&v, buffer_.data() + pos, 4);
  return (v * 2654435761u) >> (32 - kHashBits);
}

void MatchFinder::Insert(uint32_t pos) {
  if (ways_ == 2) {
    if (pos + 3 < size_) {
      uint32_t best = 1;
      int found = 0;
      TreeWalk(pos, 0, std::min(pos - start_, rar20::kMaxDistance), best, nullptr, found, false);
    }
  } else if (pos + 3 < size_) {
    uint32_t h = Hash4(pos);
    chain_[pos] = head_[h];
    head_[h] = static_cast<int32_t>(pos);
  }
  if (pos + 2 < size_) head3_[Hash3(pos)] = static_cast<int32_t>(pos);
  if (pos + 1 < size_) head2_[buffer_[pos] | (buffer_[pos + 1] << 8)] = static_cast<int32_t>(pos);
}

void MatchFinder::SkipTo(uint32_t pos) {
  while (next_ < pos) Insert(next_++);
}

uint32_t MatchFinder::MatchLength(uint32_t pos, uint32_t distance, uint32_t max) const {
  const uint8_t* a = buffer_.data() + pos;
  const uint8_t* b = a - distance;
  uint32_t len = 0;
  while (len < max) {
    uint64_t x, y;
    memcpy(&x, a + len, 8);
    memcpy(&y, b + len, 8);
    if (x != y) return std::min(max, len + (__builtin_ctzll(x ^ y) >> 3));
    len += 8;
  }
  return max;
}

int MatchFinder::Find(uint32_t pos, uint32_t limit, Match* out) {
  uint32_t max = std::min<uint32_t>(rar20::kMaxMatch, limit - pos);
  uint32_t reach = std::min(pos - start_, rar20::kMaxDistance);
  int found = 0;
  uint32_t best = 1;
  // The nearest two- and three-byte matches come from tables of the last
  // position of each prefix; the chains hold four-byte prefixes, which keeps
  // them short on text.
  auto record = [&](uint32_t len, uint32_t distance) {
    // (TreeWalk records the same way.)
    best = len;
    if (found > 0 && out[found - 1].distance == distance) {
      out[found - 1].length = len;
    } else if (found < kMaxFound) {
      out[found++] = Match{len, distance};
    }
  };
  if (max >= 2 && pos + 1 < size_) {
    int32_t p2 = head2_[buffer_[pos] | (buffer_[pos + 1] << 8)];
    if (p2 >= static_cast<int32_t>(start_) && pos - p2 <= 256)
      record(MatchLength(pos, pos - p2, max), pos - p2);
  }
  if (max >= 3 && pos + 2 < size_ && best < max) {
    int32_t p3 = head3_[Hash3(pos)];
    if (p3 >= static_cast<int32_t>(start_) && pos - p3 <= reach) {
      uint32_t distance = pos - static_cast<uint32_t>(p3);
      uint32_t len = MatchLength(pos, distance, max);
      if (len > best && len >= static_cast<uint32_t>(rar20::MinMatchLength(distance))) record(len, distance);
    }
  }
  if (ways_ == 2) {
    // The walk indexes Pos as well.
    if (pos + 3 < size_) TreeWalk(pos, max, reach, best, out, found, max >= 4);
    if (pos + 2 < size_) head3_[Hash3(pos)] = static_cast<int32_t>(pos);
    if (pos + 1 < size_) head2_[buffer_[pos] | (buffer_[pos + 1] << 8)] = static_cast<int32_t>(pos);
    next_ = pos + 1;
    return found;
  }
  if (max >= 4 && pos + 3 < size_ && best < max && best < static_cast<uint32_t>(nice_)) {
    const uint8_t* cur = buffer_.data() + pos;
    int32_t cand = head_[Hash4(pos)];
    int steps = depth_;
    for (; cand >= 0 && steps > 0; --steps, cand = chain_[cand]) {
      uint32_t distance = pos - static_cast<uint32_t>(cand);
      if (distance > reach) break;
      if (buffer_[cand + best] != cur[best]) continue;
      uint32_t len = MatchLength(pos, distance, max);
      if (len <= best || len < static_cast<uint32_t>(rar20::MinMatchLength(distance))) continue;
      record(len, distance);
      if (len >= static_cast<uint32_t>(nice_) || len >= max) break;
      // A good match already: look less hard for a better one.
      if (len >= static_cast<uint32_t>(good_) && steps > depth_ / 4) steps = depth_ / 4;
    }
  }
  Insert(pos);
  next_ = pos + 1;
  return found;
}

}  // namespace osin

namespace osin {

// Left children hold the positions whose following bytes sort below the
// node's, right children those above; both sides of the walk remember how
// many bytes every position on them shares with Pos, so each comparison
// starts past the shorter of the two. Bytes are compared up to the nice
// length (or the data's end); a position that far alike takes over the
// node's children, as the tree cannot tell them apart.
void MatchFinder::TreeWalk(uint32_t pos, uint32_t max, uint32_t reach, uint32_t& best, Match* out, int& found,
                           bool record) {
  const uint8_t* data = buffer_.data();
  uint32_t h = Hash4(pos);
  int32_t cand = head_[h];
  head_[h] = static_cast<int32_t>(pos);
  // The next position's walk starts far back in the window, mostly out of
  // the cache: its first node is fetched while this walk goes on.
  if (pos + 4 < size_) {
    int32_t coming = head_[Hash4(pos + 1)];
    if (coming >= 0) {
      __builtin_prefetch(&chain_[2 * size_t(coming)]);
      __builtin_prefetch(data + coming);
    }
  }
  int32_t* left = &chain_[2 * size_t(pos)];
  int32_t* right = left + 1;
  uint32_t limit = std::min<uint32_t>(static_cast<uint32_t>(nice_), size_ - pos);
  uint32_t lenLeft = 0, lenRight = 0;
  for (int steps = depth_;; --steps) {
    uint32_t distance = pos - static_cast<uint32_t>(cand);
    if (cand < static_cast<int32_t>(start_) || distance > reach || steps == 0) {
      *left = *right = -1;
      return;
    }
    uint32_t len = std::min(lenLeft, lenRight);
    while (len < limit && data[cand + len] == data[pos + len]) {
      if (len + 8 <= limit) {
        uint64_t x, y;
        memcpy(&x, data + pos + len, 8);
        memcpy(&y, data + cand + len, 8);
        if (x != y) {
          len += __builtin_ctzll(x ^ y) >> 3;
          break;
        }
        len += 8;
      } else {
        ++len;
      }
    }
    if (len > limit) len = limit;
    if (record && len > best && len >= static_cast<uint32_t>(rar20::MinMatchLength(distance))) {
      uint32_t taken = len >= limit ? MatchLength(pos, distance, max) : std::min(len, max);
      if (taken > best) {
        best = taken;
        if (found > 0 && out[found - 1].distance == distance) {
          out[found - 1].length = taken;
        } else if (found < kMaxFound) {
          out[found++] = Match{taken, distance};
        }
      }
    }
    int32_t* children = &chain_[2 * size_t(cand)];
    if (len >= limit) {
      *left = children[0];
      *right = children[1];
      return;
    }
    if (data[cand + len] < data[pos + len]) {
      *left = cand;
      left = children + 1;
      cand = *left;
      lenLeft = len;
    } else {
      *right = cand;
      right = children;
      cand = *right;
      lenRight = len;
    }
  }
}

}  // namespace osin

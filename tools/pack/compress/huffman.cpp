#include "huffman.h"

#include <algorithm>
#include <vector>

namespace osin {

namespace {

// Moffat and Katajainen's in-place computation of minimum-redundancy code
// lengths. A holds the weights in nondecreasing order and receives the code
// length of each position; the tree is never built.
void MinimumRedundancy(int64_t* a, int n) {
  if (n == 1) {
    a[0] = 1;
    return;
  }
  a[0] += a[1];
  int root = 0, leaf = 2;
  for (int next = 1; next < n - 1; ++next) {
    if (leaf >= n || a[root] < a[leaf]) {
      a[next] = a[root];
      a[root++] = next;
    } else {
      a[next] = a[leaf++];
    }
    if (leaf >= n || (root < next && a[root] < a[leaf])) {
      a[next] += a[root];
      a[root++] = next;
    } else {
      a[next] += a[leaf++];
    }
  }
  a[n - 2] = 0;
  for (int next = n - 3; next >= 0; --next) a[next] = a[a[next]] + 1;
  int avail = 1, used = 0, depth = 0, root2 = n - 2, next = n - 1;
  while (avail > 0) {
    while (root2 >= 0 && a[root2] == depth) {
      ++used;
      --root2;
    }
    while (avail > used) {
      a[next--] = depth;
      --avail;
    }
    avail = 2 * used;
    ++depth;
    used = 0;
  }
}

}  // namespace

void BuildCodeLengths(const uint32_t* freqs, int count, int maxBits, uint8_t* lengths) {
  std::vector<int> order;
  for (int i = 0; i < count; ++i) {
    lengths[i] = 0;
    if (freqs[i]) order.push_back(i);
  }
  if (order.empty()) return;
  if (order.size() == 1) {
    // A lone symbol still needs a one-bit code; its unused partner keeps the
    // code complete.
    lengths[order[0]] = 1;
    lengths[order[0] == 0 ? 1 : 0] = 1;
    return;
  }
  std::stable_sort(order.begin(), order.end(), [&](int x, int y) { return freqs[x] < freqs[y]; });
  int n = static_cast<int>(order.size());
  std::vector<int64_t> a(n);
  for (int i = 0; i < n; ++i) a[i] = freqs[order[i]];
  MinimumRedundancy(a.data(), n);
  // Count lengths; fold anything deeper than MaxBits back into the limit by
  // the usual exchange (two leaves at the deepest level become one leaf one
  // level up plus two leaves below the deepest shallower leaf).
  std::vector<int> counts(n + 1, 0);
  int deepest = 0;
  for (int i = 0; i < n; ++i) {
    counts[a[i]]++;
    deepest = std::max<int>(deepest, static_cast<int>(a[i]));
  }
  for (int len = deepest; len > maxBits; --len) {
    while (counts[len] > 0) {
      int j = len - 2;
      while (counts[j] == 0) --j;
      counts[len] -= 2;
      counts[len - 1] += 1;
      counts[j + 1] += 2;
      counts[j] -= 1;
    }
  }
  // The longest codes go to the rarest symbols (order is rarest first).
  int pos = 0;
  for (int len = std::min(deepest, maxBits); len >= 1; --len) {
    for (int k = 0; k < counts[len]; ++k) lengths[order[pos++]] = static_cast<uint8_t>(len);
  }
}

void BuildCanonicalCodes(const uint8_t* lengths, int count, uint16_t* codes) {
  int counts[16] = {};
  for (int i = 0; i < count; ++i) counts[lengths[i]]++;
  counts[0] = 0;
  uint32_t next[16] = {};
  uint32_t code = 0;
  for (int len = 1; len < 16; ++len) {
    code = (code + counts[len - 1]) << 1;
    next[len] = code;
  }
  for (int i = 0; i < count; ++i) codes[i] = lengths[i] ? static_cast<uint16_t>(next[lengths[i]]++) : 0;
}

uint64_t CodedBits(const uint32_t* freqs, const uint8_t* lengths, int count, uint32_t missing) {
  uint64_t bits = 0;
  for (int i = 0; i < count; ++i)
    bits += static_cast<uint64_t>(freqs[i]) * (lengths[i] ? lengths[i] : missing);
  return bits;
}

}  // namespace osin

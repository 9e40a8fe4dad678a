#include "huffman.h"

#include <algorithm>
#include <queue>
#include <vector>

#include "testing.h"

namespace osin {
namespace {

// Kraft sum of the lengths, scaled by 2^15: exactly 2^15 for a complete code.
uint32_t KraftScaled(const std::vector<uint8_t>& lengths) {
  uint32_t sum = 0;
  for (uint8_t l : lengths)
    if (l) sum += 1u << (15 - l);
  return sum;
}

// Cost of an unrestricted Huffman code, by the textbook merge of the two
// lightest weights.
uint64_t HuffmanCost(const std::vector<uint32_t>& freqs) {
  std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<uint64_t>> q;
  for (uint32_t f : freqs)
    if (f) q.push(f);
  uint64_t cost = 0;
  while (q.size() > 1) {
    uint64_t a = q.top();
    q.pop();
    uint64_t b = q.top();
    q.pop();
    cost += a + b;
    q.push(a + b);
  }
  return cost;
}

TEST(CodeLengths, CompleteAndOptimalWhenNoLimitBites) {
  uint32_t seed = 1;
  for (int round = 0; round < 200; ++round) {
    int count = 2 + round % 297;
    std::vector<uint32_t> freqs(count);
    for (uint32_t& f : freqs) {
      seed = seed * 1664525 + 1013904223;
      f = (seed >> 24) % 5 == 0 ? 0 : 100 + (seed >> 8) % 900;
    }
    freqs[0] = std::max<uint32_t>(freqs[0], 1);
    freqs[1] = std::max<uint32_t>(freqs[1], 1);
    std::vector<uint8_t> lengths(count);
    BuildCodeLengths(freqs.data(), count, 15, lengths.data());
    EXPECT_EQ(KraftScaled(lengths), 1u << 15) << "round " << round;
    EXPECT_EQ(CodedBits(freqs.data(), lengths.data(), count), HuffmanCost(freqs)) << "round " << round;
    for (int i = 0; i < count; ++i) EXPECT_EQ(lengths[i] != 0, freqs[i] != 0);
  }
}

TEST(CodeLengths, SkewedWeightsStayWithinTheLimit) {
  // Fibonacci weights would need codes as long as the alphabet.
  std::vector<uint32_t> freqs(40);
  freqs[0] = freqs[1] = 1;
  for (size_t i = 2; i < freqs.size(); ++i) freqs[i] = freqs[i - 1] + freqs[i - 2];
  std::vector<uint8_t> lengths(freqs.size());
  BuildCodeLengths(freqs.data(), 40, 15, lengths.data());
  EXPECT_EQ(*std::max_element(lengths.begin(), lengths.end()), 15);
  EXPECT_EQ(KraftScaled(lengths), 1u << 15);
  // Four-bit fields of the bit-length code: limit 15 with 19 symbols.
  std::vector<uint8_t> small(19);
  BuildCodeLengths(freqs.data() + 21, 19, 7, small.data());
  EXPECT_LE(*std::max_element(small.begin(), small.end()), 7);
  EXPECT_EQ(KraftScaled(small), 1u << 15);
}

TEST(CodeLengths, LoneSymbolGetsAPartner) {
  std::vector<uint32_t> freqs(10, 0);
  freqs[7] = 42;
  std::vector<uint8_t> lengths(10);
  BuildCodeLengths(freqs.data(), 10, 15, lengths.data());
  EXPECT_EQ(lengths[7], 1);
  EXPECT_EQ(lengths[0], 1);
  freqs[7] = 0;
  freqs[0] = 3;
  BuildCodeLengths(freqs.data(), 10, 15, lengths.data());
  EXPECT_EQ(lengths[0], 1);
  EXPECT_EQ(lengths[1], 1);
  std::fill(freqs.begin(), freqs.end(), 0);
  BuildCodeLengths(freqs.data(), 10, 15, lengths.data());
  EXPECT_EQ(KraftScaled(lengths), 0u);
}

TEST(CanonicalCodes, ShorterFirstThenBySymbol) {
  const uint8_t lengths[6] = {3, 2, 0, 3, 2, 2};
  uint16_t codes[6];
  BuildCanonicalCodes(lengths, 6, codes);
  EXPECT_EQ(codes[1], 0b00);
  EXPECT_EQ(codes[4], 0b01);
  EXPECT_EQ(codes[5], 0b10);
  EXPECT_EQ(codes[0], 0b110);
  EXPECT_EQ(codes[3], 0b111);
}

}  // namespace
}  // namespace osin

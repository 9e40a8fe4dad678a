#include "table_block.h"

#include <string.h>

#include <algorithm>
#include <vector>

#include "huffman.h"

namespace osin {

namespace {

constexpr int kRunRepeat = 16, kRunZeros = 17, kRunLongZeros = 18;
constexpr uint32_t kNoCode = 1u << 20;

// One step of the coded sequence: a bit-length symbol and its run count.
struct Step {
  uint8_t symbol;
  uint8_t run;  // positions covered
};

struct Plan {
  std::vector<Step> steps;
  uint8_t bitLengths[rar20::kBitLenSymbols] = {};
  uint32_t bits = 0;
};

uint32_t ExtraBits(int symbol) {
  return symbol == kRunRepeat ? 2 : symbol == kRunZeros ? 3 : symbol == kRunLongZeros ? 7 : 0;
}

// Cheapest sequence of steps for Lengths under symbol costs Cost (kNoCode for
// symbols that cannot be used).
std::vector<Step> ShortestSteps(const uint8_t* base, const uint8_t* lengths, int count,
                                const uint32_t* cost) {
  // Runs of zeros and of repeats of the previous length, counted from each
  // position, so every position relaxes its few run choices directly.
  std::vector<int> zeros(count + 1, 0), same(count + 1, 0);
  for (int i = count - 1; i >= 0; --i) {
    zeros[i] = lengths[i] == 0 ? zeros[i + 1] + 1 : 0;
    same[i] = i > 0 && lengths[i] == lengths[i - 1]
                  ? (i + 1 < count && lengths[i + 1] == lengths[i] ? same[i + 1] + 1 : 1)
                  : 0;
  }
  std::vector<uint32_t> best(count + 1, UINT32_MAX);
  std::vector<Step> how(count + 1);
  best[0] = 0;
  for (int i = 0; i < count; ++i) {
    if (best[i] == UINT32_MAX) continue;
    auto relax = [&](int n, uint8_t symbol) {
      if (cost[symbol] >= kNoCode) return;
      uint32_t c = best[i] + cost[symbol] + ExtraBits(symbol);
      if (c < best[i + n]) {
        best[i + n] = c;
        how[i + n] = Step{symbol, static_cast<uint8_t>(n)};
      }
    };
    relax(1, static_cast<uint8_t>((lengths[i] - base[i]) & 15));
    for (int n = 3; n <= std::min(same[i], 6); ++n) relax(n, kRunRepeat);
    int z = std::min(zeros[i], 138);
    for (int n = 3; n <= std::min(z, 10); ++n) relax(n, kRunZeros);
    // Every long run costs the same, so only its shortest lengths (to leave
    // room for what follows) and its longest ones matter.
    for (int n = 11; n <= z; ++n) {
      if (n > 21 && n < z - 10) n = z - 10;
      relax(n, kRunLongZeros);
    }
  }
  std::vector<Step> steps;
  for (int at = count; at > 0; at -= how[at].run) steps.push_back(how[at]);
  return std::vector<Step>(steps.rbegin(), steps.rend());
}

Plan MakePlan(const uint8_t* base, const uint8_t* lengths, int count) {
  // Start from flat costs, then search again with the bit-length code that
  // the first steps give; that search uses only symbols the code has, and
  // the final code is built from its steps. (A third round changed table
  // sizes by a bit or two at most.)
  uint32_t cost[rar20::kBitLenSymbols];
  for (uint32_t& c : cost) c = 4;
  Plan plan;
  for (int round = 0; round < 2; ++round) {
    plan.steps = ShortestSteps(base, lengths, count, cost);
    uint32_t freqs[rar20::kBitLenSymbols] = {};
    for (const Step& s : plan.steps) freqs[s.symbol]++;
    BuildCodeLengths(freqs, rar20::kBitLenSymbols, rar20::kMaxCodeBits, plan.bitLengths);
    for (int s = 0; s < rar20::kBitLenSymbols; ++s)
      cost[s] = plan.bitLengths[s] ? plan.bitLengths[s] : kNoCode;
  }
  plan.bits = 4 * rar20::kBitLenSymbols;
  for (const Step& s : plan.steps) plan.bits += plan.bitLengths[s.symbol] + ExtraBits(s.symbol);
  return plan;
}

// The better of the absolute and the delta form; Delta tells which.
Plan BestPlan(const TableHistory& history, const uint8_t* lengths, int count, bool* delta) {
  static const uint8_t kZeros[rar20::kMaxLengths] = {};
  Plan absolute = MakePlan(kZeros, lengths, count);
  Plan relative = MakePlan(history.prev, lengths, count);
  *delta = relative.bits < absolute.bits;
  return *delta ? relative : absolute;
}

}  // namespace

uint32_t TableBlockBits(const TableHistory& history, bool audio, const uint8_t* lengths, int count) {
  bool delta;
  return BestPlan(history, lengths, count, &delta).bits + (audio ? 4 : 2);
}

void WriteTableBlock(BitWriter& out, TableHistory& history, bool audio, int channels, const uint8_t* lengths,
                     int count) {
  bool delta;
  Plan plan = BestPlan(history, lengths, count, &delta);
  out.Put(audio ? 1 : 0, 1, kBitsTables);
  out.Put(delta ? 1 : 0, 1);
  if (audio) out.Put(static_cast<uint32_t>(channels - 1), 2);
  for (int s = 0; s < rar20::kBitLenSymbols; ++s) out.Put(plan.bitLengths[s], 4);
  uint16_t codes[rar20::kBitLenSymbols];
  BuildCanonicalCodes(plan.bitLengths, rar20::kBitLenSymbols, codes);
  for (const Step& s : plan.steps) {
    out.Put(codes[s.symbol], plan.bitLengths[s.symbol]);
    if (s.symbol == kRunRepeat) out.Put(s.run - 3, 2);
    if (s.symbol == kRunZeros) out.Put(s.run - 3, 3);
    if (s.symbol == kRunLongZeros) out.Put(s.run - 11, 7);
  }
  if (!delta) memset(history.prev, 0, sizeof(history.prev));
  memcpy(history.prev, lengths, count);
}

}  // namespace osin

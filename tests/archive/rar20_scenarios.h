// Packed streams whose right output the reference model knows, one scenario
// per property of the format worth holding the decoder to. The decoder test
// decodes each; the peer test has unar extract the same entries from an
// archive, which checks the model against a decoder nobody here wrote.
#pragma once

#include <string>
#include <vector>

#include "archive/rar20_stream.h"

namespace rar20test {

struct Scenario {
  std::string name;
  std::vector<Entry> entries;  // in archive order; the first is not solid
};

// The names of all scenarios, and one built by name (building takes a while:
// one of them produces more than a megabyte).
// Without WithTrailingSwitch, only those that unar can check: it starts the
// next solid entry with the old tables.
std::vector<std::string> ScenarioNames(bool withTrailingSwitch = true);
Scenario MakeScenario(const std::string& name);

// Deterministic test data.
Bytes RandomBytes(size_t count, uint32_t seed);
Bytes Text(size_t count, uint32_t seed);
// Interleaved channels of slowly varying samples with some noise.
Bytes Waveform(size_t count, int channels, uint32_t seed);

}  // namespace rar20test

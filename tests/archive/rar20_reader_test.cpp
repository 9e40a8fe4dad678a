// The decoder behind the archive reader: the scenario streams wrapped in
// archive entries whose CRC-32 is that of the model's output, extracted,
// passed over and cut short through TArchive.
#include "archive/crc32.h"
#include "archive/rar20_scenarios.h"
#include "archive/unrar.h"
#include "fixture.h"
#include "platform/fault.h"

namespace osin {
namespace {

using rar20test::Bytes;

std::string AsString(const Bytes& b) {
  return std::string(b.begin(), b.end());
}

// The scenario as an archive; entry i is named "e<i>.bin".
std::string ScenarioArchive(const rar20test::Scenario& scenario, size_t cutLastBy = 0) {
  std::vector<RarEntry> entries;
  bool solid = false;
  for (size_t i = 0; i < scenario.entries.size(); ++i) {
    const rar20test::Entry& e = scenario.entries[i];
    RarEntry r;
    r.name = "e" + std::to_string(i) + ".bin";
    r.packed = AsString(e.packed);
    if (i + 1 == scenario.entries.size())
      r.packed.resize(r.packed.size() - std::min(cutLastBy, r.packed.size()));
    r.unpackedSize = uint32_t(e.expected.size());
    r.crc = Crc32(e.expected.data(), e.expected.size());
    r.method = 0x33;
    r.solid = e.solid;
    r.dosTime = kSomeDosTime;
    solid = solid || e.solid;
    entries.push_back(r);
  }
  return Archive(entries, solid);
}

class Rar20ThroughReader : public ScratchTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(Rar20ThroughReader, EveryEntryExtractsWithItsCrc) {
  const rar20test::Scenario scenario = rar20test::MakeScenario(GetParam());
  std::string path = Save(ScenarioArchive(scenario));
  TArchive a(path.c_str(), kOpenExtract);
  ASSERT_TRUE(a.IsOpen());
  for (size_t i = 0; i < scenario.entries.size(); ++i) {
    ASSERT_FALSE(a.Eof);
    fs::path target = dir_ / "out" / ToStd(a.Header.EntryName);
    EXPECT_TRUE(a.Process(aoExtract, target.string().c_str(), nullptr)) << "entry " << i;
    EXPECT_TRUE(ReadBytes(target) == AsString(scenario.entries[i].expected)) << "entry " << i;
  }
  EXPECT_TRUE(a.Eof);
}

// Passing over entries decodes them in test mode, so the last one still
// finds the window, tables and history it was packed against.
TEST_P(Rar20ThroughReader, PassingOverKeepsTheHistoryForTheLastEntry) {
  const rar20test::Scenario scenario = rar20test::MakeScenario(GetParam());
  std::string path = Save(ScenarioArchive(scenario));
  TArchive a(path.c_str(), kOpenExtract);
  ASSERT_TRUE(a.IsOpen());
  for (size_t i = 0; i + 1 < scenario.entries.size(); ++i) EXPECT_TRUE(a.Process(aoSkip, "", nullptr));
  fs::path target = dir_ / "last.bin";
  EXPECT_TRUE(a.Process(aoExtract, target.string().c_str(), nullptr));
  EXPECT_TRUE(ReadBytes(target) == AsString(scenario.entries.back().expected));
}

// A last entry whose packed data are cut short fails its CRC and leaves no
// file; the entries before it are unharmed.
TEST_P(Rar20ThroughReader, TruncatedEntryFailsItsCrc) {
  const rar20test::Scenario scenario = rar20test::MakeScenario(GetParam());
  ASSERT_FALSE(scenario.entries.back().expected.empty());
  std::string path = Save(ScenarioArchive(scenario, scenario.entries.back().packed.size() / 2 + 1));
  TArchive a(path.c_str(), kOpenExtract);
  ASSERT_TRUE(a.IsOpen());
  for (size_t i = 0; i + 1 < scenario.entries.size(); ++i) EXPECT_TRUE(a.Process(aoSkip, "", nullptr));
  fs::path target = dir_ / "cut.bin";
  EXPECT_FALSE(a.Process(aoExtract, target.string().c_str(), nullptr));
  EXPECT_EQ(a.LastResult(), kEntryBadData);
  EXPECT_FALSE(fs::exists(target));
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Rar20ThroughReader, ::testing::ValuesIn(rar20test::ScenarioNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace osin

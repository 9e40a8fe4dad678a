// The reference model against a decoder nobody here wrote: unar extracts
// the scenario streams, wrapped in archives, and must produce the bytes the
// model says. This is what makes the model's word worth taking in the
// decoder's own tests.
#include <stdio.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "archive/crc32.h"
#include "archive/rar20_scenarios.h"
#include "files.h"
#include "pack/rar_writer.h"
#include "testing.h"

namespace fs = std::filesystem;

namespace {

using osin::ReadBytes;
using rar20test::Entry;

class UnarPeer : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("osin-rar20-peer-" + std::to_string(getpid()) + "-" + GetParam());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
};

TEST_P(UnarPeer, ExtractsWhatTheModelSays) {
  const rar20test::Scenario scenario = rar20test::MakeScenario(GetParam());
  ASSERT_FALSE(scenario.entries.empty());

  std::vector<osin::RarEntry> entries;
  bool solid = false;
  for (size_t i = 0; i < scenario.entries.size(); ++i) {
    const Entry& e = scenario.entries[i];
    osin::RarEntry r;
    r.name = "e" + std::to_string(i) + ".bin";
    r.packed.assign(e.packed.begin(), e.packed.end());
    // unar reads a little beyond the end of entries that use the audio mode
    // (also of one that only starts in it); a tail this short is never taken
    // for a table block.
    r.packed.append(3, '\0');
    r.unpackedSize = uint32_t(e.expected.size());
    r.crc = osin::Crc32(e.expected.data(), e.expected.size());
    r.method = 0x33;
    r.solid = e.solid;
    r.dosTime = 0x5A6B7C3Du;
    solid = solid || e.solid;
    entries.push_back(r);
  }
  fs::path archive = dir_ / "s.rar";
  std::ofstream(archive, std::ios::binary) << osin::WriteRarArchive(entries.data(), entries.size(), solid);

  std::string command =
      "unar -q -D -o '" + (dir_ / "out").string() + "' '" + archive.string() + "' >/dev/null 2>&1";
  EXPECT_EQ(system(command.c_str()), 0) << command;
  for (size_t i = 0; i < scenario.entries.size(); ++i) {
    const Entry& e = scenario.entries[i];
    std::string got = ReadBytes(dir_ / "out" / entries[i].name);
    EXPECT_EQ(got.size(), e.expected.size()) << entries[i].name;
    EXPECT_TRUE(got == std::string(e.expected.begin(), e.expected.end())) << entries[i].name;
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, UnarPeer, ::testing::ValuesIn(rar20test::ScenarioNames(false)),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace

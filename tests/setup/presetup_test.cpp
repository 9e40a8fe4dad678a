// The size pass over the control files and the target names they get.
#include <string>
#include <vector>

#include "files.h"
#include "pack/rar_writer.h"
#include "platform/fault.h"
#include "platform/strlist.h"
#include "setup/presetup.h"
#include "setup/session.h"
#include "testing.h"

using namespace osin;

namespace {

// An entry whose header claims Size bytes; the sum never reads the data.
RarEntry Claimed(const std::string& name, uint32_t size) {
  RarEntry e = StoredEntry(name, "x", 0);
  e.unpackedSize = size;
  return e;
}

class SumEntrySizesTest : public ScratchTest {
 protected:
  void UseArchive(const std::vector<RarEntry>& entries) {
    Session().SourceFile = Path("setup.rar");
    ASSERT_TRUE(WriteBytes(Session().SourceFile, WriteRarArchive(entries.data(), entries.size(), false)));
  }
  void TearDown() override {
    TakeFault();
    ScratchTest::TearDown();
  }
};

TEST_F(SumEntrySizesTest, CountsLeadingControlFilesOnly) {
  UseArchive({Claimed("Presetup\\Osin.ini", 100), Claimed("PRESETUP\\Enu.lng", 20),
              Claimed("Presetup\\Sub\\a.bmp", 3), Claimed("Data\\app.exe", 1000),
              Claimed("Presetup\\late.txt", 7)});
  EXPECT_EQ(SumEntrySizes("Presetup\\*", nullptr, nullptr, true), 123);
  // Without the stop the later control file counts too.
  EXPECT_EQ(SumEntrySizes("Presetup\\*", nullptr, nullptr, false), 130);
  EXPECT_EQ(SumEntrySizes("*", nullptr, nullptr, false), 1130);
  EXPECT_FALSE(FaultPending());
}

TEST_F(SumEntrySizesTest, AnArchiveThatBeginsWithOtherEntriesNeedsNothing) {
  UseArchive({Claimed("Data\\app.exe", 1000), Claimed("Presetup\\Osin.ini", 100)});
  EXPECT_EQ(SumEntrySizes("Presetup\\*", nullptr, nullptr, true), 0);
}

TEST_F(SumEntrySizesTest, SumsBeyondTwoGigabytesDoNotWrap) {
  std::vector<RarEntry> entries;
  for (int i = 0; i < 3; ++i) entries.push_back(Claimed("Presetup\\part" + std::to_string(i), 0xFFFFFFF0u));
  UseArchive(entries);
  EXPECT_EQ(SumEntrySizes("Presetup\\*", nullptr, nullptr, true), 3 * int64_t{0xFFFFFFF0u});
}

bool OnlyListed(void* context, const String& name) {
  return static_cast<StringList*>(context)->IndexOf(name) >= 0;
}

TEST_F(SumEntrySizesTest, AFilterPicksTheEntriesThatCount) {
  UseArchive({Claimed("Data\\a.exe", 1), Claimed("Data\\b.dll", 10), Claimed("Data\\c.txt", 100)});
  StringList wanted;
  wanted.Add("data\\B.DLL");
  wanted.Add("Data\\c.txt");
  EXPECT_EQ(SumEntrySizes("Data\\*", OnlyListed, &wanted, false), 110);
}

TEST_F(SumEntrySizesTest, AMissingArchiveRaisesTheRunEndingFault) {
  Session().SourceFile = Path("no-such-setup.exe");
  EXPECT_EQ(SumEntrySizes("Presetup\\*", nullptr, nullptr, true), 0);
  EXPECT_TRUE(FaultPending());
  EXPECT_EQ(TakeFault(), "Cannot open archive!");
}

TEST(RequiredKB, RoundsHalvesToEven) {
  EXPECT_EQ(RequiredKB(0), 0);
  EXPECT_EQ(RequiredKB(511), 0);
  EXPECT_EQ(RequiredKB(512), 0);  // half, 0 is even
  EXPECT_EQ(RequiredKB(513), 1);
  EXPECT_EQ(RequiredKB(1024 + 512), 2);  // half, 2 is even
  EXPECT_EQ(RequiredKB(2048 + 512), 2);
  EXPECT_EQ(RequiredKB(3 * 1024 + 512), 4);
  EXPECT_EQ(RequiredKB(int64_t{5} << 40), int64_t{5} << 30);
}

TEST(PresetupTarget, DropsThePrefixAndKeepsSubfolders) {
  EXPECT_EQ(PresetupTarget("C:\\T\\AB\\", "Presetup\\Osin.ini"), "C:\\T\\AB\\Osin.ini");
  EXPECT_EQ(PresetupTarget("C:\\T\\AB\\", "PRESETUP\\App.ins"), "C:\\T\\AB\\App.ins");
  EXPECT_EQ(PresetupTarget("C:\\T\\AB\\", "Presetup\\Sub\\x.txt"), "C:\\T\\AB\\Sub\\x.txt");
  EXPECT_EQ(PresetupTarget("C:\\T\\AB\\", "Presetup\\a..b.txt"), "C:\\T\\AB\\a..b.txt");
}

TEST(PresetupTarget, RefusesNamesThatLeaveTheFolder) {
  EXPECT_EQ(PresetupTarget("C:\\T\\AB\\", "Presetup\\..\\..\\x.dll"), "");
  EXPECT_EQ(PresetupTarget("C:\\T\\AB\\", "Presetup\\Sub\\..\\..\\x.dll"), "");
  EXPECT_EQ(PresetupTarget("C:\\T\\AB\\", "Presetup\\.."), "");
  EXPECT_EQ(PresetupTarget("C:\\T\\AB\\", "Presetup\\\\x.dll"), "");
  EXPECT_EQ(PresetupTarget("C:\\T\\AB\\", "Presetup\\C:x.dll"), "");
  EXPECT_EQ(PresetupTarget("C:\\T\\AB\\", "Presetup\\"), "");
}

}  // namespace

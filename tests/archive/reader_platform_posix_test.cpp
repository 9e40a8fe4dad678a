// What extraction does to the file system natively: times and the
// read-only attribute as POSIX permissions.
#include <sys/stat.h>
#include <time.h>

#include "archive/unrar.h"
#include "fixture.h"

namespace osin {
namespace {

class ExtractPosix : public ScratchTest {};

TEST_F(ExtractPosix, ModificationTimeIsTheEntrysLocalDosTime) {
  TArchive a(Save(Archive({StoredEntry("t.txt", "time", kSomeDosTime)})).c_str(), kOpenExtract);
  std::string out = (dir_ / "t.txt").string();
  ASSERT_TRUE(a.Process(aoExtract, out.c_str(), nullptr));
  struct tm t = {};
  t.tm_year = 121;
  t.tm_mon = 5;
  t.tm_mday = 15;
  t.tm_hour = 13;
  t.tm_min = 45;
  t.tm_sec = 30;
  t.tm_isdst = -1;
  struct stat st;
  ASSERT_EQ(stat(out.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, mktime(&t));
}

TEST_F(ExtractPosix, ReadOnlyAttributeClearsWritePermission) {
  TArchive a(
      Save(Archive({StoredEntry("ro.txt", "r", 0, 0x21), StoredEntry("rw.txt", "w", 0, 0x20)})).c_str(),
      kOpenExtract);
  std::string ro = (dir_ / "ro.txt").string(), rw = (dir_ / "rw.txt").string();
  ASSERT_TRUE(a.Process(aoExtract, ro.c_str(), nullptr));
  ASSERT_TRUE(a.Process(aoExtract, rw.c_str(), nullptr));
  struct stat st;
  ASSERT_EQ(stat(ro.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);
  ASSERT_EQ(stat(rw.c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IWUSR, 0u);
}

}  // namespace
}  // namespace osin

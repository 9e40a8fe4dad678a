// Copying with progress on real files, natively and under Wine.
#include <stdint.h>

#include <string>
#include <vector>

#include "files.h"
#include "platform/file.h"
#include "testing.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace osin;

namespace {

struct Call {
  int64_t written, size, copied;
};

// Records every call; says stop at call number StopAt (1-based, 0 never).
struct Recorder {
  std::vector<Call> calls;
  size_t stopAt = 0;
  String source, target;

  static bool Progress(void* context, const String& source, const String& target, int64_t written,
                       int64_t size, int64_t copied) {
    auto* self = static_cast<Recorder*>(context);
    self->calls.push_back({written, size, copied});
    self->source = source;
    self->target = target;
    return self->calls.size() != self->stopAt;
  }
};

using Copy = ScratchTest;

const int kChunk = 0x20000;

TEST_F(Copy, ContentsProgressTimeAndAttributes) {
  std::string data = Pattern(2 * kChunk + 1234);
  ASSERT_TRUE(WriteBytes(Path("src.bin"), data));
#ifdef _WIN32
  // A fixed time long ago, and attributes the copy must carry over.
  FileHandle h = OpenFileHandle(Path("src.bin"), kFileWrite, kShareRead, kAttrNormal, kOpenExisting);
  FILETIME old = {0x2A3B4C00u, 0x01C00000u};
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &old));
  CloseFileHandle(h);
  ASSERT_TRUE(SetFileAttributesA(Path("src.bin").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
#else
  ASSERT_EQ(chmod(Path("src.bin").c_str(), 0640), 0);
#endif
  Recorder rec;
  EXPECT_TRUE(CopyFileWithProgress(Path("src.bin"), Path("dst.bin"), Recorder::Progress, &rec, false));
  EXPECT_EQ(ReadBytes(Path("dst.bin")), data);
  ASSERT_EQ(rec.calls.size(), 3u);
  EXPECT_EQ(rec.calls[0].written, kChunk);
  EXPECT_EQ(rec.calls[2].written, 1234);
  EXPECT_EQ(rec.calls[2].copied, static_cast<int64_t>(data.size()));
  for (const Call& c : rec.calls) EXPECT_EQ(c.size, static_cast<int64_t>(data.size()));
  EXPECT_EQ(rec.source, Path("src.bin"));
  EXPECT_EQ(rec.target, Path("dst.bin"));
#ifdef _WIN32
  EXPECT_EQ(GetFileAttributesA(Path("dst.bin").c_str()), GetFileAttributesA(Path("src.bin").c_str()));
  FileHandle d = OpenFileHandle(Path("dst.bin"), kFileRead, kShareRead, kAttrNormal, kOpenExisting);
  FILETIME written;
  ASSERT_TRUE(GetFileTime(d, nullptr, nullptr, &written));
  CloseFileHandle(d);
  EXPECT_EQ(CompareFileTime(&written, &old), 0);
#else
  struct stat s, t;
  ASSERT_EQ(stat(Path("src.bin").c_str(), &s), 0);
  ASSERT_EQ(stat(Path("dst.bin").c_str(), &t), 0);
  EXPECT_EQ(t.st_mode & 07777, 0640u);
  EXPECT_EQ(t.st_mtim.tv_sec, s.st_mtim.tv_sec);
#endif
}

TEST_F(Copy, ReplacesAnExistingTargetAndCopiesEmptyFiles) {
  ASSERT_TRUE(WriteBytes(Path("dst"), "old contents, longer than the new"));
  ASSERT_TRUE(WriteBytes(Path("src"), "new"));
  EXPECT_TRUE(CopyFileWithProgress(Path("src"), Path("dst"), nullptr, nullptr, false));
  EXPECT_EQ(ReadBytes(Path("dst")), "new");
  ASSERT_TRUE(WriteBytes(Path("empty"), ""));
  Recorder rec;
  EXPECT_TRUE(CopyFileWithProgress(Path("empty"), Path("dst"), Recorder::Progress, &rec, false));
  EXPECT_EQ(ReadBytes(Path("dst")), "");
  EXPECT_TRUE(rec.calls.empty());
}

TEST_F(Copy, AppendsAtTheEnd) {
  ASSERT_TRUE(WriteBytes(Path("dst"), "head-"));
  ASSERT_TRUE(WriteBytes(Path("src"), "tail"));
  EXPECT_TRUE(CopyFileWithProgress(Path("src"), Path("dst"), nullptr, nullptr, true));
  EXPECT_EQ(ReadBytes(Path("dst")), "head-tail");
  EXPECT_TRUE(CopyFileWithProgress(Path("src"), Path("new"), nullptr, nullptr, true));
  EXPECT_EQ(ReadBytes(Path("new")), "tail");
}

TEST_F(Copy, AbortLeavesNoPartialTarget) {
  ASSERT_TRUE(WriteBytes(Path("src"), Pattern(3 * kChunk)));
  Recorder rec;
  rec.stopAt = 2;
  EXPECT_FALSE(CopyFileWithProgress(Path("src"), Path("dst"), Recorder::Progress, &rec, false));
  EXPECT_EQ(rec.calls.size(), 2u);
  EXPECT_FALSE(EntryExists(Path("dst")));
}

TEST_F(Copy, AbortedAppendIsCutBackToItsOldLength) {
  std::string head = Pattern(1000);
  ASSERT_TRUE(WriteBytes(Path("dst"), head));
  ASSERT_TRUE(WriteBytes(Path("src"), Pattern(3 * kChunk)));
  Recorder rec;
  rec.stopAt = 1;
  EXPECT_FALSE(CopyFileWithProgress(Path("src"), Path("dst"), Recorder::Progress, &rec, true));
  EXPECT_EQ(ReadBytes(Path("dst")), head);
  // An appended copy that created its target removes it again.
  rec.calls.clear();
  EXPECT_FALSE(CopyFileWithProgress(Path("src"), Path("fresh"), Recorder::Progress, &rec, true));
  EXPECT_FALSE(EntryExists(Path("fresh")));
}

TEST_F(Copy, MissingSourceOrUnwritableTargetFail) {
  EXPECT_FALSE(CopyFileWithProgress(Path("none"), Path("dst"), nullptr, nullptr, false));
  EXPECT_FALSE(EntryExists(Path("dst")));
  ASSERT_TRUE(WriteBytes(Path("src"), "x"));
  EXPECT_FALSE(CopyFileWithProgress(Path("src"), Join(Path("no-folder"), "dst"), nullptr, nullptr, false));
  EXPECT_EQ(ReadBytes(Path("src")), "x");
  // A folder is no source.
  ASSERT_TRUE(ForceFolders(Path("folder")));
  EXPECT_FALSE(CopyFileWithProgress(Path("folder"), Path("dst"), nullptr, nullptr, false));
  EXPECT_FALSE(EntryExists(Path("dst")));
}

TEST_F(Copy, SourcesOfFourGigabytesAndMoreKeepTheirSize) {
  // With the size cut to 32 bits this source would read as one byte long
  // and be "copied" as one byte.
  const int64_t kBig = (int64_t{1} << 32) + 1;
  ASSERT_TRUE(MakeSparse(Path("big"), kBig));
  Recorder rec;
  rec.stopAt = 1;
  EXPECT_FALSE(CopyFileWithProgress(Path("big"), Path("dst"), Recorder::Progress, &rec, false));
  ASSERT_EQ(rec.calls.size(), 1u);
  EXPECT_EQ(rec.calls[0].size, kBig);
  EXPECT_EQ(rec.calls[0].written, kChunk);
  EXPECT_FALSE(EntryExists(Path("dst")));
}

// A kernel attribute file claims 4,096 bytes but holds a few dozen: the
// copy sees its source end before the noted size.
String ShortSource() {
  const char* const kCandidates[] = {"/sys/kernel/mm/transparent_hugepage/enabled",
                                     "/sys/kernel/mm/transparent_hugepage/defrag", "/sys/power/state"};
  for (const char* unixPath : kCandidates) {
#ifdef _WIN32
    String path = String("Z:") + unixPath;
    for (int i = 0; i < path.Length(); ++i)
      if (path[i] == '/') path[i] = '\\';
#else
    String path = unixPath;
#endif
    int64_t size = FileSizeOf(path);
    std::string bytes = ReadBytes(path);
    if (size > 0 && !bytes.empty() && static_cast<int64_t>(bytes.size()) < size) return path;
  }
  return String();
}

TEST_F(Copy, SourceThatEndsEarlyFailsAndStops) {
  String source = ShortSource();
  if (source.IsEmpty()) GTEST_SKIP() << "no file here whose size exceeds its contents";
  Recorder rec;
  EXPECT_FALSE(CopyFileWithProgress(source, Path("dst"), Recorder::Progress, &rec, false));
  // One piece came through before the end; then the copy gave up.
  EXPECT_EQ(rec.calls.size(), 1u);
  EXPECT_FALSE(EntryExists(Path("dst")));
}

}  // namespace

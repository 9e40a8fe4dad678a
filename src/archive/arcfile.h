// The archive reader's own file access: one archive open for reading, one
// output file open for writing, and the few path operations extraction
// needs. Win32 (arcfile_win32.cpp) and POSIX (arcfile_posix.cpp, for
// osin-pack and the native tests) behind one interface.
//
// Paths are byte strings: ANSI on Windows, passed on unchanged elsewhere.
// Every call reports failure by its result; nothing is left open on a
// failed open or create.
#pragma once

#include <stdint.h>

#include "platform/str.h"

namespace osin {

class ArcFile {
 public:
  ArcFile() = default;
  ~ArcFile() { Close(); }
  ArcFile(const ArcFile&) = delete;
  ArcFile& operator=(const ArcFile&) = delete;

  // For reading, others may read too.
  bool OpenRead(const char* path);
  // A new empty file for writing (replacing one that exists), not shared.
  bool Create(const char* path);
  void Close();
  bool IsOpen() const { return handle_ != kNoHandle; }

  // Bytes read, fewer at the end of the file, 0 at the end or on an error.
  int Read(void* buffer, int count);
  // False unless all Count bytes were written.
  bool Write(const void* data, int count);
  bool Seek(int64_t position);
  int64_t Position() const { return position_; }
  int64_t Size();
  // Last-write time from an MS-DOS date (high 16 bits) and time (low 16
  // bits) taken as local time.
  bool SetDosTime(uint32_t dosTime);

 private:
  static constexpr intptr_t kNoHandle = -1;
  intptr_t handle_ = kNoHandle;
  int64_t position_ = 0;
};

// The separator of paths on this system ('\' on Windows, '/' elsewhere).
extern const char kArcPathDelimiter;

// Creates one directory; false when it could not be made (it may exist).
bool ArcMakeDirectory(const char* path);
// Windows file attributes (read-only, hidden, system, archive...). On POSIX
// only read-only is meaningful: it clears or sets the write permissions.
bool ArcSetAttributes(const char* path, uint32_t attributes);
bool ArcDeleteFile(const char* path);
// The running program's own file.
String ArcModulePath();

}  // namespace osin

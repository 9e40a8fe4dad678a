// File search filtered by attributes (Windows only).
//
// A search walks the entries matching a pattern (a path with wildcards) and
// stops only at those whose attributes share a bit with IncludeAttr and
// none with ExcludeAttr; "." and ".." are never reported. IncludeAttr 0,
// and any mask holding every classic attribute (0x3F), takes every entry
// (SearchIncludeMask).
//
//   TSearchRecEx rec;
//   for (uint32_t r = SearchFirst(path + "\\*.*", kAttrDirectory, 0, rec); r == 0; r = SearchNext(rec))
//     Use(rec.Name);
//   SearchClose(rec);
//
// The record owns its search handle and closes it when it is destroyed,
// so an early way out leaks nothing.
#pragma once

#include <stdint.h>
#include <windows.h>

#include "platform/str.h"

namespace osin {

struct TSearchRecEx {
  TSearchRecEx() = default;
  TSearchRecEx(const TSearchRecEx&) = delete;
  TSearchRecEx& operator=(const TSearchRecEx&) = delete;
  ~TSearchRecEx();

  // Last-write time in local time, as an MS-DOS date (high 16 bits) and
  // time (low 16 bits).
  uint32_t Time = 0;
  int64_t Size = 0;
  uint32_t Attr = 0;
  // The entry's name without its folder.
  String Name;
  uint32_t IncludeAttr = 0;
  uint32_t ExcludeAttr = 0;
  HANDLE FindHandle = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAA FindData = {};
};

// The mask an entry's attributes must share a bit with. "Every classic
// attribute" means every entry: a file whose only marks are newer ones
// ("not indexed", "temporary", "offline", with the archive bit cleared by a
// backup) has none of 0x3F, nor the 0x80 Windows reports for a file
// without marks, and a copy of all the files in a folder would miss it.
inline uint32_t SearchIncludeMask(uint32_t includeAttr) {
  const uint32_t kClassicAttributes = 0x3F;
  return (includeAttr & kClassicAttributes) == kClassicAttributes || includeAttr == 0 ? 0xFFFFFFFF
                                                                                      : includeAttr;
}

// Starts a search: 0 with the first matching entry in Rec, else a Windows
// error code (2 or 3 when nothing matches the pattern or its folder is
// missing, 18 when entries exist but none matches the masks); the search is
// then closed. A search still open in Rec is closed first.
uint32_t SearchFirst(const String& pattern, uint32_t includeAttr, uint32_t excludeAttr, TSearchRecEx& rec);
// The next matching entry: 0, or a Windows error code (18 after the last).
uint32_t SearchNext(TSearchRecEx& rec);
// Closes the search when it is open.
void SearchClose(TSearchRecEx& rec);

// The error code SearchNext gives after the last entry.
const uint32_t kNoMoreFiles = 18;

}  // namespace osin

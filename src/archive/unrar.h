// TArchive: one forward pass over a RAR archive, the only archive interface
// the rest of the program uses.
//
// Calling order: construct (the archive is opened and the first entry's
// header read at once); SetPassword when entries may be enciphered; then
// while !Eof: look at Header, call Process with aoExtract and a target path,
// or with aoSkip; stop at the first false or when the names are no longer
// wanted; destroy. Archive order matters to callers: every "Presetup\"
// entry comes before any other, so a pass that wants only them stops at the
// first other name.
//
// A constructor that cannot open the archive (no file, no archive in the
// search window, the older format, no memory for the decoder) raises the
// fault "Cannot open archive!" (platform/fault.h) and leaves Eof true; the
// program entry shows it after the clean-up.
#pragma once

#include <stdint.h>

#include "archive/unpack.h"
#include "platform/str.h"

namespace osin {

// The operations (aoExtract, aoSkip, aoTest), the header (TArcFileHeader,
// with every field in TRARHeader) and the progress callback (TArcProgress)
// are the reader's own (archive/unpack.h).
class TArchive {
 public:
  // The running program's own file; Mode kOpenList or kOpenExtract.
  explicit TArchive(int mode);
  // A named file (osin-pack, tests).
  TArchive(const String& fileName, int mode);
  virtual ~TArchive();
  TArchive(const TArchive&) = delete;
  TArchive& operator=(const TArchive&) = delete;

  bool IsOpen() const { return Handle.IsOpen(); }
  void SetPassword(const String& password) { Password = password; }

  // Processes the current entry. aoExtract writes it to DestName (a full
  // path), or, when DestName is empty, to the entry's own name below the
  // current directory. True when the reader reports kEntryOk; then the pass
  // moves on to the next entry. On false it stays on the failed entry, and
  // LastResult() tells why (an EntryResult).
  bool Process(TArchiveOperation operation, const String& destName, TArcProgress* callback);
  int LastResult() const { return lastResult_; }

  // Moves to the next entry. Process does this after success; callers that
  // go on past a failed entry call it themselves.
  void ReadNext();

  RarReader Handle;
  // The current entry; its TArcFileHeader part is what most callers read,
  // the rest (method, flags, CRC...) serves listings.
  TRARHeader Header;
  bool Eof;
  String Password;

 private:
  void Open(const String& fileName, int mode);

  int lastResult_ = kEntryOk;
};

}  // namespace osin

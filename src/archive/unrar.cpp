#include "archive/unrar.h"

#include "platform/fault.h"

namespace osin {

TArchive::TArchive(int mode) : Header(), Eof(true) {
  Open(ProgramFile(), mode);
}

TArchive::TArchive(const String& fileName, int mode) : Header(), Eof(true) {
  Open(fileName, mode);
}

TArchive::~TArchive() {
  Handle.CloseArchiveFile();
}

void TArchive::Open(const String& fileName, int mode) {
  if (fileName.IsEmpty() || !Handle.OpenArchiveFile(fileName.c_str(), mode)) {
    RaiseFault("Cannot open archive!");
    return;
  }
  ReadNext();
}

void TArchive::ReadNext() {
  Eof = Handle.ReadNextFileHeader(Header) != 0;
  // The entries after the cut would be missing without a word.
  if (Eof && Handle.EndedCutShort())
    RaiseFault("The archive is cut short: the file is incomplete or damaged.");
}

bool TArchive::Process(TArchiveOperation operation, const String& destName, TArcProgress* callback) {
  if (Eof) return false;
  lastResult_ = Handle.ProcessEntry(operation, nullptr, destName.c_str(), Password.c_str(), callback);
  if (lastResult_ != kEntryOk) return false;
  ReadNext();
  return true;
}

}  // namespace osin

#include "archive/unrar.h"

#include "platform/fault.h"

namespace osin {

TArchive::TArchive(int mode) : Header(), Eof(true), entry_() {
  Open(ArcModulePath(), mode);
}

TArchive::TArchive(const String& fileName, int mode) : Header(), Eof(true), entry_() {
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
  if (Handle.ReadNextFileHeader(entry_) != 0) {
    Eof = true;
    return;
  }
  Eof = false;
  Header.EntryName = entry_.EntryName;
  Header.PackedSize = entry_.PackedSize;
  Header.UnpackedSize = entry_.UnpackedSize;
  Header.ModTime = entry_.ModTime;
  Header.Attributes = entry_.Attributes;
}

bool TArchive::Process(TArchiveOperation operation, const String& destName, TArcProgress* callback) {
  if (Eof) return false;
  int op = operation == aoExtract ? kOpExtract : operation == aoTest ? kOpTest : kOpSkip;
  callback_ = callback;
  lastResult_ =
      Handle.ProcessEntry(op, nullptr, destName.c_str(), Password.c_str(), callback ? this : nullptr);
  callback_ = nullptr;
  if (lastResult_ != kEntryOk) return false;
  ReadNext();
  return true;
}

bool TArchive::OnProgress(const String& entryName, uint32_t count, bool writing) {
  return !callback_ || callback_->OnProgress(entryName, count, !writing);
}

}  // namespace osin

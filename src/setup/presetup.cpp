#include "setup/presetup.h"

#include "archive/unrar.h"
#include "platform/fault.h"
#include "platform/strutils.h"
#include "setup/session.h"
#include "ui/msgbox.h"

namespace osin {

const char kNoSpaceText[] = "Insufficient free disk space!";

int64_t SumEntrySizes(const String& pattern, EntryFilter filter, void* context, bool stopAtFirstMismatch) {
  TArchive archive(Session().SourceFile, kOpenList);
  if (FaultPending()) return 0;
  archive.SetPassword(Session().ArchivePassword);
  int64_t sum = 0;
  while (!archive.Eof) {
    const TArcFileHeader& header = archive.Header;
    if (MatchMask(header.EntryName, pattern, true)) {
      if (!filter || filter(context, header.EntryName)) sum += header.UnpackedSize;
    } else if (stopAtFirstMismatch) {
      break;
    }
    if (!archive.Process(aoSkip, kNoText, nullptr)) {
      ErrorBox("File extracting error!");
      break;
    }
  }
  return sum;
}

String PresetupTarget(const String& folder, const String& entryName) {
  String rest = entryName.Copy(10, entryName.Length());
  if (rest.IsEmpty() || rest[0] == '\\' || rest.Pos(':')) return String();
  const CharSet separators("\\/");
  int parts = CountWords(rest, separators);
  for (int i = 1; i <= parts; ++i) {
    if (GetWord(i, rest, separators) == "..") return String();
  }
  return folder + rest;
}

}  // namespace osin

// The INI parser on arbitrary bytes. The first byte chooses the five parse
// options. Beyond not crashing, what a store holds obeys the rules it was
// loaded with: no line ends inside a line, section names are unique without
// regard to case, and each option leaves no line it should have removed or
// changed. The text written back loads again. (Its lines need not come back
// the same: the rules strip one pair of quotes per load, and a line such as
// "[a=b] " is a key before trimming but a header once written.)
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "config/inifile.h"
#include "platform/text.h"

using namespace osin;

namespace {

struct Bytes {
  const char* data;
  int size;
  int at;
};

int ReadBytes(void* context, char* buffer, int size) {
  Bytes& b = *static_cast<Bytes*>(context);
  // Small, varying pieces so that line ends fall on every boundary.
  int n = b.size - b.at;
  int piece = 1 + (b.at % 7);
  if (n > piece) n = piece;
  if (n > size) n = size;
  memcpy(buffer, b.data + b.at, n);
  b.at += n;
  return n;
}

void Check(bool condition) {
  if (!condition) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 1 << 16) return 0;
  TIniParseOptions options;
  options.SkipComments = data[0] & 1;
  options.KeysOnly = data[0] & 2;
  options.TrimEquals = data[0] & 4;
  options.StripQuotes = data[0] & 8;
  options.TrimRight = data[0] & 16;

  TztIniFile first(String(), false, options);
  Bytes input{reinterpret_cast<const char*>(data + 1), static_cast<int>(size - 1), 0};
  Check(first.Load(ReadBytes, &input));

  StringList written;
  first.GetStrings(written);
  String text = written.Text();
  TztIniFile second(String(), false, options);
  Bytes again{text.c_str(), text.Length(), 0};
  Check(second.Load(ReadBytes, &again));

  const TSectionList& sections = first.Sections();
  for (int i = 0; i < sections.Count(); ++i) {
    for (int j = i + 1; j < sections.Count(); ++j) Check(!SameText(sections[i], sections[j]));
    const StringList& lines = *sections.SectionAt(i);
    for (int k = 0; k < lines.Count(); ++k) {
      const String& line = lines[k];
      Check(!line.Pos('\r') && !line.Pos('\n'));
      if (options.KeysOnly) Check(line.Pos('=') > 0);
      if (options.SkipComments) Check(line.IsEmpty() || line[0] != ';');
      // Quotes come off after trimming, so a quoted value may end in a blank.
      if (options.TrimRight && !options.StripQuotes) {
        Check(line.IsEmpty() || static_cast<unsigned char>(line.Last()) > 32);
      }
      int eq = line.Pos('=');
      if (options.TrimEquals && eq > 1) {
        Check(line[eq - 2] != ' ' && line[eq - 2] != '\t');
        Check(eq == line.Length() || (line[eq] != ' ' && line[eq] != '\t') || options.StripQuotes);
      }
      // Reading every key answers without trouble.
      first.ReadString(sections[i], lines.Name(k), String());
    }
  }
  return 0;
}

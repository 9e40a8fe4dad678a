#include "ui/runprogram.h"

#include "platform/strutils.h"

namespace osin {

TRunSpec ParseRunSpec(const String& spec) {
  const CharSet comma(",");
  TRunSpec run;
  run.Program = UnquoteIf(GetField(1, spec, comma), '"');
  run.Parameters = GetField(2, spec, comma);
  run.Directory = GetField(3, spec, comma);
  // SW_HIDE, SW_SHOW, SW_SHOWMAXIMIZED, SW_SHOWMINIMIZED.
  static const int kShow[] = {0, 5, 3, 2};
  int show = StrToIntDef(GetField(4, spec, comma), 1);
  run.Show = show >= 0 && show <= 3 ? kShow[show] : 5;
  run.Message = UnquoteIf(GetField(5, spec, comma), '"');
  return run;
}

}  // namespace osin

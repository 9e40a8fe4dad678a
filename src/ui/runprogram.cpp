#include "ui/runprogram.h"

#include "platform/strutils.h"

namespace osin {

TRunSpec ParseRunSpec(const String& spec) {
  TRunSpec run;
  run.Program = UnquoteIf(GetField(1, spec, kCommaSet), '"');
  run.Parameters = GetField(2, spec, kCommaSet);
  run.Directory = GetField(3, spec, kCommaSet);
  // SW_HIDE, SW_SHOW, SW_SHOWMAXIMIZED, SW_SHOWMINIMIZED.
  static const int kShow[] = {0, 5, 3, 2};
  int show = StrToIntDef(GetField(4, spec, kCommaSet), 1);
  run.Show = show >= 0 && show <= 3 ? kShow[show] : 5;
  run.Message = UnquoteIf(GetField(5, spec, kCommaSet), '"');
  return run;
}

}  // namespace osin

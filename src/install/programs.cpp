#include "install/programs.h"

#include "platform/strutils.h"

namespace osin {

namespace {

ProgramRunner runner = nullptr;

}  // namespace

void SetProgramRunner(ProgramRunner run) {
  runner = run;
}

String JoinRunSpec(const TPendingEntry& program) {
  String spec;
  for (int n = 1; n <= 5; ++n) {
    String field = program.Field(n);
    if (field.Pos(',') || field.Pos('\'') || field.Pos('"')) field = QuoteApostrophes(field);
    if (n > 1) spec += ",";
    spec += field;
  }
  return spec;
}

bool RunPrograms(const TPendingList& programs, HWND__* owner) {
  for (int i = 0; i < programs.Count() && runner; ++i) {
    runner(JoinRunSpec(programs[i]), programs[i].NumberField(6, 1) != 0, owner);
  }
  return true;
}

}  // namespace osin

#include "platform/runlog.h"

#include "platform/file.h"

namespace osin {

namespace {

const int kBlock = 16384;

struct RunLogState {
  FileHandle file = InvalidFileHandle();
  String pending;
};

RunLogState& State() {
  static RunLogState state;
  return state;
}

void WritePending(RunLogState& state) {
  FileWrite(state.file, state.pending.Data(), state.pending.Length());
  state.pending.Clear();
}

}  // namespace

bool OpenRunLog(const String& path) {
  RunLogState& state = State();
  CloseRunLog();
  state.file = OpenFileHandle(path, kFileWrite, kShareRead, kAttrNormal, kCreateAlways);
  return IsOpenFile(state.file);
}

void RunLog(const char* text, const String& more) {
  RunLogState& state = State();
  if (!IsOpenFile(state.file)) return;
  state.pending += text;
  // One line per event: the line breaks of a box's text become a blank.
  for (int i = 0; i < more.Length(); ++i) {
    bool linebreak = more[i] == '\r' || more[i] == '\n';
    if (!linebreak)
      state.pending += more[i];
    else if (i == 0 || (more[i - 1] != '\r' && more[i - 1] != '\n'))
      state.pending += ' ';
  }
  state.pending += "\r\n";
  if (state.pending.Length() >= kBlock) WritePending(state);
}

void CloseRunLog() {
  RunLogState& state = State();
  if (!IsOpenFile(state.file)) return;
  WritePending(state);
  CloseFileHandle(state.file);
}

int EndRunLog(int code) {
  RunLog("Exit code ", IntToStr(code));
  CloseRunLog();
  return code;
}

}  // namespace osin

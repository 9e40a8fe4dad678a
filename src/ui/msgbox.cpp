#include "ui/msgbox.h"

#include "ui/msgbox_internal.h"

namespace osin {

namespace {

struct BoxState {
  String caption;
  uint32_t extraFlags = 0;
  BoxHook hook = nullptr;
  void* hookContext = nullptr;
  void (*log)(const char* kind, const String& text) = nullptr;
  bool suppress = false;
};

BoxState& State() {
  static BoxState state;
  return state;
}

int ShowKind(const char* word, const String& text, uint32_t flags) {
  const BoxState& state = State();
  String caption = state.caption.IsEmpty() ? String(word) : state.caption;
  return ShowBox(nullptr, caption, text, flags | kBoxTaskModal | state.extraFlags);
}

}  // namespace

void ErrorBox(const String& text) {
  ShowKind("Error", text, kBoxIconError | kBoxOk);
}

void ErrorBox(const char* text) {
  ErrorBox(String(text));
}

void ErrorBox(const String& text, const char* fallback) {
  ShowKind("Error", text.IsEmpty() ? String(fallback) : text, kBoxIconError | kBoxOk | kBoxLanguageText);
}

void WarningBox(const String& text) {
  ShowKind("Warning", text, kBoxIconWarning | kBoxOk | kBoxLanguageText);
}

int QuestionBox(const String& text) {
  return ShowKind("Question", text, kBoxIconQuestion | kBoxYesNo | kBoxLanguageText);
}

String ReportRunaway(const Expanded& expansion) {
  if (expansion.Runaway) ErrorBox(RunawayMessage(expansion.Text));
  return expansion.Text;
}

String ExpandReported(const String& s, const StringList& variables) {
  return ReportRunaway(ExpandString(s, variables));
}

int ShowBox(HWND__* owner, const String& caption, const String& text, uint32_t flags) {
  const BoxState& state = State();
  bool language = flags & kBoxLanguageText;
  flags &= ~kBoxLanguageText;
  // The kind of box, not its caption (the program's name by then), tells
  // the log's reader what happened.
  static const char* const kKinds[] = {"Box: ", "Error: ", "Question: ", "Warning: "};
  if (state.log) state.log(kKinds[(flags >> 4) & 3], text);
  if (state.hook) return state.hook(state.hookContext, caption, text, flags);
  if (state.suppress) return (flags & kBoxYesNo) ? kBoxResultYes : kBoxResultOk;
  return ShowSystemBox(owner, caption, text, flags, language);
}

void SetMessageCaption(const String& caption) {
  State().caption = caption;
}

void SetExtraBoxFlags(uint32_t flags) {
  State().extraFlags = flags;
}

void SetUnattendedBoxes(void (*log)(const char* kind, const String& text), bool suppress) {
  State().log = log;
  State().suppress = suppress;
}

bool BoxesSuppressed() {
  return State().suppress;
}

void SetBoxHook(BoxHook hook, void* context) {
  State().hook = hook;
  State().hookContext = context;
}

}  // namespace osin

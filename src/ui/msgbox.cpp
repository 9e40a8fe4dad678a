#include "ui/msgbox.h"

#include "ui/msgbox_internal.h"

namespace osin {

namespace {

struct BoxState {
  String caption;
  uint32_t extraFlags = 0;
  BoxHook hook = nullptr;
  void* hookContext = nullptr;
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

void WarningBox(const String& text) {
  ShowKind("Warning", text, kBoxIconWarning | kBoxOk);
}

int QuestionBox(const String& text) {
  return ShowKind("Question", text, kBoxIconQuestion | kBoxYesNo);
}

String ReportRunaway(const Expanded& expansion) {
  if (expansion.Runaway) ErrorBox(RunawayMessage(expansion.Text));
  return expansion.Text;
}

int ShowBox(HWND__* owner, const String& caption, const String& text, uint32_t flags) {
  const BoxState& state = State();
  if (state.hook) return state.hook(state.hookContext, caption, text, flags);
  return ShowSystemBox(owner, caption, text, flags);
}

void SetMessageCaption(const String& caption) {
  State().caption = caption;
}

void SetExtraBoxFlags(uint32_t flags) {
  State().extraFlags = flags;
}

void SetBoxHook(BoxHook hook, void* context) {
  State().hook = hook;
  State().hookContext = context;
}

}  // namespace osin

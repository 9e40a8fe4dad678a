// The program's message boxes: error, warning and yes/no question, always
// centred on the screen.
//
// Caption: the message caption when one is set (the program name, once a
// language is set), otherwise "Error", "Warning" or "Question". Every box is
// task-modal and carries the extra flags (the program entry adds
// MB_SETFOREGROUND). ShowBox is the common routine; while a box opens it
// hooks the calling thread's window activation to centre the box, and the
// hook is gone again when ShowBox returns. Boxes may be shown from any
// thread; two threads do not open boxes at the same moment.
//
// Tests install a box hook (SetBoxHook): every box then goes to the hook
// instead of the screen, and the hook's answer is the box's result.
#pragma once

#include <stdint.h>

#include "config/variables.h"
#include "platform/str.h"

struct HWND__;

namespace osin {

// Windows' own values, so they pass to the system unchanged.
enum BoxFlags : uint32_t {
  kBoxOk = 0x0,
  kBoxYesNo = 0x4,
  kBoxIconError = 0x10,
  kBoxIconQuestion = 0x20,
  kBoxIconWarning = 0x30,
  kBoxTaskModal = 0x2000,
  kBoxSetForeground = 0x10000,
  // Not the system's: the box's text comes from the language file and is
  // shown in the language's code page (ui/wintext.h). Taken off before the
  // hook, the log or the system see the flags.
  kBoxLanguageText = 0x80000000,
};
enum BoxResult : int { kBoxResultOk = 1, kBoxResultYes = 6, kBoxResultNo = 7 };

// Texts of the program's own (fixed English words, paths, the system's
// words for a fault).
void ErrorBox(const String& text);
void ErrorBox(const char* text);
// The boxes of the language file's messages (kBoxLanguageText): this error
// box, the warning and the question. Fallback stands for an empty Text (a
// language file without the message), so no box is ever a bare caption.
void ErrorBox(const String& text, const char* fallback);
// The English text of the setup's message 12, a wrong archive password.
inline constexpr char kWrongPassword[] = "Incorrect password!";
void WarningBox(const String& text);
// kBoxResultYes or kBoxResultNo.
int QuestionBox(const String& text);
// The expansion's text; when the expansion ran away, its message
// (RunawayMessage) is shown in an error box first.
String ReportRunaway(const Expanded& expansion);
// ExpandString's text, reported so.
String ExpandReported(const String& s, const StringList& variables);

// Shows Text in a box owned by Owner (or none) with Caption and Flags as
// given (neither the message caption nor the extra flags are added); the
// result is the button pressed.
int ShowBox(HWND__* owner, const String& caption, const String& text, uint32_t flags);

// The caption of every box from now on; empty for the box kind's own word.
void SetMessageCaption(const String& caption);
// Flags added to every box from now on.
void SetExtraBoxFlags(uint32_t flags);

// Moves Window to the middle of the screen without changing its size,
// z-order or activation; a window larger than the screen in one direction
// goes to 0 in that direction.
void CenterOnScreen(HWND__* window);

// Unattended runs: every box's caption and text go to Log (when given)
// and, with Suppress, no box is shown: it takes its default answer (OK, or
// Yes of a yes/no question) at once.
void SetUnattendedBoxes(void (*log)(const char* kind, const String& text), bool suppress);
// Whether boxes are suppressed so: the system's own boxes must stay away too.
bool BoxesSuppressed();

// Receives every box instead of the screen while it is installed.
using BoxHook = int (*)(void* context, const String& caption, const String& text, uint32_t flags);
// Installs Hook (null removes it).
void SetBoxHook(BoxHook hook, void* context);

}  // namespace osin

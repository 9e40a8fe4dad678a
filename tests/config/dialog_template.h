// Dialog templates built in memory, so tests can create pages without a
// resource file.
#pragma once

#include <windows.h>

#include <vector>

namespace osin {

class DialogTemplate {
 public:
  // A popup dialog with a caption, in dialog units, with the usual font.
  DialogTemplate(const char* caption, short cx, short cy) {
    Put32(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT | DS_MODALFRAME);
    Put32(0);
    count_ = words_.size();
    Put16(0);  // item count, set as items are added
    Put16(0);
    Put16(0);
    Put16(cx);
    Put16(cy);
    Put16(0);  // no menu
    Put16(0);  // the standard dialog class
    PutText(caption);
    Put16(8);
    PutText("MS Shell Dlg");
  }

  enum Kind : WORD { kButton = 0x80, kEdit = 0x81, kStatic = 0x82, kListBox = 0x83 };

  DialogTemplate& Item(Kind kind, WORD id, const char* text, short x, short y, short cx, short cy,
                       DWORD style = 0) {
    while (words_.size() % 2) words_.push_back(0);  // items start on a DWORD
    Put32(WS_CHILD | WS_VISIBLE | style | (kind == kEdit ? WS_BORDER | ES_AUTOHSCROLL : 0));
    Put32(0);
    Put16(x);
    Put16(y);
    Put16(cx);
    Put16(cy);
    Put16(id);
    Put16(0xFFFF);
    Put16(kind);
    PutText(text);
    Put16(0);  // no creation data
    ++words_[count_];
    return *this;
  }

  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Put16(WORD w) { words_.push_back(w); }
  void Put32(DWORD d) {
    Put16(LOWORD(d));
    Put16(HIWORD(d));
  }
  void PutText(const char* text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::vector<WCHAR> wide(n);
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
    for (WCHAR c : wide) words_.push_back(c);
  }

  std::vector<WORD> words_;
  size_t count_ = 0;
};

}  // namespace osin

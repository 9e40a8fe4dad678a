// The folder browser of the destination page (Windows only): the system's
// folder dialog, given the program's caption, button texts and font, with
// an extra button that creates a new folder below the selected one.
//
// The extra button asks for the name with AskString (the browser's OK and
// Cancel texts on its buttons), creates the folder with every missing
// parent and closes the browser, which then opens again with the new folder
// selected. When the folder cannot be created, the browser opens again on
// the folder that was selected.
#pragma once

#include "platform/str.h"

struct HWND__;
struct HFONT__;

namespace osin {

// Texts of the browser, module-wide; the destination page replaces them
// from its language section before browsing.
struct TBrowseTexts {
  String CreateButton = "Create...";
  String OkButton = "OK";
  String CancelButton = "Cancel";
  String NameCaption = "Create directory";
  String NamePrompt = "Name";
};
TBrowseTexts& BrowseTexts();

// The font of the browser and its controls; none (the start) takes the
// owner window's font, and with no owner the system's.
void SetBrowseFont(HFONT__* font);

// Lets the user choose a folder below "My Computer" (file-system folders
// only), starting at Path, in the system's folder dialog owned by Owner
// with Caption as its caption and Title above the tree; WithCreateButton
// adds the button for a new folder. True with the chosen folder in Path
// (without a trailing "\", except for a drive root such as "C:\"). False
// when cancelled; Path is then unchanged, unless a folder was created
// first: then it names that folder. When the system cannot give the root
// folder or the chosen folder's path, the run-ending fault is raised with
// the system's error text and the result is false. One browse at a time
// per thread.
bool BrowseForFolder(HWND__* owner, const String& caption, const String& title, bool withCreateButton,
                     String& path);

}  // namespace osin

// The display steps of the run (Windows only): what the background and the
// pages look like, read from the configuration once the control files are
// unpacked, and the background shown.
//
// Keys of section Display (defaults in brackets; Booleans are true only for
// "1", numbers decimal or "$" hexadecimal, colours $BBGGRR):
//   ShowMainWindow [0]             show the background at all
//   ShowMainTitle [1], MainTitleShadow [0], MainTitleShadowColor [$C0C0C0]
//   MainTitleFont ["Times New Roman,30,$FF0000,B"]
//   DialogFont ["MS Sans Serif,8"]
//   DialogTitleFont ["Times New Roman,20,$FF5C5C,B"]
//   DialogTitleShadow [1], DialogTitleShadowColor [$C0C0C0]
//   DialogPosition ["1,1"]         two integers, each 1 when not a number
//   BackgroundBitmap               a bitmap file of the Presetup folder
//   GradientTopColor [0], GradientBottomColor [$FF8000]
// An empty font value takes the default. Section StaticBitmap holds lines
// name=file,x,y,anchor,transparent (see TBackgroundLook).
#pragma once

namespace osin {

struct TSetupSession;

// The display keys into Session (the background's look, the page title
// shadow and placement); the look is connected to the program name, the
// title font and the static bitmaps of Session.
void ReadDisplaySettings(TSetupSession& session);
// The background bitmap and every static bitmap, loaded from the Presetup
// folder. A file that is missing or not a bitmap the background draws
// loads nothing: the gradient is drawn instead, or that bitmap left out.
void LoadDisplayBitmaps(TSetupSession& session);
// The three font descriptions (main title, pages, page titles).
void BuildDisplayFonts(TSetupSession& session);
// Shows the background window and paints it at once, when the
// configuration asks for it.
void ShowBackground(TSetupSession& session);

}  // namespace osin

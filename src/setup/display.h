// The display steps of the run (Windows only): what the pages look like,
// read from the configuration once the control files are unpacked, and the
// background shown.
//
// Keys of section Display (defaults in brackets; Booleans are true only for
// "1", numbers decimal or "$" hexadecimal, colours $BBGGRR):
//   ShowMainWindow [0]             show the background at all
//   MainTitleFont ["Times New Roman,30,$FF0000,B"]
//   DialogFont ["MS Sans Serif,8"]
//   DialogTitleFont ["Times New Roman,20,$FF5C5C,B"]
//   DialogTitleShadow [1], DialogTitleShadowColor [$C0C0C0]
//   DialogPosition ["1,1"]         two integers, each 1 when not a number
// An empty font value takes the default.
#pragma once

namespace osin {

struct TSetupSession;

// The page title shadow and placement into Session.
void ReadDisplaySettings(TSetupSession& session);
// The three font descriptions (main title, pages, page titles).
void BuildDisplayFonts(TSetupSession& session);
// Shows the background window and paints it at once, when the
// configuration asks for it.
void ShowBackground(TSetupSession& session);

}  // namespace osin

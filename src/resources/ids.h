// Resource names and control ids of osin.exe, shared by the resource script
// and the code. Control ids are grouped by range:
//   100-109  controls of the initialization window
#pragma once

#define IDI_MAINICON "MAINICON"
#define DLG_PRESETUP "DLG_PRESETUP"

#define IDC_PRESETUP_ICON 100
#define IDC_PRESETUP_PROGRESS 101

// Resource names and control ids of osin.exe, shared by the resource script
// and the code. Control ids are grouped by range:
//   100-109  controls of the initialization window
//   101-110  controls of the version-conflict question
#pragma once

#define IDI_MAINICON "MAINICON"
#define DLG_PRESETUP "DLG_PRESETUP"

#define IDC_PRESETUP_ICON 100
#define IDC_PRESETUP_PROGRESS 101

#define DLG_VERSIONCONFLICT "DLG_VERSIONCONFLICT"

#define IDC_CONFLICT_TEXT 101
#define IDC_CONFLICT_NAME 104
#define IDC_CONFLICT_FOLDER 106
#define IDC_CONFLICT_KEEP 107
#define IDC_CONFLICT_KEEP_ALL 108
#define IDC_CONFLICT_REPLACE 109
#define IDC_CONFLICT_REPLACE_ALL 110

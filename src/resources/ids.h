// Resource names and control ids of osin.exe, shared by the resource script
// and the code. Control ids are grouped by range, per dialog:
//   100-109  controls of the initialization window
//   100-109  controls of the message window
//   100-109  controls of the text query
//   100      the folder browser's own button, added to the system's dialog
#pragma once

#define IDI_MAINICON "MAINICON"
#define DLG_PRESETUP "DLG_PRESETUP"
#define DLG_MESSAGE "DLG_MESSAGE"
#define DLG_INPUTQUERYSTR "DLG_INPUTQUERYSTR"

#define IDC_PRESETUP_ICON 100
#define IDC_PRESETUP_PROGRESS 101

#define IDC_MESSAGE_ICON 100
#define IDC_MESSAGE_TEXT 101

#define IDC_QUERY_PROMPT 100
#define IDC_QUERY_VALUE 101
#define IDC_QUERY_OK 102
#define IDC_QUERY_CANCEL 103

#define IDC_BROWSE_CREATE 100

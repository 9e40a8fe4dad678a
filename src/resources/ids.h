// Resource names and control ids of osin.exe, shared by the resource script
// and the code. Control ids are grouped by range, per dialog:
//   100-109  controls of the initialization window
//   100-109  controls of the message window
//   100-109  controls of the text query
//   100      the folder browser's own button, added to the system's dialog
//   100-104  controls every page shares (header, buttons, line)
//   104-109  each page's own controls
//   101-110  controls of the version-conflict question
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
// The pages, by the names the configuration's sequences use.
#define DLG_WELCOME "DLG_WELCOME"
#define DLG_LANGUAGE "DLG_LANGUAGE"
#define DLG_LICENSE "DLG_LICENSE"
#define DLG_README "DLG_README"
#define DLG_PASSWORD "DLG_PASSWORD"
#define DLG_DIR "DLG_DIR"
#define DLG_GROUP "DLG_GROUP"
#define DLG_START "DLG_START"
#define DLG_PROGRESS "DLG_PROGRESS"
#define DLG_REBOOT "DLG_REBOOT"
#define DLG_FINISH "DLG_FINISH"
#define DLG_NOTFINISH "DLG_NOTFINISH"

// Shared by every page; a page's result is the id of the button that ended
// it (Back, Next or Cancel).
#define IDC_PAGE_HEADER 100
#define IDC_PAGE_BACK 101
#define IDC_PAGE_NEXT 102
#define IDC_PAGE_CANCEL 103
#define IDC_PAGE_LINE 104

// Each page's own controls (105 is the page's text unless named here).
#define IDC_PAGE_TEXT 105
#define IDC_LANGUAGE_LIST 106
#define IDC_LICENSE_ACCEPT 105
#define IDC_LICENSE_DECLINE 106
#define IDC_LICENSE_PROMPT 107
#define IDC_LICENSE_TEXT 108
#define IDC_README_TEXT 106
#define IDC_PASSWORD_EDIT 106
#define IDC_DIR_GROUP 105
#define IDC_DIR_EDIT 106
#define IDC_DIR_BROWSE 107
#define IDC_DIR_TEXT 108
#define IDC_GROUP_EDIT 106
#define IDC_GROUP_LIST 107
#define IDC_PROGRESS_ACTION 106
#define IDC_PROGRESS_FILE 107
#define IDC_PROGRESS_ALL_LABEL 108
#define IDC_PROGRESS_ALL 109
#define IDC_REBOOT_YES 106
#define IDC_REBOOT_NO 107
#define IDC_FINAL_OK 104
#define IDC_FINAL_LINE 105
#define IDC_FINAL_TEXT 106
#define DLG_VERSIONCONFLICT "DLG_VERSIONCONFLICT"

#define IDC_CONFLICT_TEXT 101
#define IDC_CONFLICT_NAME 104
#define IDC_CONFLICT_FOLDER 106
#define IDC_CONFLICT_KEEP 107
#define IDC_CONFLICT_KEEP_ALL 108
#define IDC_CONFLICT_REPLACE 109
#define IDC_CONFLICT_REPLACE_ALL 110

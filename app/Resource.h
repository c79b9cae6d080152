#pragma once
// The main program's resource and control ids: its dialog templates, menus, icons and strings, and the
// ids of the controls that its skin files and templates provide.

// Dialog templates.
#define IDD_ABOUT 100
#define IDD_MAIN 132
#define IDD_CONTAINER 133
#define IDD_AMOUNT 139
#define IDD_MESSAGE_BOX 143
#define IDD_SPLASH 1104
#define IDD_FILE_DIALOG 2000

// Icons, menus, toolbars.
#define IDR_MAINFRAME 128
#define IDI_TRAY 129
#define IDR_FOLDER_MENU 128
#define IDR_FILE_DIALOG_BAR 2003

// Strings.
#define IDS_APP_NAME 57344

// Message box skin (skin\messagebox.xml).
#define IDC_MESSAGE_ACCEPT 1060
#define IDC_MESSAGE_TEXT 1061
#define IDC_MESSAGE_OK 1062
#define IDC_MESSAGE_YES 1063
#define IDC_MESSAGE_NO 1064

// About box skin (skin\about.xml).
#define IDC_ABOUT_COUNT 129
#define IDC_ABOUT_HIDDEN1 131
#define IDC_ABOUT_HIDDEN2 135

// Auto-mount password dialog (template and skin\form_amount.xml).
#define IDC_AMOUNT_PASSWORD 1011
#define IDC_AMOUNT_PATH 1052
#define IDC_AMOUNT_FOLDER 1053

// File chooser (template 2000).
#define IDC_FILE_TITLE 2002
#define IDC_FILE_NAME 2004
#define IDC_FILE_TYPE 2005
#define IDC_FILE_FOLDER 2006
#define IDC_FILE_LIST 2007
#define ID_FILE_UP 32771

// Folder list context menu (menu 128).
#define ID_FOLDER_EXPLORE 32771
#define ID_FOLDER_RESIZE 32772
#define ID_FOLDER_CHANGE 32773
#define ID_FOLDER_AUTOMOUNT 32774
#define ID_FOLDER_CLOSE 32776

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
// The container files' icon, which their type's DefaultIcon names ("ferrovane.exe,-145").
#define IDI_CONTAINER_FILE 145
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

// Container operation dialog (template 133): its edits, size spin and commands.
#define IDC_CONTAINER_EXECUTE 1002
#define IDC_CONTAINER_BROWSE 1004
#define IDC_CONTAINER_PATH 1011
#define IDC_CONTAINER_SIZE 1012
#define IDC_CONTAINER_SPIN 1013
#define IDC_CONTAINER_PASSWORD 1014
#define IDC_CONTAINER_FOLDER 1015
#define IDC_CONTAINER_BACK 1016

// Main dialog (template 132, skin\form240x320.xml and skin\form240x240.xml, and its own controls).
#define IDC_MAIN_BROWSE 1001
#define IDC_MAIN_PANEL_OK 1002
#define IDC_MAIN_EXIT 1003
#define IDC_MAIN_OPEN 1004
#define IDC_MAIN_UNMOUNT 1005
#define IDC_MAIN_UNMOUNT_ALL 1006
#define IDC_MAIN_HIDE 1007
#define IDC_MAIN_ABOUT 1008
#define IDC_MAIN_FOLDERS 1009
#define IDC_MAIN_NEW 1010
#define IDC_MAIN_PATH 1011
#define IDC_MAIN_SIZE 1012
#define IDC_MAIN_SIZE_SPIN 1013
#define IDC_MAIN_PASSWORD_EDIT 1014
#define IDC_MAIN_FOLDER 1015
#define IDC_MAIN_PANEL_BACK 1016
#define IDC_MAIN_NEW_SIZE 1017
#define IDC_MAIN_STARTUP 1019
#define IDC_MAIN_OLD_PASSWORD 1023
#define IDC_MAIN_NEW_PASSWORD 1024
#define IDC_MAIN_CONFIRM_PASSWORD 1025
#define IDC_MAIN_OPEN_PATH 1026
#define IDC_MAIN_OPEN_PASSWORD 1027
#define IDC_MAIN_RESIZE 1031
#define IDC_MAIN_PASSWORD 1032
#define IDC_MAIN_AUTOMOUNT 1034
#define IDC_MAIN_CURRENT_SIZE 1057
#define IDC_MAIN_UNIT_KB 1105
#define IDC_MAIN_UNIT_MB 1106

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

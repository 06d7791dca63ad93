// Resource identifiers of the settings program.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_OPTIONS 102
#define IDR_MAINFRAME 128

// The options dialog.
#define IDC_FIXED_FOLDER_OPTION 1000
#define IDC_FOLDER_PATH 1001
#define IDC_SEARCH_FOLDER 1002
#define IDC_RANDOM_FOLDER_OPTION 1003
#define IDC_OPEN_AFTER_PROCESS 1006

// The folder picker's child template.
#define IDC_FOLDER_NAME_LABEL 1001
#define IDC_FOLDER_HISTORY 1002
#define IDC_PICKER_OK 1003

// The About box.
#define IDC_ABOUT_VERSION 1010

// The system-menu command that opens the About box.
#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

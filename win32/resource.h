// Resource ids shared by zelvo.rc and the code. The values are the program's: menu, icon and
// caption 128; dialog templates 100, 130 and 132; the framework's command and pane ids. The
// ids of texts alone (the panes', the languages') are res/StringTable.h's.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_ABOUTBOX 100
#define IDD_COMMINUTE 130
#define IDD_MERGE 132

#define ID_FILE_COMMINUTE 32771
#define ID_FILE_MERGE 32772
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665

#define AFX_IDW_PANE_FIRST 59648
#define AFX_IDW_STATUS_BAR 59393

// Controls of the Comminute (130) and Merge (132) templates.
#define IDC_SOURCE_PATH 1000
#define IDC_BROWSE_SOURCE 1001
#define IDC_CHIP_SIZE 1002
#define IDC_CHIP_COUNT 1005
#define IDC_DEST_PATH 1006
#define IDC_BROWSE_DEST 1007
#define IDC_CMNT_PROGRESS 1008
#define IDC_FILE_NAME 1009
#define IDC_SIZE_UNIT 1010
#define IDC_HEADER_PATH 1011
#define IDC_CHIP_TOTAL 1012
#define IDC_MERGE_PROGRESS 1013
#define IDC_CMNT_GROUP_SOURCE 1016
#define IDC_CMNT_GROUP_DEST 1017
#define IDC_CMNT_SOURCE_PROMPT 1018
#define IDC_CMNT_SIZE_PROMPT 1019
#define IDC_CMNT_TOTAL_PROMPT 1020
#define IDC_CMNT_DEST_PROMPT 1021
#define IDC_MERGE_HEADER_PROMPT 1022
#define IDC_MERGE_TOTAL_PROMPT 1023
#define IDC_MERGE_DEST_PROMPT 1024
#define IDC_MERGE_NAME_PROMPT 1025
#define IDC_MERGE_GROUP_DEST 1026
#define IDC_MERGE_GROUP_SOURCE 1027
// The status line under the bar (a static of the program's own, below the templates' controls).
#define IDC_RUN_STATUS 1040

// About box (100).
#define IDC_ABOUT_LINK 1030

// Where the main window of a running copy is found for a hand-over (WM_COPYDATA).
#define ZELVO_FRAME_CLASS L"ZelvoMainFrame"
#define ZELVO_COPYDATA_OPEN 0x5A4C

// Resource identifiers shared by the code and the resource script.
#pragma once

#define IDR_MAINFRAME           128

#define IDD_REPAIR_DIALOG       102
#define IDD_ADVICE_PANEL        129
#define IDD_PROBLEM_PANEL       130
#define IDD_REINSTALL_PANEL     142
#define IDD_RELEASE_PANEL       143

#define IDB_SEPARATOR           133
#define IDB_BUTTON_NORMAL       134
#define IDB_BANNER_LEFT         135
#define IDB_BANNER_MIDDLE       136
#define IDB_BANNER_RIGHT        137
#define IDB_BUTTON_HOVER        138
#define IDB_BUTTON_DISABLED     139
#define IDB_BUTTON_PRESSED      140

#define IDR_SCAN                145

#define IDC_PROBLEM_LIST        1000
#define IDC_DOWNLOAD            1001
#define IDC_SAFESTART           1002
#define IDC_SEPARATOR           1004
#define IDC_HINT                1005
#define IDC_PROBLEM_TITLE       1006
#define IDC_ADVICE_TEXT         1007
#define IDC_FORUM_LINK          1008
#define IDC_PROTECT_TEXT        1009
#define IDC_REINSTALL_TEXT      1010
#define IDC_RELEASE_TEXT        1011
#define IDC_SPINNER             1013

// Resource ids shared by the .rc files, the program and the tests.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_CONSOLE 102
#define IDD_ABOUTBOX 129
#define IDB_BUSY 130
#define IDR_MENU 131
#define IDC_LINKHAND 109

#define IDC_RUN 1001
#define IDM_SAVE 1003
#define IDM_COPY 1004
#define IDM_ABOUT 1005
#define IDC_BUSY 1006
#define IDC_OUTPUT 1007
#define IDC_STOP 1008
#define IDC_COMMAND 1009
#define IDC_TOPLINE 1010
#define IDM_KEYATATIME 1011
#define IDM_CP_OEM 1012
#define IDM_CP_ANSI 1013
#define IDM_CP_UTF8 1014
#define IDC_STATUS 1015
#define IDC_SAVECANCEL 1016
#define IDM_FIND 1017
#define IDM_FINDNEXT 1018
#define IDM_FINDPREV 1019

// The About box reuses 1007 and 1008 for its two links.
#define IDC_HOMEPAGE 1007
#define IDC_MAILTO 1008
#define IDC_AUTHOR 118

#pragma once
// Resource and control ids of the launcher.
#define IDR_MAINFRAME 128
#define IDI_SPLASH 132
#define IDD_EIPMFCAPP_DIALOG 102

#define IDC_BTN_CLOSE 1003
#define IDC_BTN_MIN 1004
#define IDC_STATIC_TITLE 1001
#define IDC_MFCLINK_WEBSITE 1010
#define IDC_STATIC_STATUS 1011
#define IDC_LINK_SERVICE 1012
#define IDC_LINK_CONTINUE 1013

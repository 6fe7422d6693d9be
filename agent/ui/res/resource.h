// Identifiers of the agent's resource script (PavoAgent.rc). The skin's
// resource.json maps the same names to the same numbers: keep them in step
// (the skin archive test compares the two).
#pragma once

// Dialog templates, icon, menu, accelerators, strings.
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_PAVOAGENT_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_LOGIN_VIEW 130
#define IDD_INSPECTION_VIEW 131
#define IDR_MENU_TRAY 132
#define IDD_MESSAGE_VIEW 133
#define IDD_PRODUCT_ITEM_VIEW 135
#define IDD_NOTICE_VIEW 137
#define IDD_USERINFO_VIEW 139
#define IDD_HTML_DIALOG 141
#define IDR_ACCELERATOR 143

// System-menu command of the about box (below 0xF000, a multiple of 16).
#define IDM_ABOUTBOX 0x0010

// Login page.
#define IDC_EDIT_ID 1000
#define IDC_BUTTON_LOGIN 1001
#define IDC_EDIT_PASSWORD 1002
#define IDC_CHECK_AUTO_LOGIN 1003
#define IDC_LINK_REMOTE_ASSIST 1004
#define IDC_STATIC_PHONE_LABEL 1005
#define IDC_STATIC_PHONE 1006
#define IDC_STATIC_LOGIN_ERROR 1007

// Product list page (also IDC_STATIC_PHONE).
#define IDC_STATIC_DESCRIPTION 1008
#define IDC_BUTTON_REMOTE_ASSIST 1009
#define IDC_BUTTON_REFRESH 1010
#define IDC_BUTTON_INSTALL_ALL 1011
#define IDC_STATIC_LIST_TITLE 1012
#define IDC_LIST_PRODUCTS 1025

// Message overlay.
#define IDC_BUTTON_MSG_OK 1013
#define IDC_BUTTON_MSG_CANCEL 1014
#define IDC_STATIC_MSG_INFO 1015
#define IDC_STATIC_MSG_SUCCESS 1016
#define IDC_STATIC_MSG_FAILURE 1017
#define IDC_STATIC_MSG_TEXT 1018
#define IDC_BUTTON_MSG_CONTINUE 1019
// The overlay's loading animation, created at run time.
#define IDC_LOADING_GIF 25001

// About box.
#define IDC_STATIC_VERSION 1020
#define IDC_STATIC_ABOUT_INFO 1021

// Product row.
#define IDC_BUTTON_INSTALL 1022
#define IDC_STATIC_PRODUCT_ICON 1023
#define IDC_STATIC_PRODUCT_NAME 1024

// Notice window (its "확인" is IDOK).
#define IDC_EDIT_NOTICE_TITLE 1026
#define IDC_HTML_NOTICE 1027
#define IDC_STATIC_NOTICE_TITLE 1028
#define IDC_STATIC_NOTICE_BODY 1029

// User-information window (its "OK" is IDOK).
#define IDC_STATIC_USER_PICTURE 1035
#define IDC_STATIC_USER_HEADING 1036
#define IDC_STATIC_COMPANY_LABEL 1037
#define IDC_STATIC_ID_LABEL 1038
#define IDC_STATIC_NAME_LABEL 1039
#define IDC_EDIT_USER_ID 1040
#define IDC_EDIT_COMPANY 1041
#define IDC_EDIT_USER_NAME 1042
#define IDC_STATIC_MSG_PRODUCT 1043
#define IDC_STATIC_MSG_STEP 1044
#define IDC_STATIC_MSG_COUNT 1045

// Tray menu and accelerator commands.
#define ID_TRAY_OPEN 32771
#define ID_TRAY_ABOUT 32772
#define ID_TRAY_EXIT 32773
#define ID_TRAY_REMOTE_ASSIST 32777
#define ID_TRAY_REFRESH 32778
#define ID_TRAY_NOTICE 32779
#define ID_TRAY_LOGOUT 32781
#define ID_ACCEL_TEST_MODE 32782
#define ID_ACCEL_NORMAL_MODE 32786
#define ID_ACCEL_DEMO_NOTICE 32788

#pragma once

// Identifiers of the gallery dialog; the test skin's resource.json maps its
// names to these numbers.
#define IDD_GALLERY 300
#define IDC_TITLE 1001
#define IDC_ALPHA_PICTURE 1002
#define IDC_OPAQUE_PICTURE 1003
#define IDC_BUTTON_NORMAL 1004
#define IDC_BUTTON_HOVER 1005
#define IDC_BUTTON_PRESSED 1006
#define IDC_BUTTON_DISABLED 1007
#define IDC_CHECK 1008
#define IDC_LINK 1009
#define IDC_EDIT 1010
#define IDC_EDIT_HINT 1011
#define IDC_LIST 1012
#define IDC_HTML 1013
#define IDC_SPINNER 1014
#define IDC_LABEL_PICTURES 1015
#define IDC_LABEL_BUTTONS 1016
#define IDC_LABEL_FIELDS 1017
#define IDC_LABEL_LIST 1018
#define IDC_LABEL_HTML 1019

#pragma once

// Dialog templates of the frame and framework tests (7000 and up, apart from
// the controls' tests).
#define IDD_FRAME_TEST 7000
#define IDD_PLAIN_TEST 7001
#define IDD_MODAL_TEST 7002
#define IDC_FRAME_PROBE 7010
#define IDC_FRAME_OTHER 7011
#define IDC_FRAME_EDIT 7012

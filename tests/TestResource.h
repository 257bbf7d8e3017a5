// Ids of the tests' own dialog (TestDialogs.rc).
#pragma once

#define IDD_TEST 9001
#define IDC_TEST_BUTTON 9101
#define IDC_TEST_LABEL 9102
#define IDC_TEST_BUSY 9103
#define IDC_LINK_LEFT 9201
#define IDC_LINK_RIGHT 9202
#define IDC_LINK_CENTER 9203
#define IDC_LINK_MIDDLE 9204
#define IDC_LINK_NARROW 9205
#define IDC_LINK_EMPTY 9206
#define IDC_LINK_PRESET 9207

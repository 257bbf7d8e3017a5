// Ids of the test-only resources (TestDialogs.rc).
#pragma once

#define IDD_TEST_DIALOG 9001
#define IDD_TEST_CHILD_DIALOG 9002
#define IDC_TEST_COMBO 9101
#define IDC_TEST_BUTTON 9102
#define IDC_TEST_STATIC 9103
#define IDC_TEST_EDIT 9104
#define IDD_TEST_RUN 9003
#define IDD_TEST_SIZING 9004

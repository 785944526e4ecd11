// Resource ids shared by the test resource scripts and the win32 stand-in tests.
#ifndef WIN32_TEST_RESOURCES_H
#define WIN32_TEST_RESOURCES_H

#define IDS_GREETING 1
#define IDS_SENTENCE 2
#define IDS_UNUSED_IN_BLOCK 3
#define IDS_SECOND_BLOCK 17
#define IDS_ACCENTED 40
#define IDS_NO_BLOCK 500

#define IDD_OPTIONS 101
#define IDD_PANEL 102
#define IDD_BARE 103
#define IDD_MISSING 199

#define IDC_TAGS 1001
#define IDC_NAME 1002
#define IDC_QUALITY 1003
#define IDC_QUALITY_LABEL 1004
#define IDC_CLOSE 1005
#define IDC_NOTES 1006
#define IDC_WRAP 1007
#define IDC_LOGO 1008
#define IDC_FRAMES 1009

#define IDI_LOGO 300
#define IDH_QUALITY 77

#define IDS_MODULE_ONLY 5

#endif

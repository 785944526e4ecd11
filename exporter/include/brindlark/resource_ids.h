// The exporter's dialogs and their controls, by resource id: the module builds its dialogs from
// them, and the host and the tests find the controls by them, as a person finds them on screen.
// Plain definitions only: the resource script includes this file too.
#ifndef BRINDLARK_RESOURCE_IDS_H
#define BRINDLARK_RESOURCE_IDS_H

#define IDD_OPTIONS 101
#define IDD_PROGRESS 102

#define IDC_SLIDER_FROM 1004
#define IDC_SLIDER_TO 1005
#define IDC_LABEL_FROM 1006
#define IDC_LABEL_TO 1007
#define IDC_EXPORT_NOW 1008
#define IDC_RELATIVE_TO_TAG 1009
#define IDC_SMART_PATHS 1010
#define IDC_NAME_PREFIXES 1011
#define IDC_USE_NAME_PREFIXES 1012
#define IDC_USE_TAG_LIST 1013
#define IDC_TAG_NAMES 1014
#define IDC_IGNORE_BIP 1015
#define IDC_PROGRESS_TEXT 1016
#define IDC_SHOW_WARNINGS 1017

#endif

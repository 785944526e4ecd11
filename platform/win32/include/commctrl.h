// Common controls: the trackbar and the notification records its parent receives.
#ifndef WIN32_STANDIN_COMMCTRL_H
#define WIN32_STANDIN_COMMCTRL_H

#include "windows.h"

#define TRACKBAR_CLASSA "msctls_trackbar32"
#define TRACKBAR_CLASS TRACKBAR_CLASSA

#ifndef RC_INVOKED

#define TBM_GETPOS (WM_USER)
#define TBM_GETRANGEMIN (WM_USER + 1)
#define TBM_GETRANGEMAX (WM_USER + 2)
#define TBM_SETPOS (WM_USER + 5)
#define TBM_SETRANGE (WM_USER + 6)
#define TBM_SETRANGEMIN (WM_USER + 7)
#define TBM_SETRANGEMAX (WM_USER + 8)

// Trackbar scroll codes carried in the low word of WM_HSCROLL's wParam.
#define TB_LINEUP 0
#define TB_LINEDOWN 1
#define TB_THUMBPOSITION 4
#define TB_THUMBTRACK 5
#define TB_ENDTRACK 8

#define NM_FIRST (0U - 0U)
#define NM_CUSTOMDRAW (NM_FIRST - 12)

// Custom-draw stages.
#define CDDS_PREPAINT 0x00000001
#define CDDS_POSTPAINT 0x00000002
#define CDRF_DODEFAULT 0x00000000
#define CDRF_NOTIFYPOSTPAINT 0x00000010

struct NMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};
typedef NMHDR* LPNMHDR;

struct NMCUSTOMDRAW {
    NMHDR hdr;
    DWORD dwDrawStage;
    RECT rc;
    DWORD_PTR dwItemSpec;
    UINT uItemState;
    LPARAM lItemlParam;
};

WINUSERAPI void InitCommonControls(void);

#endif  // RC_INVOKED

#endif

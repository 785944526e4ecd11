// The Win32 names, types and calls that the plug-ins use, with Win32's semantics, for a
// platform without Win32. Implemented by the win32 stand-in library (libwin32standin).
#ifndef WIN32_STANDIN_WINDOWS_H
#define WIN32_STANDIN_WINDOWS_H

#include "winerror.h"
#include "winres.h"

// The resource compiler preprocesses scripts as C with RC_INVOKED defined; it sees only the
// constants, as with the real header.
#ifndef RC_INVOKED

#include <cstddef>
#include <cstdint>

#if defined(WIN32_STANDIN_BUILD)
#define WINUSERAPI extern "C" __attribute__((visibility("default")))
#define WIN32_STANDIN_API __attribute__((visibility("default")))
#else
#define WINUSERAPI extern "C"
#define WIN32_STANDIN_API
#endif

#define WINAPI
#define CALLBACK
#define APIENTRY

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef int INT;
typedef char CHAR;
typedef char TCHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef char* LPTSTR;
typedef const char* LPCTSTR;
typedef void* LPVOID;
typedef void* HANDLE;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef DWORD COLORREF;

// Handles are pointers to distinct incomplete types, under Windows' own names for them.
// NOLINTBEGIN(bugprone-reserved-identifier): Windows' names, which code written for it may spell
struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
struct HBITMAP__;
typedef HBITMAP__* HBITMAP;
// NOLINTEND(bugprone-reserved-identifier)

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define _T(text) text  // NOLINT(bugprone-reserved-identifier): Windows' name, which the plug-ins spell
#define TEXT(text) text

#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define MAKELONG(a, b) \
    ((LONG)(((WORD)(((DWORD_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((DWORD_PTR)(b)) & 0xffff))) << 16))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)

typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);
typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
typedef RECT* LPRECT;

struct POINT {
    LONG x;
    LONG y;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Window messages.
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_ENABLE 0x000A
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_SHOWWINDOW 0x0018
#define WM_NOTIFY 0x004E
#define WM_KEYDOWN 0x0100
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_HSCROLL 0x0114
#define WM_VSCROLL 0x0115
#define WM_USER 0x0400

// Dialog messages: the default push button.
#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DC_HASDEFID 0x534B

#define VK_RETURN 0x0D
#define VK_ESCAPE 0x1B

// Message boxes.
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_YESNO 0x00000004L
#define MB_ICONERROR 0x00000010L
#define MB_ICONWARNING 0x00000030L
#define MB_ICONINFORMATION 0x00000040L
#define IDYES 6
#define IDNO 7

// Buttons.
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_CLICK 0x00F5
#define BST_UNCHECKED 0x0000
#define BST_CHECKED 0x0001
#define BN_CLICKED 0

// Edits.
#define EN_CHANGE 0x0300

// SetWindowPos flags.
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOACTIVATE 0x0010

#define SW_HIDE 0
#define SW_SHOW 5

// Window and dialog data, as the 64-bit Win32 headers number them.
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_ID (-12)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWLP_USERDATA (-21)
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC 8
#define DWLP_USER 16

// Resource types.
#define RT_DIALOG MAKEINTRESOURCE(5)
#define RT_STRING MAKEINTRESOURCE(6)
#define RT_VERSION MAKEINTRESOURCE(16)

// Windows and dialogs. Handles are opaque; a stale or unknown handle makes a call fail as in Win32
// (0, FALSE or NULL). The host's main window always exists: GetDesktopWindow returns it, it cannot
// be destroyed, and GetActiveWindow returns it when no other top-level window is shown. Otherwise
// GetActiveWindow is the most recently shown or activated top-level window that is still alive and
// visible. Windows belong to the thread that drives the dialogs, as in Win32.
WINUSERAPI HWND GetActiveWindow(void);
WINUSERAPI HWND SetActiveWindow(HWND window);
WINUSERAPI HWND GetDesktopWindow(void);
WINUSERAPI HWND GetParent(HWND window);
WINUSERAPI BOOL IsWindow(HWND window);
WINUSERAPI BOOL DestroyWindow(HWND window);
WINUSERAPI BOOL ShowWindow(HWND window, int command);
WINUSERAPI BOOL GetWindowRect(HWND window, LPRECT rect);
WINUSERAPI BOOL GetClientRect(HWND window, LPRECT rect);
WINUSERAPI BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
WINUSERAPI BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
WINUSERAPI BOOL SetWindowTextA(HWND window, LPCSTR text);
WINUSERAPI int GetWindowTextA(HWND window, LPSTR buffer, int maxCount);
WINUSERAPI LONG_PTR GetWindowLongPtrA(HWND window, int index);
WINUSERAPI LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
WINUSERAPI int GetWindowTextLengthA(HWND window);
WINUSERAPI BOOL IsWindowVisible(HWND window);
WINUSERAPI BOOL EnableWindow(HWND window, BOOL enable);
WINUSERAPI BOOL IsWindowEnabled(HWND window);
WINUSERAPI BOOL MapDialogRect(HWND dialog, LPRECT rect);
WINUSERAPI LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
WINUSERAPI LRESULT CallWindowProcA(WNDPROC windowProc, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

WINUSERAPI HWND CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc,
                                   LPARAM initParam);
WINUSERAPI INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc,
                                   LPARAM initParam);
WINUSERAPI BOOL EndDialog(HWND dialog, INT_PTR result);
WINUSERAPI HWND GetDlgItem(HWND dialog, int id);
WINUSERAPI int GetDlgCtrlID(HWND control);
WINUSERAPI UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int maxCount);
WINUSERAPI BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
WINUSERAPI UINT IsDlgButtonChecked(HWND dialog, int id);
WINUSERAPI BOOL CheckDlgButton(HWND dialog, int id, UINT check);

// Messages.
WINUSERAPI LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
WINUSERAPI LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
WINUSERAPI BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
WINUSERAPI BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT remove);
WINUSERAPI LRESULT DispatchMessageA(const MSG* msg);
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

WINUSERAPI int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// The calling thread's last error code (winerror.h): a call that fails sets it to say why, and
// a module can leave one for its caller. The host and every module see the same value.
WINUSERAPI DWORD GetLastError(void);
WINUSERAPI void SetLastError(DWORD errorCode);

// Resources and modules. A module's handle (HINSTANCE/HMODULE) is the address its image is loaded
// at; GetModuleHandleA(NULL) is the main program's.
WINUSERAPI int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax);
WINUSERAPI HMODULE GetModuleHandleA(LPCSTR moduleName);
WINUSERAPI DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);

// DLL entry reasons, as the loader passes them to a module's entry point.
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#define MessageBox MessageBoxA
#define SendMessage SendMessageA
#define SendDlgItemMessage SendDlgItemMessageA
#define PostMessage PostMessageA
#define CreateDialogParam CreateDialogParamA
#define DialogBoxParam DialogBoxParamA
#define GetDlgItemText GetDlgItemTextA
#define SetDlgItemText SetDlgItemTextA
#define SetWindowText SetWindowTextA
#define GetWindowText GetWindowTextA
#define LoadString LoadStringA
#define DefWindowProc DefWindowProcA
#define CallWindowProc CallWindowProcA
#define GetWindowTextLength GetWindowTextLengthA
#define GetModuleHandle GetModuleHandleA
#define GetModuleFileName GetModuleFileNameA
#define GetWindowLongPtr GetWindowLongPtrA
#define SetWindowLongPtr SetWindowLongPtrA

#endif  // RC_INVOKED

#endif

// The stand-in's window system, shared by its parts: the window record, the table of live windows
// keyed by handle, the activation order, the posted-message queue, and the class procedures.
#ifndef WIN32_STANDIN_WINDOW_SYSTEM_H
#define WIN32_STANDIN_WINDOW_SYSTEM_H

#include <memory>
#include <string>
#include <vector>

#include "commctrl.h"
#include "windows.h"

namespace win32::detail {

// What a window does with its messages, chosen from its class name when it is created.
enum class WindowKind { HostMain, Dialog, Button, Edit, Static, Trackbar, Other };

struct Window {
    HWND handle = nullptr;
    WindowKind kind = WindowKind::Other;
    std::string className;
    std::string text;
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    // The window rectangle in pixels: screen coordinates for a top-level window, coordinates in
    // the parent's client area for a child.
    RECT rect{};
    HWND parent = nullptr;  // the parent of a child window (WS_CHILD), the owner of a top-level one
    std::vector<HWND> children;
    HINSTANCE instance = nullptr;
    WNDPROC windowProc = nullptr;
    LONG_PTR userData = 0;
    bool destroying = false;

    // Dialogs.
    DLGPROC dialogProc = nullptr;
    LONG_PTR messageResult = 0;  // DWLP_MSGRESULT
    LONG_PTR dialogUser = 0;     // DWLP_USER
    int resourceId = -1;
    int defaultButtonId = 0;  // set by DM_SETDEFID; 0 means the template's BS_DEFPUSHBUTTON
    bool ended = false;
    INT_PTR endResult = 0;

    // Buttons.
    UINT checkState = BST_UNCHECKED;

    // Trackbars: the common control's defaults.
    LONG rangeMin = 0;
    LONG rangeMax = 100;
    LONG position = 0;

    bool isChild() const { return (style & WS_CHILD) != 0; }
    bool isVisible() const { return (style & WS_VISIBLE) != 0; }
    bool isEnabled() const { return (style & WS_DISABLED) == 0; }
};
using WindowPtr = std::shared_ptr<Window>;

// The window behind a handle, or nullptr for NULL, unknown and destroyed handles. The record stays
// alive while the caller holds it, even if the window is destroyed meanwhile.
WindowPtr findWindow(HWND handle);
// Adds a window to the table (and to its parent's children when it is a child) and returns its
// new handle.
HWND addWindow(Window window);
// The host's main window, created on first use.
HWND hostMainWindow();
// Moves a top-level window to the top of the activation order (showing, SetActiveWindow).
void activate(HWND window);
// Takes a window out of the activation order (hiding, destroying).
void deactivate(HWND window);

// The screen rectangle of a window and the screen position of its client area's origin.
RECT screenRect(const Window& window);
POINT clientOrigin(const Window& window);
// Pixels for dialog units, with the base units of the dialog font (6 x 13 pixels per character).
LONG dialogUnitsToPixelsX(LONG units);
LONG dialogUnitsToPixelsY(LONG units);
// The width of the frame around a window's client area, per side.
RECT frameInsets(DWORD style, DWORD exStyle);

// The class procedures; each falls back to DefWindowProcA.
WindowKind kindForClass(const std::string& className);
WNDPROC windowProcFor(WindowKind kind);
LRESULT CALLBACK dialogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Sets a window's text; tells the desktop when it changed.
void setWindowText(HWND window, const std::string& text);
// Draws a window's visible descendants: the trackbars among them tell their parent (custom draw).
void paintChildren(HWND window);
// The trackbar moved by the person: position, scroll notifications, redraw.
void trackbarDragged(HWND trackbar, LONG position);
// Sends a control's parent WM_COMMAND with a notification code.
void notifyParent(HWND control, WORD code);

// Removes and dispatches the oldest posted message; false when the queue is empty.
bool dispatchNextPostedMessage();
bool postedQueueEmpty();
// Forgets the posted messages of a window that is going away.
void discardPostedMessages(HWND window);

}  // namespace win32::detail

#endif

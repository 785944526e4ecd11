// The controls' window procedures: buttons (push, check box, group box), edits, statics and the
// common-controls trackbar, with the notifications each sends its parent.
#include <cctype>
#include <string>

#include "desktop.h"
#include "window_system.h"

namespace win32::detail {
namespace {

constexpr DWORD kButtonTypeMask = 0x0F;
constexpr DWORD kRadioButton = 0x04;
constexpr DWORD kThreeState = 0x05;
constexpr DWORD kAutoThreeState = 0x06;
constexpr DWORD kAutoRadioButton = 0x09;
constexpr WPARAM kIndeterminate = 2;  // BST_INDETERMINATE

bool sameIgnoringCase(const std::string& a, const char* b) {
    const std::string other(b);
    if (a.size() != other.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(other[i]))) {
            return false;
        }
    }
    return true;
}

DWORD buttonType(const Window& button) { return button.style & kButtonTypeMask; }

bool isCheckable(DWORD type) {
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == kRadioButton || type == kThreeState ||
           type == kAutoThreeState || type == kAutoRadioButton;
}

LRESULT CALLBACK buttonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowPtr button = findWindow(window);
    if (!button) {
        return 0;
    }
    const DWORD type = buttonType(*button);
    switch (message) {
    case BM_GETCHECK:
        return isCheckable(type) ? static_cast<LRESULT>(button->checkState) : 0;
    case BM_SETCHECK:
        if (isCheckable(type)) {
            const bool threeState = type == kThreeState || type == kAutoThreeState;
            button->checkState = wParam == BST_UNCHECKED                    ? BST_UNCHECKED
                                 : (wParam == kIndeterminate && threeState) ? static_cast<UINT>(kIndeterminate)
                                                                            : BST_CHECKED;
        }
        return 0;
    case BM_CLICK:
        // BM_CLICK stands for a mouse press and release, which a disabled button never gets.
        if (!button->isEnabled() || type == BS_GROUPBOX) {
            return 0;
        }
        if (type == BS_AUTOCHECKBOX) {
            button->checkState = button->checkState == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        } else if (type == kAutoThreeState) {
            button->checkState = (button->checkState + 1) % 3;
        } else if (type == kAutoRadioButton) {
            button->checkState = BST_CHECKED;
        }
        notifyParent(window, BN_CLICKED);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK editProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) {
        WindowPtr edit = findWindow(window);
        if (!edit) {
            return 0;
        }
        const LRESULT result = DefWindowProcA(window, message, wParam, lParam);
        // A single-line edit reports text set by the program as a change too; a multi-line one
        // does not.
        if ((edit->style & ES_MULTILINE) == 0) {
            notifyParent(window, EN_CHANGE);
        }
        return result;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK staticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

LONG clampToRange(LONG position, LONG minimum, LONG maximum) {
    if (position > maximum) {
        position = maximum;
    }
    if (position < minimum) {
        position = minimum;
    }
    return position;
}

// The custom-draw notifications a trackbar sends its parent while it paints.
void customDraw(HWND trackbar) {
    WindowPtr control = findWindow(trackbar);
    if (!control) {
        return;
    }
    RECT client{};
    GetClientRect(trackbar, &client);
    NMCUSTOMDRAW draw{};
    draw.hdr.hwndFrom = trackbar;
    draw.hdr.idFrom = static_cast<UINT_PTR>(control->id);
    draw.hdr.code = NM_CUSTOMDRAW;
    draw.dwDrawStage = CDDS_PREPAINT;
    draw.rc = client;
    const HWND parent = control->parent;
    const WPARAM id = static_cast<WPARAM>(control->id);
    const LRESULT answer = SendMessageA(parent, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&draw));
    if ((answer & CDRF_NOTIFYPOSTPAINT) != 0 && IsWindow(trackbar)) {
        draw.dwDrawStage = CDDS_POSTPAINT;
        SendMessageA(parent, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&draw));
    }
}

void redrawIfVisible(HWND trackbar, WPARAM redraw) {
    if (redraw != 0 && IsWindowVisible(trackbar)) {
        SendMessageA(trackbar, WM_PAINT, 0, 0);
    }
}

LRESULT CALLBACK trackbarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowPtr trackbar = findWindow(window);
    if (!trackbar) {
        return 0;
    }
    switch (message) {
    case TBM_GETPOS:
        return trackbar->position;
    case TBM_GETRANGEMIN:
        return trackbar->rangeMin;
    case TBM_GETRANGEMAX:
        return trackbar->rangeMax;
    case TBM_SETPOS:
        trackbar->position = clampToRange(static_cast<LONG>(lParam), trackbar->rangeMin, trackbar->rangeMax);
        redrawIfVisible(window, wParam);
        return 0;
    case TBM_SETRANGE:
        // The range travels as two unsigned 16-bit halves of lParam.
        trackbar->rangeMin = LOWORD(lParam);
        trackbar->rangeMax = HIWORD(lParam);
        trackbar->position = clampToRange(trackbar->position, trackbar->rangeMin, trackbar->rangeMax);
        redrawIfVisible(window, wParam);
        return 0;
    case TBM_SETRANGEMIN:
        trackbar->rangeMin = static_cast<LONG>(lParam);
        trackbar->position = clampToRange(trackbar->position, trackbar->rangeMin, trackbar->rangeMax);
        redrawIfVisible(window, wParam);
        return 0;
    case TBM_SETRANGEMAX:
        trackbar->rangeMax = static_cast<LONG>(lParam);
        trackbar->position = clampToRange(trackbar->position, trackbar->rangeMin, trackbar->rangeMax);
        redrawIfVisible(window, wParam);
        return 0;
    case WM_PAINT:
        if (IsWindowVisible(window)) {
            customDraw(window);
        }
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

WindowKind kindForClass(const std::string& className) {
    if (sameIgnoringCase(className, "#32770")) {
        return WindowKind::Dialog;
    }
    if (sameIgnoringCase(className, "Button")) {
        return WindowKind::Button;
    }
    if (sameIgnoringCase(className, "Edit")) {
        return WindowKind::Edit;
    }
    if (sameIgnoringCase(className, "Static")) {
        return WindowKind::Static;
    }
    if (sameIgnoringCase(className, TRACKBAR_CLASSA)) {
        return WindowKind::Trackbar;
    }
    return WindowKind::Other;
}

WNDPROC windowProcFor(WindowKind kind) {
    switch (kind) {
    case WindowKind::Dialog:
        return dialogWindowProc;
    case WindowKind::Button:
        return buttonProc;
    case WindowKind::Edit:
        return editProc;
    case WindowKind::Static:
        return staticProc;
    case WindowKind::Trackbar:
        return trackbarProc;
    case WindowKind::HostMain:
    case WindowKind::Other:
        return DefWindowProcA;
    }
    return DefWindowProcA;
}

void notifyParent(HWND control, WORD code) {
    WindowPtr record = findWindow(control);
    if (!record || !record->isChild()) {
        return;
    }
    SendMessageA(record->parent, WM_COMMAND, MAKEWPARAM(record->id, code), reinterpret_cast<LPARAM>(control));
}

void paintChildren(HWND window) {
    WindowPtr record = findWindow(window);
    if (!record) {
        return;
    }
    const std::vector<HWND> children = record->children;
    for (HWND child : children) {
        if (!IsWindowVisible(child)) {
            continue;
        }
        SendMessageA(child, WM_PAINT, 0, 0);
        paintChildren(child);
    }
}

void trackbarDragged(HWND trackbar, LONG position) {
    WindowPtr control = findWindow(trackbar);
    if (!control || control->kind != WindowKind::Trackbar) {
        return;
    }
    const UINT scroll = (control->style & TBS_VERT) != 0 ? WM_VSCROLL : WM_HSCROLL;
    const HWND parent = control->parent;
    const LPARAM source = reinterpret_cast<LPARAM>(trackbar);
    // Moving the mouse moves the thumb and sends TB_THUMBTRACK; the control repaints; releasing
    // the button sends TB_THUMBPOSITION and then TB_ENDTRACK.
    control->position = clampToRange(position, control->rangeMin, control->rangeMax);
    const WORD reported = static_cast<WORD>(control->position);
    SendMessageA(parent, scroll, MAKEWPARAM(TB_THUMBTRACK, reported), source);
    if (IsWindowVisible(trackbar)) {
        SendMessageA(trackbar, WM_PAINT, 0, 0);
    }
    if (!IsWindow(trackbar)) {
        return;
    }
    SendMessageA(parent, scroll, MAKEWPARAM(TB_THUMBPOSITION, reported), source);
    if (!IsWindow(trackbar)) {
        return;
    }
    SendMessageA(parent, scroll, MAKEWPARAM(TB_ENDTRACK, 0), source);
}

}  // namespace win32::detail

// The desktop: the quiet default, the installed one, message boxes, and what a person does to a
// dialog's controls (namespace user), sent as the messages Win32 sends for it.
#include <atomic>

#include "desktop.h"
#include "window_system.h"

namespace win32 {
namespace {

std::atomic<Desktop*> installedDesktop{nullptr};
std::atomic<bool> commonControls{false};

Desktop& quietDesktop() {
    static Desktop quiet;
    return quiet;
}

// The control a person can reach: present, shown and enabled.
detail::WindowPtr reachableControl(HWND dialog, int controlId) {
    const HWND control = GetDlgItem(dialog, controlId);
    if (control == nullptr || !IsWindowVisible(control) || !IsWindowEnabled(control)) {
        return nullptr;
    }
    return detail::findWindow(control);
}

}  // namespace

Desktop::~Desktop() = default;

int Desktop::messageBox(HWND, const std::string&, const std::string&, UINT) { return IDOK; }
void Desktop::windowShown(HWND) {}
void Desktop::windowTextChanged(HWND, const std::string&) {}
void Desktop::windowDestroyed(HWND) {}
bool Desktop::personActs(HWND) { return false; }
void Desktop::assertionFailed(int, const std::string&) {}

Desktop& desktop() {
    Desktop* installed = installedDesktop.load();
    return installed != nullptr ? *installed : quietDesktop();
}

void setDesktop(Desktop* desktop) { installedDesktop.store(desktop); }

bool commonControlsInitialized() { return commonControls.load(); }

namespace user {

void dragTrackbar(HWND dialog, int controlId, int position) {
    const detail::WindowPtr control = reachableControl(dialog, controlId);
    if (!control || control->kind != detail::WindowKind::Trackbar) {
        return;
    }
    detail::trackbarDragged(control->handle, position);
}

void click(HWND dialog, int controlId) {
    const detail::WindowPtr control = reachableControl(dialog, controlId);
    if (!control || control->kind != detail::WindowKind::Button) {
        return;
    }
    SendMessageA(control->handle, BM_CLICK, 0, 0);
}

void setChecked(HWND dialog, int controlId, bool checked) {
    const detail::WindowPtr control = reachableControl(dialog, controlId);
    if (!control || control->kind != detail::WindowKind::Button) {
        return;
    }
    const bool isChecked = SendMessageA(control->handle, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (isChecked != checked) {
        SendMessageA(control->handle, BM_CLICK, 0, 0);
    }
}

void typeText(HWND dialog, int controlId, const std::string& text) {
    const detail::WindowPtr control = reachableControl(dialog, controlId);
    if (!control || control->kind != detail::WindowKind::Edit || (control->style & ES_READONLY) != 0) {
        return;
    }
    SendMessageA(control->handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    // A single-line edit has reported the change itself; a multi-line one reports typing only.
    if ((control->style & ES_MULTILINE) != 0) {
        detail::notifyParent(control->handle, EN_CHANGE);
    }
}

void pressKey(HWND dialog, int virtualKey) {
    if (!IsWindow(dialog)) {
        return;
    }
    if (virtualKey == VK_RETURN) {
        // Enter presses the default push button, or IDOK when the dialog names none.
        const LRESULT defaultId = SendMessageA(dialog, DM_GETDEFID, 0, 0);
        const int id = HIWORD(defaultId) == DC_HASDEFID ? LOWORD(defaultId) : IDOK;
        const HWND button = GetDlgItem(dialog, id);
        if (button != nullptr && !IsWindowEnabled(button)) {
            return;
        }
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    } else if (virtualKey == VK_ESCAPE) {
        const HWND button = GetDlgItem(dialog, IDCANCEL);
        if (button != nullptr && !IsWindowEnabled(button)) {
            return;
        }
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    } else {
        SendMessageA(dialog, WM_KEYDOWN, static_cast<WPARAM>(virtualKey), 0);
    }
}

}  // namespace user
}  // namespace win32

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    // Win32 refuses an owner that is not a window; a NULL caption reads "Error".
    if (owner != nullptr && !IsWindow(owner)) {
        return 0;
    }
    return win32::desktop().messageBox(owner, text != nullptr ? text : "", caption != nullptr ? caption : "Error",
                                       type);
}

void InitCommonControls(void) {
    // The trackbar class is always registered here; the call is recorded so that tests can check
    // that a module makes it, as it must on Windows before using the common controls.
    win32::commonControls.store(true);
}

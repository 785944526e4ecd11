// Windows: the table of live windows, activation, geometry, window data, and sent and posted
// messages (SendMessageA, PostMessageA, PeekMessageA, DispatchMessageA).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

#include "desktop.h"
#include "window_system.h"

namespace win32::detail {
namespace {

// Handles look like Win32's: small even numbers, never reused, so a stale handle stays unknown.
constexpr uintptr_t kHostMainWindowHandle = 0x00010010;
constexpr uintptr_t kHandleStep = 2;
// The host's main window covers the screen.
constexpr RECT kScreenRect{0, 0, 1280, 1024};
// Dialog base units of the 8-point dialog font: average character 6 pixels wide and 13 high;
// a dialog unit is a quarter of the width and an eighth of the height.
constexpr double kBaseUnitX = 6.0;
constexpr double kBaseUnitY = 13.0;
// Frame sizes: a dialog frame, a thin border, a sunken client edge, a caption bar.
constexpr LONG kDialogFrame = 3;
constexpr LONG kThinBorder = 1;
constexpr LONG kClientEdge = 2;
constexpr LONG kCaptionHeight = 19;
constexpr DWORD kModalFrameStyle = 0x80;  // DS_MODALFRAME

struct WindowSystem {
    std::mutex mutex;
    std::map<uintptr_t, WindowPtr> windows;  // ordered by handle, i.e. by creation
    uintptr_t nextHandle = kHostMainWindowHandle + kHandleStep;
    std::vector<HWND> activation;  // the active window last
    std::deque<MSG> posted;
};

WindowSystem& windowSystem() {
    static WindowSystem instance;
    return instance;
}

HWND toHandle(uintptr_t value) { return reinterpret_cast<HWND>(value); }
uintptr_t fromHandle(HWND handle) { return reinterpret_cast<uintptr_t>(handle); }

bool isDescendantOf(HWND window, HWND ancestor) {
    for (WindowPtr current = findWindow(window); current; current = findWindow(current->parent)) {
        if (current->handle == ancestor) {
            return true;
        }
        if (!current->isChild()) {
            break;
        }
    }
    return false;
}

HWND topLevelAncestor(HWND window) {
    WindowPtr current = findWindow(window);
    while (current && current->isChild()) {
        WindowPtr parent = findWindow(current->parent);
        if (!parent) {
            break;
        }
        current = parent;
    }
    return current ? current->handle : nullptr;
}

// WM_DESTROY goes to a window before its children, as in Win32; the records go afterwards.
void destroyTree(const WindowPtr& window) {
    window->destroying = true;
    SendMessageA(window->handle, WM_DESTROY, 0, 0);
    const std::vector<HWND> children = window->children;
    for (HWND child : children) {
        if (WindowPtr record = findWindow(child); record && !record->destroying) {
            destroyTree(record);
        }
    }
    discardPostedMessages(window->handle);
    deactivate(window->handle);
    if (WindowPtr parent = findWindow(window->parent); parent && window->isChild()) {
        auto& siblings = parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), window->handle), siblings.end());
    }
    std::lock_guard<std::mutex> lock(windowSystem().mutex);
    windowSystem().windows.erase(fromHandle(window->handle));
}

size_t copyText(const std::string& text, char* buffer, size_t capacity) {
    if (buffer == nullptr || capacity == 0) {
        return 0;
    }
    const size_t count = std::min(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return count;
}

}  // namespace

WindowPtr findWindow(HWND handle) {
    if (handle == nullptr) {
        return nullptr;
    }
    hostMainWindow();
    std::lock_guard<std::mutex> lock(windowSystem().mutex);
    const auto found = windowSystem().windows.find(fromHandle(handle));
    return found == windowSystem().windows.end() ? nullptr : found->second;
}

HWND addWindow(Window window) {
    auto record = std::make_shared<Window>(std::move(window));
    {
        std::lock_guard<std::mutex> lock(windowSystem().mutex);
        record->handle = toHandle(windowSystem().nextHandle);
        windowSystem().nextHandle += kHandleStep;
        windowSystem().windows.emplace(fromHandle(record->handle), record);
    }
    if (record->isChild()) {
        if (WindowPtr parent = findWindow(record->parent)) {
            parent->children.push_back(record->handle);
        }
    }
    return record->handle;
}

HWND hostMainWindow() {
    static const HWND handle = [] {
        auto record = std::make_shared<Window>();
        record->handle = toHandle(kHostMainWindowHandle);
        record->kind = WindowKind::HostMain;
        record->className = "#32769";
        record->style = WS_VISIBLE;
        record->rect = kScreenRect;
        record->windowProc = DefWindowProcA;
        std::lock_guard<std::mutex> lock(windowSystem().mutex);
        windowSystem().windows.emplace(kHostMainWindowHandle, record);
        windowSystem().activation.push_back(record->handle);
        return record->handle;
    }();
    return handle;
}

void activate(HWND window) {
    hostMainWindow();
    std::lock_guard<std::mutex> lock(windowSystem().mutex);
    auto& order = windowSystem().activation;
    order.erase(std::remove(order.begin(), order.end(), window), order.end());
    order.push_back(window);
}

void deactivate(HWND window) {
    if (window == hostMainWindow()) {
        return;
    }
    std::lock_guard<std::mutex> lock(windowSystem().mutex);
    auto& order = windowSystem().activation;
    order.erase(std::remove(order.begin(), order.end(), window), order.end());
}

RECT frameInsets(DWORD style, DWORD exStyle) {
    LONG side = 0;
    LONG top = 0;
    if ((style & WS_CHILD) == 0 && ((style & WS_DLGFRAME) != 0 || (style & kModalFrameStyle) != 0)) {
        side = kDialogFrame;
    } else if ((style & WS_BORDER) != 0) {
        side = kThinBorder;
    }
    if ((exStyle & WS_EX_CLIENTEDGE) != 0) {
        side += kClientEdge;
    }
    top = side;
    if ((style & WS_CHILD) == 0 && (style & WS_CAPTION) == WS_CAPTION) {
        top += kCaptionHeight;
    }
    return RECT{side, top, side, side};
}

RECT screenRect(const Window& window) {
    if (!window.isChild()) {
        return window.rect;
    }
    WindowPtr parent = findWindow(window.parent);
    const POINT origin = parent ? clientOrigin(*parent) : POINT{0, 0};
    return RECT{window.rect.left + origin.x, window.rect.top + origin.y, window.rect.right + origin.x,
                window.rect.bottom + origin.y};
}

POINT clientOrigin(const Window& window) {
    const RECT outer = screenRect(window);
    const RECT insets = frameInsets(window.style, window.exStyle);
    return POINT{outer.left + insets.left, outer.top + insets.top};
}

LONG dialogUnitsToPixelsX(LONG units) { return static_cast<LONG>(std::lround(units * kBaseUnitX / 4.0)); }
LONG dialogUnitsToPixelsY(LONG units) { return static_cast<LONG>(std::lround(units * kBaseUnitY / 8.0)); }

void setWindowText(HWND window, const std::string& text) {
    WindowPtr record = findWindow(window);
    if (!record || record->text == text) {
        return;
    }
    record->text = text;
    desktop().windowTextChanged(window, text);
}

bool dispatchNextPostedMessage() {
    MSG message{};
    {
        std::lock_guard<std::mutex> lock(windowSystem().mutex);
        if (windowSystem().posted.empty()) {
            return false;
        }
        message = windowSystem().posted.front();
        windowSystem().posted.pop_front();
    }
    DispatchMessageA(&message);
    return true;
}

bool postedQueueEmpty() {
    std::lock_guard<std::mutex> lock(windowSystem().mutex);
    return windowSystem().posted.empty();
}

void discardPostedMessages(HWND window) {
    std::lock_guard<std::mutex> lock(windowSystem().mutex);
    auto& queue = windowSystem().posted;
    queue.erase(std::remove_if(queue.begin(), queue.end(), [window](const MSG& m) { return m.hwnd == window; }),
                queue.end());
}

}  // namespace win32::detail

using namespace win32::detail;

HWND GetDesktopWindow(void) { return hostMainWindow(); }

HWND GetActiveWindow(void) {
    hostMainWindow();
    std::vector<HWND> order;
    {
        std::lock_guard<std::mutex> lock(windowSystem().mutex);
        order = windowSystem().activation;
    }
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        if (findWindow(*it)) {
            return *it;
        }
    }
    return hostMainWindow();
}

HWND SetActiveWindow(HWND window) {
    const HWND topLevel = topLevelAncestor(window);
    if (topLevel == nullptr) {
        return nullptr;
    }
    const HWND previous = GetActiveWindow();
    activate(topLevel);
    return previous;
}

HWND GetParent(HWND window) {
    WindowPtr record = findWindow(window);
    return record ? record->parent : nullptr;
}

BOOL IsWindow(HWND window) { return findWindow(window) ? TRUE : FALSE; }

BOOL DestroyWindow(HWND window) {
    WindowPtr record = findWindow(window);
    if (!record || record->kind == WindowKind::HostMain || record->destroying) {
        return FALSE;
    }
    record->destroying = true;
    // Owned windows go first.
    for (HWND owned : win32::topLevelWindows()) {
        WindowPtr ownedRecord = findWindow(owned);
        if (ownedRecord && ownedRecord->parent == window && !ownedRecord->destroying) {
            DestroyWindow(owned);
        }
    }
    if (!record->isChild()) {
        win32::desktop().windowDestroyed(window);
    }
    record->style &= ~static_cast<DWORD>(WS_VISIBLE);
    destroyTree(record);
    return TRUE;
}

BOOL ShowWindow(HWND window, int command) {
    WindowPtr record = findWindow(window);
    if (!record) {
        return FALSE;
    }
    const bool wasVisible = record->isVisible();
    const bool show = command != SW_HIDE;
    if (show == wasVisible) {
        if (show && !record->isChild()) {
            activate(window);
        }
        return wasVisible ? TRUE : FALSE;
    }
    if (show) {
        record->style |= WS_VISIBLE;
    } else {
        record->style &= ~static_cast<DWORD>(WS_VISIBLE);
    }
    SendMessageA(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    if (!IsWindow(window)) {
        return wasVisible ? TRUE : FALSE;
    }
    if (record->isChild()) {
        if (show && IsWindowVisible(window)) {
            SendMessageA(window, WM_PAINT, 0, 0);
            paintChildren(window);
        }
    } else if (show) {
        activate(window);
        paintChildren(window);
        if (IsWindow(window)) {
            win32::desktop().windowShown(window);
        }
    } else {
        deactivate(window);
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND window) {
    for (WindowPtr current = findWindow(window); current; current = findWindow(current->parent)) {
        if (!current->isVisible()) {
            return FALSE;
        }
        if (!current->isChild()) {
            return TRUE;
        }
    }
    return FALSE;
}

BOOL EnableWindow(HWND window, BOOL enable) {
    WindowPtr record = findWindow(window);
    if (!record) {
        return FALSE;
    }
    const bool wasDisabled = !record->isEnabled();
    if (enable) {
        record->style &= ~static_cast<DWORD>(WS_DISABLED);
    } else {
        record->style |= WS_DISABLED;
    }
    if (wasDisabled == (enable != FALSE)) {
        SendMessageA(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
    }
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND window) {
    WindowPtr record = findWindow(window);
    return record && record->isEnabled() ? TRUE : FALSE;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
    WindowPtr record = findWindow(window);
    if (!record || rect == nullptr) {
        return FALSE;
    }
    *rect = screenRect(*record);
    return TRUE;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
    WindowPtr record = findWindow(window);
    if (!record || rect == nullptr) {
        return FALSE;
    }
    const RECT insets = frameInsets(record->style, record->exStyle);
    const LONG width = record->rect.right - record->rect.left - insets.left - insets.right;
    const LONG height = record->rect.bottom - record->rect.top - insets.top - insets.bottom;
    *rect = RECT{0, 0, std::max<LONG>(width, 0), std::max<LONG>(height, 0)};
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    WindowPtr record = findWindow(window);
    if (!record) {
        return FALSE;
    }
    record->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
    if (repaint && IsWindowVisible(window)) {
        if (record->isChild()) {
            SendMessageA(window, WM_PAINT, 0, 0);
        }
        paintChildren(window);
    }
    return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    (void)insertAfter;  // one layer of windows: the z-order is not modelled
    WindowPtr record = findWindow(window);
    if (!record) {
        return FALSE;
    }
    const RECT old = record->rect;
    const LONG left = (flags & SWP_NOMOVE) != 0 ? old.left : x;
    const LONG top = (flags & SWP_NOMOVE) != 0 ? old.top : y;
    const LONG width = (flags & SWP_NOSIZE) != 0 ? old.right - old.left : std::max(cx, 0);
    const LONG height = (flags & SWP_NOSIZE) != 0 ? old.bottom - old.top : std::max(cy, 0);
    record->rect = RECT{left, top, left + width, top + height};
    if ((flags & SWP_NOACTIVATE) == 0 && !record->isChild() && record->isVisible()) {
        activate(window);
    }
    return TRUE;
}

BOOL MapDialogRect(HWND dialog, LPRECT rect) {
    WindowPtr record = findWindow(dialog);
    if (!record || record->kind != WindowKind::Dialog || rect == nullptr) {
        return FALSE;
    }
    *rect = RECT{dialogUnitsToPixelsX(rect->left), dialogUnitsToPixelsY(rect->top), dialogUnitsToPixelsX(rect->right),
                 dialogUnitsToPixelsY(rect->bottom)};
    return TRUE;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    if (!IsWindow(window)) {
        return FALSE;
    }
    return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}

int GetWindowTextA(HWND window, LPSTR buffer, int maxCount) {
    if (buffer == nullptr || maxCount <= 0) {
        return 0;
    }
    buffer[0] = '\0';
    if (!IsWindow(window)) {
        return 0;
    }
    return static_cast<int>(
        SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthA(HWND window) {
    if (!IsWindow(window)) {
        return 0;
    }
    return static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
    WindowPtr record = findWindow(window);
    if (!record) {
        return 0;
    }
    const bool dialog = record->kind == WindowKind::Dialog;
    switch (index) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(record->windowProc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(record->instance);
    case GWLP_ID:
        return record->id;
    case GWL_STYLE:
        return static_cast<LONG_PTR>(record->style);
    case GWL_EXSTYLE:
        return static_cast<LONG_PTR>(record->exStyle);
    case GWLP_USERDATA:
        return record->userData;
    case DWLP_MSGRESULT:
        return dialog ? record->messageResult : 0;
    case DWLP_DLGPROC:
        return dialog ? reinterpret_cast<LONG_PTR>(record->dialogProc) : 0;
    case DWLP_USER:
        return dialog ? record->dialogUser : 0;
    default:
        return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    WindowPtr record = findWindow(window);
    if (!record) {
        return 0;
    }
    const LONG_PTR previous = GetWindowLongPtrA(window, index);
    const bool dialog = record->kind == WindowKind::Dialog;
    switch (index) {
    case GWLP_WNDPROC:
        if (value == 0) {
            return 0;
        }
        record->windowProc = reinterpret_cast<WNDPROC>(value);
        break;
    case GWLP_HINSTANCE:
        record->instance = reinterpret_cast<HINSTANCE>(value);
        break;
    case GWLP_ID:
        record->id = static_cast<int>(value);
        break;
    case GWL_STYLE:
        record->style = static_cast<DWORD>(value);
        break;
    case GWL_EXSTYLE:
        record->exStyle = static_cast<DWORD>(value);
        break;
    case GWLP_USERDATA:
        record->userData = value;
        break;
    case DWLP_MSGRESULT:
        if (!dialog) {
            return 0;
        }
        record->messageResult = value;
        break;
    case DWLP_DLGPROC:
        if (!dialog) {
            return 0;
        }
        record->dialogProc = reinterpret_cast<DLGPROC>(value);
        break;
    case DWLP_USER:
        if (!dialog) {
            return 0;
        }
        record->dialogUser = value;
        break;
    default:
        return 0;
    }
    return previous;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowPtr record = findWindow(window);
    if (!record || record->windowProc == nullptr) {
        return 0;
    }
    const WNDPROC procedure = record->windowProc;
    return procedure(window, message, wParam, lParam);
}

LRESULT CallWindowProcA(WNDPROC windowProc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return windowProc == nullptr ? 0 : windowProc(window, message, wParam, lParam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowPtr record = findWindow(window);
    if (!record) {
        return 0;
    }
    switch (message) {
    case WM_SETTEXT: {
        const char* text = reinterpret_cast<const char*>(lParam);
        setWindowText(window, text == nullptr ? std::string() : std::string(text));
        return TRUE;
    }
    case WM_GETTEXT:
        return static_cast<LRESULT>(copyText(record->text, reinterpret_cast<char*>(lParam), wParam));
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(record->text.size());
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    default:
        return 0;
    }
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window != nullptr && !IsWindow(window)) {
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(windowSystem().mutex);
    windowSystem().posted.push_back(MSG{window, message, wParam, lParam});
    return TRUE;
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
    if (msg == nullptr) {
        return FALSE;
    }
    std::vector<MSG> queued;
    {
        std::lock_guard<std::mutex> lock(windowSystem().mutex);
        queued.assign(windowSystem().posted.begin(), windowSystem().posted.end());
    }
    const bool anyMessage = filterMin == 0 && filterMax == 0;
    for (size_t i = 0; i < queued.size(); ++i) {
        const MSG& candidate = queued[i];
        if (!anyMessage && (candidate.message < filterMin || candidate.message > filterMax)) {
            continue;
        }
        // A window filter takes the window's messages and those of its children.
        if (window != nullptr && !isDescendantOf(candidate.hwnd, window)) {
            continue;
        }
        *msg = candidate;
        if ((remove & PM_REMOVE) != 0) {
            std::lock_guard<std::mutex> lock(windowSystem().mutex);
            auto& queue = windowSystem().posted;
            const auto found = std::find_if(queue.begin(), queue.end(), [&](const MSG& m) {
                return m.hwnd == candidate.hwnd && m.message == candidate.message && m.wParam == candidate.wParam &&
                       m.lParam == candidate.lParam;
            });
            if (found != queue.end()) {
                queue.erase(found);
            }
        }
        return TRUE;
    }
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr || msg->hwnd == nullptr) {
        return 0;
    }
    return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

namespace win32 {

std::string windowText(HWND window) {
    WindowPtr record = findWindow(window);
    return record ? record->text : std::string();
}

std::string windowClassName(HWND window) {
    WindowPtr record = findWindow(window);
    return record ? record->className : std::string();
}

int dialogResourceId(HWND dialog) {
    WindowPtr record = findWindow(dialog);
    return record && record->kind == WindowKind::Dialog ? record->resourceId : -1;
}

std::vector<HWND> childWindows(HWND window) {
    WindowPtr record = findWindow(window);
    return record ? record->children : std::vector<HWND>();
}

std::vector<HWND> topLevelWindows() {
    hostMainWindow();
    std::vector<HWND> result;
    std::lock_guard<std::mutex> lock(windowSystem().mutex);
    for (const auto& entry : windowSystem().windows) {
        const Window& record = *entry.second;
        if (!record.isChild() && record.kind != WindowKind::HostMain) {
            result.push_back(record.handle);
        }
    }
    return result;
}

}  // namespace win32

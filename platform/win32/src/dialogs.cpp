// Dialogs: building a dialog and its controls from a module's template, the default dialog
// procedure, the modal loop, and the dialog-item calls.
#include <cstdlib>
#include <string>

#include "desktop.h"
#include "win32_resources.h"
#include "window_system.h"

namespace win32::detail {
namespace {

constexpr DWORD kCenterStyle = 0x0800;  // DS_CENTER
constexpr DWORD kButtonTypeMask = 0x0F;
// A person who keeps acting without the dialog ever ending has given up; the loop ends as when
// they stop acting. Far more turns than any dialog needs.
constexpr int kMaxPersonTurns = 100000;

enum class CreateFailure { None, MissingTemplate, InvalidOwner };

struct BuiltDialog {
    HWND handle = nullptr;
    CreateFailure failure = CreateFailure::MissingTemplate;
    bool visibleStyle = false;  // the template has WS_VISIBLE
};

// Template names are MAKEINTRESOURCE ids, "#123" strings naming the same ids, or names.
ResourceName templateResourceName(LPCSTR templateName) {
    if (IS_INTRESOURCE(templateName)) {
        return ResourceName::fromOrdinal(static_cast<uint16_t>(reinterpret_cast<uintptr_t>(templateName)));
    }
    const std::string name(templateName);
    if (name.size() > 1 && name[0] == '#') {
        char* end = nullptr;
        const unsigned long value = std::strtoul(name.c_str() + 1, &end, 10);
        if (end != nullptr && *end == '\0' && value <= 0xFFFF) {
            return ResourceName::fromOrdinal(static_cast<uint16_t>(value));
        }
    }
    return ResourceName::fromName(name);
}

HWND topLevelOf(HWND window) {
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

RECT dialogRect(const DialogTemplate& layout, HWND owner) {
    const RECT insets = frameInsets(layout.style, layout.exStyle);
    const LONG width = dialogUnitsToPixelsX(layout.cx) + insets.left + insets.right;
    const LONG height = dialogUnitsToPixelsY(layout.cy) + insets.top + insets.bottom;
    LONG left = 0;
    LONG top = 0;
    if ((layout.style & kCenterStyle) != 0) {
        RECT screen{};
        GetWindowRect(hostMainWindow(), &screen);
        left = screen.left + (screen.right - screen.left - width) / 2;
        top = screen.top + (screen.bottom - screen.top - height) / 2;
    } else {
        // A popup dialog's position counts from its owner's client area.
        POINT origin{0, 0};
        if (WindowPtr ownerRecord = findWindow(owner)) {
            origin = clientOrigin(*ownerRecord);
        }
        left = origin.x + dialogUnitsToPixelsX(layout.x);
        top = origin.y + dialogUnitsToPixelsY(layout.y);
    }
    return RECT{left, top, left + width, top + height};
}

HWND firstTabStop(HWND dialog) {
    for (HWND child : win32::childWindows(dialog)) {
        WindowPtr control = findWindow(child);
        if (control && (control->style & WS_TABSTOP) != 0 && control->isEnabled()) {
            return child;
        }
    }
    return nullptr;
}

// Builds the dialog and its controls and sends WM_INITDIALOG; the dialog stays hidden.
BuiltDialog buildDialog(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc, LPARAM initParam) {
    BuiltDialog built;
    if (templateName == nullptr) {
        return built;
    }
    if (instance == nullptr) {
        instance = GetModuleHandleA(nullptr);
    }
    const auto resources = moduleResources(instance);
    if (!resources) {
        return built;
    }
    const ResourceName name = templateResourceName(templateName);
    const ResourceEntry* entry = resources->index.find(kResourceTypeDialog, name);
    if (entry == nullptr) {
        return built;
    }
    const Parsed<DialogTemplate> layout = parseDialogTemplate(entry->data);
    if (!layout) {
        return built;
    }

    HWND ownerTopLevel = nullptr;
    if (owner != nullptr) {
        ownerTopLevel = topLevelOf(owner);
        if (ownerTopLevel == nullptr) {
            built.failure = CreateFailure::InvalidOwner;
            return built;
        }
    }
    built.failure = CreateFailure::None;
    built.visibleStyle = (layout->style & WS_VISIBLE) != 0;

    Window dialog;
    dialog.kind = WindowKind::Dialog;
    dialog.className = layout->windowClass.kind == ResourceName::Kind::Name ? layout->windowClass.name : "#32770";
    dialog.text = layout->title;
    dialog.style = layout->style & ~static_cast<DWORD>(WS_VISIBLE | WS_CHILD);
    dialog.exStyle = layout->exStyle;
    dialog.rect = dialogRect(*layout, ownerTopLevel);
    dialog.parent = ownerTopLevel;
    dialog.instance = instance;
    dialog.windowProc = dialogWindowProc;
    dialog.dialogProc = dialogProc;
    dialog.resourceId = name.kind == ResourceName::Kind::Ordinal ? name.ordinal : -1;
    const HWND handle = addWindow(std::move(dialog));

    for (const DialogItemTemplate& item : layout->items) {
        Window control;
        control.className = item.className;
        control.kind = kindForClass(item.className);
        if (control.kind == WindowKind::Dialog) {
            control.kind = WindowKind::Other;
        }
        control.text = item.title.kind == ResourceName::Kind::Name ? item.title.name : std::string();
        control.id = item.id;
        control.style = item.style | WS_CHILD;
        control.exStyle = item.exStyle;
        const LONG left = dialogUnitsToPixelsX(item.x);
        const LONG top = dialogUnitsToPixelsY(item.y);
        control.rect = RECT{left, top, left + dialogUnitsToPixelsX(item.cx), top + dialogUnitsToPixelsY(item.cy)};
        control.parent = handle;
        control.instance = instance;
        control.windowProc = windowProcFor(control.kind);
        addWindow(std::move(control));
    }

    if (dialogProc != nullptr) {
        SendMessageA(handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop(handle)), initParam);
    }
    built.handle = IsWindow(handle) ? handle : nullptr;  // the procedure may destroy it while initialising
    return built;
}

HWND defaultButton(HWND dialog) {
    for (HWND child : win32::childWindows(dialog)) {
        WindowPtr control = findWindow(child);
        if (control && control->kind == WindowKind::Button && (control->style & kButtonTypeMask) == BS_DEFPUSHBUTTON) {
            return child;
        }
    }
    return nullptr;
}

// DefDlgProc's handling of what the dialog procedure left alone.
LRESULT defaultDialogHandling(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowPtr dialog = findWindow(window);
    if (!dialog) {
        return 0;
    }
    switch (message) {
    case WM_CLOSE: {
        // Closing a dialog is its Cancel button: IDCANCEL is posted unless that button is
        // there and disabled.
        const HWND cancel = GetDlgItem(window, IDCANCEL);
        if (cancel != nullptr && !IsWindowEnabled(cancel)) {
            return 0;
        }
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case DM_GETDEFID: {
        int id = dialog->defaultButtonId;
        if (id == 0) {
            WindowPtr button = findWindow(defaultButton(window));
            if (button) {
                id = button->id;
            }
        }
        return id == 0 ? 0 : MAKELONG(id, DC_HASDEFID);
    }
    case DM_SETDEFID:
        dialog->defaultButtonId = static_cast<int>(wParam);
        return TRUE;
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
        return DefWindowProcA(window, message, wParam, lParam);
    default:
        return 0;
    }
}

}  // namespace

LRESULT CALLBACK dialogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowPtr dialog = findWindow(window);
    if (!dialog) {
        return 0;
    }
    if (dialog->dialogProc != nullptr) {
        const INT_PTR handled = dialog->dialogProc(window, message, wParam, lParam);
        if (handled != 0) {
            // WM_INITDIALOG's answer is the procedure's own; for the other messages a procedure
            // that handled one leaves its result in DWLP_MSGRESULT.
            return message == WM_INITDIALOG ? handled : dialog->messageResult;
        }
    }
    return defaultDialogHandling(window, message, wParam, lParam);
}

}  // namespace win32::detail

using namespace win32::detail;

HWND CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc, LPARAM initParam) {
    const BuiltDialog built = buildDialog(instance, templateName, owner, dialogProc, initParam);
    WindowPtr record = findWindow(built.handle);
    if (!record) {
        return nullptr;
    }
    // The template's WS_VISIBLE decides whether a modeless dialog appears by itself.
    if (built.visibleStyle && !record->ended) {
        ShowWindow(built.handle, SW_SHOW);
    }
    return IsWindow(built.handle) ? built.handle : nullptr;
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc, LPARAM initParam) {
    const BuiltDialog built = buildDialog(instance, templateName, owner, dialogProc, initParam);
    // Win32 answers 0 for an invalid owner and -1 for every other failure.
    if (built.failure == CreateFailure::InvalidOwner) {
        return 0;
    }
    const HWND dialog = built.handle;
    WindowPtr record = findWindow(dialog);
    if (!record) {
        return -1;
    }
    // A dialog ended during WM_INITDIALOG never appears.
    if (!record->ended) {
        ShowWindow(dialog, SW_SHOW);
    }
    int personTurns = 0;
    while (!record->ended && IsWindow(dialog)) {
        if (dispatchNextPostedMessage()) {
            continue;
        }
        const bool acted = win32::desktop().personActs(dialog);
        if (record->ended || !IsWindow(dialog)) {
            break;
        }
        if ((!acted && postedQueueEmpty()) || ++personTurns > kMaxPersonTurns) {
            record->ended = true;
            record->endResult = -1;
        }
    }
    const INT_PTR result = record->ended ? record->endResult : -1;
    if (IsWindow(dialog)) {
        DestroyWindow(dialog);
    }
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    WindowPtr record = findWindow(dialog);
    if (!record || record->kind != WindowKind::Dialog) {
        return FALSE;
    }
    record->ended = true;
    record->endResult = result;
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
    for (HWND child : win32::childWindows(dialog)) {
        WindowPtr control = findWindow(child);
        if (control && control->id == id) {
            return child;
        }
    }
    return nullptr;
}

int GetDlgCtrlID(HWND control) {
    WindowPtr record = findWindow(control);
    return record && record->isChild() ? record->id : 0;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int maxCount) {
    if (buffer == nullptr || maxCount <= 0) {
        return 0;
    }
    buffer[0] = '\0';
    const HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) {
        return 0;
    }
    return static_cast<UINT>(
        SendMessageA(control, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    const HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) {
        return FALSE;
    }
    return SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    const HWND control = GetDlgItem(dialog, id);
    return control == nullptr ? 0 : static_cast<UINT>(SendMessageA(control, BM_GETCHECK, 0, 0));
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    const HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) {
        return FALSE;
    }
    SendMessageA(control, BM_SETCHECK, check, 0);
    return TRUE;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND control = GetDlgItem(dialog, id);
    return control == nullptr ? 0 : SendMessageA(control, message, wParam, lParam);
}

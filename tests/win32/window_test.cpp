// Tests of windows and controls outside a modal loop: modeless dialogs, texts, destruction and its
// notifications, activation, stale handles, geometry, window data, posted messages, message
// boxes, and the messages of buttons, edits and trackbars.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "commctrl.h"
#include "desktop.h"
#include "dialog_probe.h"
#include "recording_desktop.h"
#include "test_resources.h"
#include "win32_resources.h"
#include "windows.h"

namespace {

// A dialog of the test program's resources that goes away with the test.
class ModelessDialog {
public:
    ModelessDialog(int templateId, DialogProbe& probe, HWND owner = nullptr)
        : handle_(CreateDialogParamA(programInstance(), MAKEINTRESOURCE(templateId), owner, DialogProbe::procedure,
                                     probe.param())) {}
    ~ModelessDialog() {
        if (IsWindow(handle_)) {
            DestroyWindow(handle_);
        }
    }
    ModelessDialog(const ModelessDialog&) = delete;
    ModelessDialog& operator=(const ModelessDialog&) = delete;
    HWND handle() const { return handle_; }
    HWND item(int id) const { return GetDlgItem(handle_, id); }

private:
    HWND handle_;
};

TEST(ModelessDialog, IsBuiltFromItsTemplateAndShownWhenVisible) {
    win32::RecordingDesktop desktop;
    DialogProbe probe;
    ModelessDialog panel(IDD_PANEL, probe);
    ASSERT_NE(panel.handle(), nullptr);

    // WM_INITDIALOG comes first, with the init parameter and the first tab stop.
    ASSERT_FALSE(probe.received.empty());
    EXPECT_EQ(probe.received[0].message, static_cast<UINT>(WM_INITDIALOG));
    EXPECT_EQ(probe.received[0].lParam, probe.param());
    EXPECT_EQ(reinterpret_cast<HWND>(probe.received[0].wParam), panel.item(IDC_QUALITY));

    ASSERT_EQ(desktop.shown.size(), 1u);
    EXPECT_EQ(desktop.shown[0].window, panel.handle());
    EXPECT_EQ(desktop.shown[0].resourceId, IDD_PANEL);
    EXPECT_EQ(desktop.shown[0].text, "Panel");
    EXPECT_EQ(win32::windowClassName(panel.handle()), "#32770");
    EXPECT_EQ(GetActiveWindow(), panel.handle());
    EXPECT_TRUE(IsWindowVisible(panel.item(IDC_NAME)));

    // One child per control, with the template's class, text, id and style.
    const auto layout = win32::loadDialogTemplate(programInstance(), IDD_PANEL);
    ASSERT_TRUE(layout);
    const std::vector<HWND> children = win32::childWindows(panel.handle());
    ASSERT_EQ(children.size(), layout->items.size());
    for (size_t i = 0; i < children.size(); ++i) {
        const win32::DialogItemTemplate& item = layout->items[i];
        EXPECT_EQ(win32::windowClassName(children[i]), item.className);
        EXPECT_EQ(GetDlgCtrlID(children[i]), item.id);
        EXPECT_EQ(GetParent(children[i]), panel.handle());
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(children[i], GWL_STYLE)), item.style | WS_CHILD);
        EXPECT_EQ(win32::windowText(children[i]),
                  item.title.kind == win32::ResourceName::Kind::Name ? item.title.name : "");
    }
    // The showing drew the trackbar, which told the dialog.
    EXPECT_EQ(probe.drawStages(IDC_QUALITY), std::vector<DWORD>{CDDS_PREPAINT});
}

TEST(ModelessDialog, StaysHiddenWithoutVisibleStyleUntilShown) {
    win32::RecordingDesktop desktop;
    DialogProbe probe;
    const HWND before = GetActiveWindow();
    ModelessDialog options(IDD_OPTIONS, probe);
    ASSERT_NE(options.handle(), nullptr);
    EXPECT_TRUE(desktop.shown.empty());
    EXPECT_FALSE(IsWindowVisible(options.handle()));
    EXPECT_EQ(GetActiveWindow(), before);
    EXPECT_TRUE(probe.drawStages(IDC_QUALITY).empty());

    EXPECT_FALSE(ShowWindow(options.handle(), SW_SHOW));
    ASSERT_EQ(desktop.shown.size(), 1u);
    EXPECT_EQ(GetActiveWindow(), options.handle());
    EXPECT_EQ(probe.drawStages(IDC_QUALITY).size(), 1u);
    EXPECT_TRUE(ShowWindow(options.handle(), SW_HIDE));
    EXPECT_EQ(GetActiveWindow(), before);

    // Without a dialog procedure there is no WM_INITDIALOG, and the dialog still works.
    const HWND plain = CreateDialogParamA(programInstance(), MAKEINTRESOURCE(IDD_PANEL), nullptr, nullptr, 0);
    ASSERT_NE(plain, nullptr);
    EXPECT_TRUE(SetDlgItemTextA(plain, IDC_NAME, "typed"));
    EXPECT_EQ(win32::windowText(GetDlgItem(plain, IDC_NAME)), "typed");
    EXPECT_TRUE(DestroyWindow(plain));

    EXPECT_EQ(CreateDialogParamA(programInstance(), MAKEINTRESOURCE(IDD_MISSING), nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(
        CreateDialogParamA(programInstance(), MAKEINTRESOURCE(IDD_PANEL), reinterpret_cast<HWND>(0x4444), nullptr, 0),
        nullptr);
}

TEST(WindowText, SetAndGetFollowWin32Truncation) {
    win32::RecordingDesktop desktop;
    DialogProbe probe;
    ModelessDialog panel(IDD_PANEL, probe);
    const HWND label = panel.item(IDC_QUALITY_LABEL);

    EXPECT_EQ(SendMessageA(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Level 12")), TRUE);
    EXPECT_EQ(desktop.textsOf(label), std::vector<std::string>{"Level 12"});
    SetDlgItemTextA(panel.handle(), IDC_QUALITY_LABEL, "Level 12");  // unchanged: nothing to report
    EXPECT_EQ(desktop.textsOf(label).size(), 1u);

    char buffer[16];
    std::memset(buffer, 'X', sizeof buffer);
    // WM_GETTEXT copies at most wParam - 1 characters and answers how many.
    EXPECT_EQ(SendMessageA(label, WM_GETTEXT, 6, reinterpret_cast<LPARAM>(buffer)), 5);
    EXPECT_STREQ(buffer, "Level");
    EXPECT_EQ(buffer[6], 'X');
    EXPECT_EQ(SendMessageA(label, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(buffer)), 0);
    EXPECT_EQ(SendMessageA(label, WM_GETTEXTLENGTH, 0, 0), 8);
    EXPECT_EQ(GetDlgItemTextA(panel.handle(), IDC_QUALITY_LABEL, buffer, 4), 3u);
    EXPECT_STREQ(buffer, "Lev");
    EXPECT_EQ(GetDlgItemTextA(panel.handle(), IDC_QUALITY_LABEL, buffer, sizeof buffer), 8u);
    EXPECT_STREQ(buffer, "Level 12");
    EXPECT_EQ(GetDlgItemTextA(panel.handle(), 4242, buffer, sizeof buffer), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(GetWindowTextA(panel.handle(), buffer, sizeof buffer), 5);
    EXPECT_STREQ(buffer, "Panel");
    EXPECT_EQ(GetWindowTextLengthA(panel.handle()), 5);

    // SetWindowText on the dialog is its caption; a NULL text empties it.
    EXPECT_TRUE(SetWindowTextA(panel.handle(), "Renamed"));
    EXPECT_EQ(win32::windowText(panel.handle()), "Renamed");
    EXPECT_TRUE(SetWindowTextA(label, nullptr));
    EXPECT_EQ(win32::windowText(label), "");
    EXPECT_EQ(desktop.textsOf(label), (std::vector<std::string>{"Level 12", ""}));

    // Edit controls hold any length.
    const std::string longText(10000, 'z');
    EXPECT_TRUE(SetDlgItemTextA(panel.handle(), IDC_NAME, longText.c_str()));
    EXPECT_EQ(GetWindowTextLengthA(panel.item(IDC_NAME)), 10000);
}

TEST(DestroyWindow, NotifiesAndLeavesOnlyStaleHandles) {
    win32::RecordingDesktop desktop;
    DialogProbe probe;
    bool childrenAliveDuringDestroy = false;
    probe.answer = [&](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_DESTROY) {
            childrenAliveDuringDestroy = IsWindow(GetDlgItem(dialog, IDC_NAME)) != FALSE;
        }
        return FALSE;
    };
    const HWND dialog = CreateDialogParamA(programInstance(), MAKEINTRESOURCE(IDD_PANEL), nullptr,
                                           DialogProbe::procedure, probe.param());
    ASSERT_NE(dialog, nullptr);
    const HWND edit = GetDlgItem(dialog, IDC_NAME);
    PostMessageA(dialog, WM_USER + 5, 0, 0);

    EXPECT_TRUE(DestroyWindow(dialog));
    EXPECT_EQ(desktop.destroyed, std::vector<HWND>{dialog});
    EXPECT_EQ(probe.all(WM_DESTROY).size(), 1u);
    EXPECT_TRUE(childrenAliveDuringDestroy);
    MSG message{};
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_USER + 5, WM_USER + 5, PM_NOREMOVE));

    // Every call on a stale handle fails quietly, as Win32's do.
    char buffer[8] = "stale";
    RECT rect{};
    for (HWND stale : {dialog, edit, reinterpret_cast<HWND>(0x7777)}) {
        EXPECT_FALSE(IsWindow(stale));
        EXPECT_FALSE(DestroyWindow(stale));
        EXPECT_FALSE(SetWindowTextA(stale, "x"));
        EXPECT_EQ(GetWindowTextA(stale, buffer, sizeof buffer), 0);
        EXPECT_STREQ(buffer, "");
        EXPECT_EQ(SendMessageA(stale, WM_GETTEXTLENGTH, 0, 0), 0);
        EXPECT_FALSE(PostMessageA(stale, WM_CLOSE, 0, 0));
        EXPECT_FALSE(ShowWindow(stale, SW_SHOW));
        EXPECT_FALSE(GetWindowRect(stale, &rect));
        EXPECT_EQ(GetParent(stale), nullptr);
        EXPECT_EQ(SetWindowLongPtrA(stale, GWLP_USERDATA, 5), 0);
        EXPECT_EQ(GetDlgItem(stale, IDC_NAME), nullptr);
        EXPECT_FALSE(EndDialog(stale, 1));
        EXPECT_EQ(SetActiveWindow(stale), nullptr);
    }
    EXPECT_EQ(win32::windowText(dialog), "");
    EXPECT_EQ(win32::dialogResourceId(dialog), -1);
    EXPECT_NE(GetActiveWindow(), dialog);
    EXPECT_FALSE(DestroyWindow(GetDesktopWindow()));
    EXPECT_EQ(desktop.destroyed.size(), 1u);
}

TEST(ActiveWindow, FollowsShownWindowsAndNeverDangles) {
    win32::RecordingDesktop desktop;
    const HWND mainWindow = GetDesktopWindow();
    ASSERT_TRUE(IsWindow(mainWindow));
    ASSERT_TRUE(win32::topLevelWindows().empty());
    const HWND before = GetActiveWindow();
    EXPECT_EQ(before, mainWindow);
    DialogProbe firstProbe;
    DialogProbe secondProbe;
    auto first = std::make_unique<ModelessDialog>(IDD_PANEL, firstProbe);
    auto second = std::make_unique<ModelessDialog>(IDD_PANEL, secondProbe, first->handle());
    EXPECT_EQ(GetActiveWindow(), second->handle());
    EXPECT_EQ(GetParent(second->handle()), first->handle());

    EXPECT_EQ(SetActiveWindow(GetDlgItem(first->handle(), IDC_NAME)), second->handle());
    EXPECT_EQ(GetActiveWindow(), first->handle());
    SetActiveWindow(second->handle());

    // Destroying the owner takes the owned dialog with it.
    const HWND secondHandle = second->handle();
    first.reset();
    EXPECT_FALSE(IsWindow(secondHandle));
    EXPECT_EQ(desktop.destroyed.size(), 2u);
    EXPECT_EQ(desktop.destroyed[0], secondHandle);
    EXPECT_EQ(GetActiveWindow(), before);
    EXPECT_TRUE(IsWindow(GetActiveWindow()));
    second.reset();
    EXPECT_TRUE(win32::topLevelWindows().empty());
}

TEST(Geometry, DialogUnitsFramesAndMoves) {
    DialogProbe probe;
    ModelessDialog options(IDD_OPTIONS, probe, GetDesktopWindow());
    const auto layout = win32::loadDialogTemplate(programInstance(), IDD_OPTIONS);
    ASSERT_TRUE(layout);

    // The template's size is the client area's.
    RECT client{};
    ASSERT_TRUE(GetClientRect(options.handle(), &client));
    RECT expected{0, 0, layout->cx, layout->cy};
    ASSERT_TRUE(MapDialogRect(options.handle(), &expected));
    EXPECT_EQ(client.right, expected.right);
    EXPECT_EQ(client.bottom, expected.bottom);
    EXPECT_GT(client.right, layout->cx);  // pixels are finer than dialog units

    RECT window{};
    ASSERT_TRUE(GetWindowRect(options.handle(), &window));
    EXPECT_GT(window.right - window.left, client.right);   // the frame
    EXPECT_GT(window.bottom - window.top, client.bottom);  // frame and caption

    // A control's screen rectangle sits in the dialog's client area at its template position.
    RECT control{};
    ASSERT_TRUE(GetWindowRect(options.item(IDC_TAGS), &control));
    RECT itemRect{8, 8, 108, 18};
    MapDialogRect(options.handle(), &itemRect);
    const LONG clientLeft = control.left - itemRect.left;
    const LONG clientTop = control.top - itemRect.top;
    EXPECT_GT(clientLeft, window.left);
    EXPECT_GT(clientTop, window.top);
    EXPECT_EQ(control.right - control.left, itemRect.right - itemRect.left);

    // Centring as the host SDK does it: move by the window rectangle, keep the size.
    ASSERT_TRUE(MoveWindow(options.handle(), 300, 200, window.right - window.left, window.bottom - window.top, TRUE));
    RECT moved{};
    GetWindowRect(options.handle(), &moved);
    EXPECT_EQ(moved.left, 300);
    EXPECT_EQ(moved.top, 200);
    EXPECT_EQ(moved.right - moved.left, window.right - window.left);
    GetWindowRect(options.item(IDC_TAGS), &control);
    EXPECT_EQ(control.left - itemRect.left - clientLeft, 300 - window.left);
    ASSERT_TRUE(SetWindowPos(options.handle(), nullptr, 0, 0, 50, 60, SWP_NOMOVE | SWP_NOZORDER));
    GetWindowRect(options.handle(), &moved);
    EXPECT_EQ(moved.left, 300);
    EXPECT_EQ(moved.right - moved.left, 50);
    EXPECT_EQ(moved.bottom - moved.top, 60);
}

TEST(WindowData, LongPointersAndSubclassing) {
    DialogProbe probe;
    ModelessDialog panel(IDD_PANEL, probe);
    const HWND edit = panel.item(IDC_NAME);

    EXPECT_EQ(SetWindowLongPtrA(edit, GWLP_USERDATA, 1234), 0);
    EXPECT_EQ(SetWindowLongPtrA(edit, GWLP_USERDATA, 99), 1234);
    EXPECT_EQ(GetWindowLongPtrA(edit, GWLP_USERDATA), 99);
    EXPECT_EQ(GetWindowLongPtrA(panel.handle(), DWLP_USER), probe.param());
    EXPECT_EQ(GetWindowLongPtrA(edit, DWLP_USER), 0);  // controls have no dialog data
    EXPECT_EQ(GetWindowLongPtrA(edit, GWLP_ID), IDC_NAME);
    EXPECT_EQ(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(edit, GWLP_HINSTANCE)), programInstance());
    EXPECT_EQ(reinterpret_cast<DLGPROC>(GetWindowLongPtrA(panel.handle(), DWLP_DLGPROC)), DialogProbe::procedure);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(edit, GWL_EXSTYLE)), static_cast<DWORD>(WS_EX_CLIENTEDGE));

    // A subclassed edit sees messages first and hands them on.
    static WNDPROC original = nullptr;
    static int setTextSeen = 0;
    setTextSeen = 0;
    original = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(edit, GWLP_WNDPROC));
    const auto subclass = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_SETTEXT) {
            ++setTextSeen;
        }
        return CallWindowProcA(original, window, message, wParam, lParam);
    };
    SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(static_cast<WNDPROC>(subclass)));
    SetDlgItemTextA(panel.handle(), IDC_NAME, "through");
    EXPECT_EQ(setTextSeen, 1);
    EXPECT_EQ(win32::windowText(edit), "through");

    EXPECT_TRUE(IsWindowEnabled(edit));
    EXPECT_FALSE(EnableWindow(edit, FALSE));
    EXPECT_FALSE(IsWindowEnabled(edit));
    EXPECT_TRUE(EnableWindow(edit, TRUE));
}

TEST(PostedMessages, QueueFiltersAndDispatches) {
    DialogProbe probe;
    ModelessDialog panel(IDD_PANEL, probe);
    const HWND edit = panel.item(IDC_NAME);
    ASSERT_TRUE(PostMessageA(panel.handle(), WM_USER + 1, 11, 12));
    ASSERT_TRUE(PostMessageA(edit, WM_USER + 2, 0, 0));
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 3, 0, 0));

    MSG message{};
    EXPECT_TRUE(PeekMessageA(&message, panel.handle(), WM_USER + 2, WM_USER + 2, PM_NOREMOVE));
    EXPECT_EQ(message.hwnd, edit);  // a window's filter takes its children's messages too
    EXPECT_FALSE(PeekMessageA(&message, edit, WM_USER + 1, WM_USER + 1, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(message.wParam, 11u);
    EXPECT_TRUE(probe.all(WM_USER + 1).empty());
    DispatchMessageA(&message);
    ASSERT_EQ(probe.all(WM_USER + 1).size(), 1u);
    EXPECT_EQ(probe.all(WM_USER + 1)[0].lParam, 12);

    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.hwnd, edit);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.hwnd, nullptr);
    EXPECT_EQ(DispatchMessageA(&message), 0);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST(MessageBoxes, AskTheDesktop) {
    win32::RecordingDesktop desktop;
    desktop.answerMessageBox = [](const win32::RecordingDesktop::MessageBoxRecord& box) {
        return box.type & MB_YESNO ? IDNO : IDOK;
    };
    EXPECT_EQ(MessageBoxA(nullptr, "Overwrite?", "Export", MB_YESNO | MB_ICONWARNING), IDNO);
    EXPECT_EQ(MessageBoxA(GetDesktopWindow(), "Done", nullptr, MB_OK), IDOK);
    // An owner that is not a window fails the call before anything is shown.
    EXPECT_EQ(MessageBoxA(reinterpret_cast<HWND>(0x5555), "lost", "x", MB_OK), 0);
    ASSERT_EQ(desktop.messageBoxes.size(), 2u);
    EXPECT_EQ(desktop.messageBoxes[0].owner, nullptr);
    EXPECT_EQ(desktop.messageBoxes[0].text, "Overwrite?");
    EXPECT_EQ(desktop.messageBoxes[0].caption, "Export");
    EXPECT_EQ(desktop.messageBoxes[0].type, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
    EXPECT_EQ(desktop.messageBoxes[1].owner, GetDesktopWindow());
    EXPECT_EQ(desktop.messageBoxes[1].caption, "Error");  // Win32's caption when none is given

    // Without an installed desktop the quiet one answers IDOK.
    win32::setDesktop(nullptr);
    EXPECT_EQ(MessageBoxA(nullptr, "quiet", "x", MB_YESNO), IDOK);
    win32::setDesktop(&desktop);
    EXPECT_EQ(desktop.messageBoxes.size(), 2u);
}

TEST(Controls, ButtonsReportClicksAndHoldCheckStates) {
    DialogProbe probe;
    ModelessDialog options(IDD_OPTIONS, probe);
    const HWND tags = options.item(IDC_TAGS);

    EXPECT_EQ(IsDlgButtonChecked(options.handle(), IDC_TAGS), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_TRUE(CheckDlgButton(options.handle(), IDC_TAGS, BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(options.handle(), IDC_TAGS), static_cast<UINT>(BST_CHECKED));
    EXPECT_TRUE(probe.commands().empty());  // setting the state is not a click

    // A click on an auto check box toggles it, then tells the parent.
    SendMessageA(tags, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(options.handle(), IDC_TAGS), static_cast<UINT>(BST_UNCHECKED));
    ASSERT_EQ(probe.commands(), (std::vector<std::pair<int, int>>{{IDC_TAGS, BN_CLICKED}}));
    EXPECT_EQ(reinterpret_cast<HWND>(probe.all(WM_COMMAND)[0].lParam), tags);

    // A push button only reports; it has no check state. A group box ignores clicks.
    SendDlgItemMessageA(options.handle(), IDC_CLOSE, BM_CLICK, 0, 0);
    SendDlgItemMessageA(options.handle(), IDC_FRAMES, BM_CLICK, 0, 0);
    EXPECT_EQ(probe.commands().back(), (std::pair<int, int>{IDC_CLOSE, BN_CLICKED}));
    EXPECT_EQ(probe.commands().size(), 2u);
    CheckDlgButton(options.handle(), IDC_CLOSE, BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(options.handle(), IDC_CLOSE), 0u);
    EXPECT_FALSE(CheckDlgButton(options.handle(), 4242, BST_CHECKED));

    // A disabled button ignores clicks.
    EnableWindow(tags, FALSE);
    SendMessageA(tags, BM_CLICK, 0, 0);
    EXPECT_EQ(probe.commands().size(), 2u);
    EXPECT_EQ(IsDlgButtonChecked(options.handle(), IDC_TAGS), static_cast<UINT>(BST_UNCHECKED));
}

TEST(Controls, EditsReportChangesAsWin32Does) {
    DialogProbe probe;
    ModelessDialog options(IDD_OPTIONS, probe);
    // A single-line edit reports a program's text as a change; a multi-line edit does not.
    SetDlgItemTextA(options.handle(), IDC_NAME, "model");
    SetDlgItemTextA(options.handle(), IDC_NOTES, "line one");
    EXPECT_EQ(probe.commands(), (std::vector<std::pair<int, int>>{{IDC_NAME, EN_CHANGE}}));

    // Typing reports a change in both; a hidden dialog cannot be typed into.
    ShowWindow(options.handle(), SW_SHOW);
    win32::user::typeText(options.handle(), IDC_NOTES, "typed");
    win32::user::typeText(options.handle(), IDC_NAME, "hero");
    EXPECT_EQ(probe.commands(),
              (std::vector<std::pair<int, int>>{{IDC_NAME, EN_CHANGE}, {IDC_NOTES, EN_CHANGE}, {IDC_NAME, EN_CHANGE}}));
    EXPECT_EQ(win32::windowText(options.item(IDC_NOTES)), "typed");
    ShowWindow(options.handle(), SW_HIDE);
    win32::user::typeText(options.handle(), IDC_NAME, "unseen");
    EXPECT_EQ(win32::windowText(options.item(IDC_NAME)), "hero");
}

TEST(Controls, TrackbarKeepsItsRangeAndDrawsOnRedraw) {
    InitCommonControls();
    EXPECT_TRUE(win32::commonControlsInitialized());
    DialogProbe probe;
    probe.answer = [](HWND dialog, UINT message, WPARAM, LPARAM lParam) -> INT_PTR {
        // Ask for the after-painting notification too, through DWLP_MSGRESULT.
        if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == NM_CUSTOMDRAW) {
            SetWindowLongPtrA(dialog, DWLP_MSGRESULT, CDRF_NOTIFYPOSTPAINT);
            return TRUE;
        }
        return FALSE;
    };
    ModelessDialog options(IDD_OPTIONS, probe);
    const HWND quality = options.item(IDC_QUALITY);
    EXPECT_EQ(SendMessageA(quality, TBM_GETRANGEMIN, 0, 0), 0);
    EXPECT_EQ(SendMessageA(quality, TBM_GETRANGEMAX, 0, 0), 100);

    SendMessageA(quality, TBM_SETRANGE, TRUE, MAKELONG(10, 50));
    EXPECT_EQ(SendMessageA(quality, TBM_GETPOS, 0, 0), 10);  // moved into the new range
    SendMessageA(quality, TBM_SETPOS, TRUE, 75);
    EXPECT_EQ(SendMessageA(quality, TBM_GETPOS, 0, 0), 50);
    SendMessageA(quality, TBM_SETPOS, TRUE, -3);
    EXPECT_EQ(SendMessageA(quality, TBM_GETPOS, 0, 0), 10);
    SendMessageA(quality, TBM_SETRANGEMIN, FALSE, 20);
    SendMessageA(quality, TBM_SETRANGEMAX, FALSE, 30);
    EXPECT_EQ(SendMessageA(quality, TBM_GETRANGEMIN, 0, 0), 20);
    EXPECT_EQ(SendMessageA(quality, TBM_GETRANGEMAX, 0, 0), 30);
    EXPECT_EQ(SendMessageA(quality, TBM_GETPOS, 0, 0), 20);
    EXPECT_TRUE(probe.drawStages(IDC_QUALITY).empty());  // a hidden trackbar does not paint

    ShowWindow(options.handle(), SW_SHOW);
    EXPECT_EQ(probe.drawStages(IDC_QUALITY), (std::vector<DWORD>{CDDS_PREPAINT, CDDS_POSTPAINT}));
    SendMessageA(quality, TBM_SETPOS, FALSE, 25);  // no redraw asked
    EXPECT_EQ(probe.drawStages(IDC_QUALITY).size(), 2u);
    SendMessageA(quality, TBM_SETPOS, TRUE, 26);
    EXPECT_EQ(probe.drawStages(IDC_QUALITY).size(), 4u);
    const ReceivedMessage notify = probe.all(WM_NOTIFY).back();
    EXPECT_EQ(notify.wParam, static_cast<WPARAM>(IDC_QUALITY));
    EXPECT_EQ(notify.notifyFrom, quality);
    EXPECT_EQ(notify.notifyId, static_cast<UINT_PTR>(IDC_QUALITY));
}

}  // namespace

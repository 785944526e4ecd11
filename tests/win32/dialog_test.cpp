// Tests of modal dialogs: the loop driven by a scripted person (trackbar, check box, typing, a
// button whose command closes the dialog), default Enter/Escape/close handling, nested dialogs and
// message boxes, and the ways a modal dialog ends without being answered.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "commctrl.h"
#include "desktop.h"
#include "dialog_probe.h"
#include "recording_desktop.h"
#include "test_resources.h"
#include "windows.h"

namespace {

INT_PTR runModal(int templateId, DialogProbe& probe, HWND owner = nullptr) {
    return DialogBoxParamA(programInstance(), MAKEINTRESOURCE(templateId), owner, DialogProbe::procedure,
                           probe.param());
}

TEST(ModalDialog, ScriptedPersonDrivesTheControls) {
    win32::RecordingDesktop desktop;
    DialogProbe probe;
    HWND quality = nullptr;
    HWND label = nullptr;
    struct {
        LRESULT position = -1;
        UINT tags = 99;
        std::string name;
    } atClose;
    probe.answer = [&](HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG:
            quality = GetDlgItem(dialog, IDC_QUALITY);
            label = GetDlgItem(dialog, IDC_QUALITY_LABEL);
            SendMessageA(quality, TBM_SETRANGE, TRUE, MAKELONG(0, 20));
            SendMessageA(quality, TBM_SETPOS, TRUE, 5);
            CheckDlgButton(dialog, IDC_TAGS, BST_CHECKED);
            return TRUE;
        case WM_NOTIFY: {
            // The label follows the trackbar whenever it paints.
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->code == NM_CUSTOMDRAW && header->idFrom == IDC_QUALITY) {
                const std::string text = "Quality: " + std::to_string(SendMessageA(header->hwndFrom, TBM_GETPOS, 0, 0));
                SetDlgItemTextA(dialog, IDC_QUALITY_LABEL, text.c_str());
            }
            return FALSE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_CLOSE) {
                PostMessageA(dialog, WM_CLOSE, 0, 0);
            }
            return TRUE;
        case WM_CLOSE: {
            atClose.position = SendDlgItemMessageA(dialog, IDC_QUALITY, TBM_GETPOS, 0, 0);
            atClose.tags = IsDlgButtonChecked(dialog, IDC_TAGS);
            char name[32];
            GetDlgItemTextA(dialog, IDC_NAME, name, sizeof name);
            atClose.name = name;
            EndDialog(dialog, 42);
            return TRUE;
        }
        default:
            return FALSE;
        }
    };
    int turn = 0;
    HWND activeWhileOpen = nullptr;
    desktop.script = [&](HWND dialog) {
        activeWhileOpen = GetActiveWindow();
        switch (turn++) {
        case 0:
            win32::user::dragTrackbar(dialog, IDC_QUALITY, 30);  // past the end: kept at 20
            win32::user::setChecked(dialog, IDC_TAGS, false);
            win32::user::setChecked(dialog, IDC_TAGS, false);  // already clear: no click
            win32::user::typeText(dialog, IDC_NAME, "hero");
            return true;
        case 1:
            win32::user::click(dialog, IDC_CLOSE);
            return true;
        default:
            return false;
        }
    };

    EXPECT_EQ(runModal(IDD_OPTIONS, probe, GetDesktopWindow()), 42);
    EXPECT_EQ(turn, 2);
    EXPECT_EQ(activeWhileOpen, probe.dialog);
    EXPECT_FALSE(IsWindow(probe.dialog));
    EXPECT_EQ(GetActiveWindow(), GetDesktopWindow());
    ASSERT_EQ(desktop.shown.size(), 1u);
    EXPECT_EQ(desktop.shown[0].window, probe.dialog);
    EXPECT_EQ(desktop.shown[0].resourceId, IDD_OPTIONS);
    EXPECT_EQ(desktop.destroyed, std::vector<HWND>{probe.dialog});

    // The drag: thumb tracking at the clamped position, release, end of tracking.
    std::vector<std::pair<int, int>> scrolls;
    for (const ReceivedMessage& m : probe.all(WM_HSCROLL)) {
        EXPECT_EQ(reinterpret_cast<HWND>(m.lParam), quality);
        scrolls.emplace_back(LOWORD(m.wParam), HIWORD(m.wParam));
    }
    EXPECT_EQ(scrolls,
              (std::vector<std::pair<int, int>>{{TB_THUMBTRACK, 20}, {TB_THUMBPOSITION, 20}, {TB_ENDTRACK, 0}}));
    // The trackbar painted when the dialog appeared and again when it was dragged.
    EXPECT_EQ(probe.drawStages(IDC_QUALITY), (std::vector<DWORD>{CDDS_PREPAINT, CDDS_PREPAINT}));
    EXPECT_EQ(desktop.textsOf(label), (std::vector<std::string>{"Quality: 5", "Quality: 20"}));
    EXPECT_EQ(probe.commands(), (std::vector<std::pair<int, int>>{
                                    {IDC_TAGS, BN_CLICKED}, {IDC_NAME, EN_CHANGE}, {IDC_CLOSE, BN_CLICKED}}));
    EXPECT_EQ(probe.all(WM_CLOSE).size(), 1u);
    EXPECT_EQ(atClose.position, 20);
    EXPECT_EQ(atClose.tags, static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(atClose.name, "hero");
    EXPECT_EQ(probe.received.front().message, static_cast<UINT>(WM_INITDIALOG));
    EXPECT_EQ(probe.received.back().message, static_cast<UINT>(WM_DESTROY));
}

struct DefaultHandlingCase {
    const char* name;
    int templateId;
    int disabledControl;  // 0: none
    int defaultButton;    // set with DM_SETDEFID; 0: the template's
    std::function<void(HWND dialog)> person;
    INT_PTR expectedResult;
    int commandSourceId;  // the control named by the command's lParam; 0: none
};

TEST(ModalDialog, DefaultEnterEscapeAndCloseHandling) {
    const std::vector<DefaultHandlingCase> cases = {
        {"Enter presses the default push button", IDD_OPTIONS, 0, 0,
         [](HWND d) { win32::user::pressKey(d, VK_RETURN); }, IDOK, IDOK},
        {"Enter follows DM_SETDEFID", IDD_OPTIONS, 0, IDC_CLOSE, [](HWND d) { win32::user::pressKey(d, VK_RETURN); },
         IDC_CLOSE, IDC_CLOSE},
        {"Enter without a default button means IDOK", IDD_BARE, 0, 0,
         [](HWND d) { win32::user::pressKey(d, VK_RETURN); }, IDOK, 0},
        {"Escape means IDCANCEL", IDD_OPTIONS, 0, 0, [](HWND d) { win32::user::pressKey(d, VK_ESCAPE); }, IDCANCEL,
         IDCANCEL},
        {"Escape without a Cancel button", IDD_BARE, 0, 0, [](HWND d) { win32::user::pressKey(d, VK_ESCAPE); },
         IDCANCEL, 0},
        {"closing the window posts IDCANCEL", IDD_OPTIONS, 0, 0, [](HWND d) { PostMessageA(d, WM_CLOSE, 0, 0); },
         IDCANCEL, IDCANCEL},
        {"Enter does nothing while the default button is disabled", IDD_OPTIONS, IDOK, 0,
         [](HWND d) { win32::user::pressKey(d, VK_RETURN); }, -1, 0},
        {"closing does nothing while Cancel is disabled", IDD_OPTIONS, IDCANCEL, 0,
         [](HWND d) { SendMessageA(d, WM_CLOSE, 0, 0); }, -1, 0},
        {"a disabled button cannot be clicked", IDD_OPTIONS, IDC_CLOSE, 0,
         [](HWND d) { win32::user::click(d, IDC_CLOSE); }, -1, 0},
    };
    for (const DefaultHandlingCase& test : cases) {
        SCOPED_TRACE(test.name);
        win32::RecordingDesktop desktop;
        DialogProbe probe;
        probe.answer = [&](HWND dialog, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
            if (message == WM_INITDIALOG) {
                if (test.disabledControl != 0) {
                    EnableWindow(GetDlgItem(dialog, test.disabledControl), FALSE);
                }
                if (test.defaultButton != 0) {
                    SendMessageA(dialog, DM_SETDEFID, test.defaultButton, 0);
                }
            } else if (message == WM_COMMAND) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;  // WM_CLOSE is left to the default handling
        };
        bool acted = false;
        HWND commandSource = nullptr;
        desktop.script = [&](HWND dialog) {
            if (acted) {
                return false;
            }
            acted = true;
            if (test.commandSourceId != 0) {
                commandSource = GetDlgItem(dialog, test.commandSourceId);
            }
            test.person(dialog);
            return true;
        };
        EXPECT_EQ(runModal(test.templateId, probe), test.expectedResult);
        const auto commands = probe.all(WM_COMMAND);
        if (test.expectedResult == -1) {
            EXPECT_TRUE(commands.empty());
        } else {
            ASSERT_EQ(commands.size(), 1u);
            EXPECT_EQ(HIWORD(commands[0].wParam), BN_CLICKED);
            EXPECT_EQ(reinterpret_cast<HWND>(commands[0].lParam), commandSource);
        }
    }
}

TEST(ModalDialog, NestedDialogsAndMessageBoxesKeepTheActiveWindowAlive) {
    win32::RecordingDesktop desktop;
    DialogProbe outer;
    DialogProbe inner;
    HWND activeInInner = nullptr;
    HWND activeAfterInner = nullptr;
    INT_PTR innerResult = 0;
    int answer = 0;
    outer.answer = [&](HWND dialog, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_CLOSE) {
            innerResult = runModal(IDD_BARE, inner, dialog);
            activeAfterInner = GetActiveWindow();
            answer = MessageBoxA(dialog, "Close the options?", "Export", MB_YESNO);
            if (answer == IDYES) {
                EndDialog(dialog, IDOK);
            }
            return TRUE;
        }
        return FALSE;
    };
    inner.answer = [&](HWND dialog, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 7);
            return TRUE;
        }
        return FALSE;
    };
    desktop.script = [&](HWND dialog) {
        if (dialog == inner.dialog) {
            activeInInner = GetActiveWindow();
            EXPECT_EQ(GetParent(dialog), outer.dialog);
            win32::user::pressKey(dialog, VK_ESCAPE);
        } else {
            win32::user::click(dialog, IDC_CLOSE);
        }
        return true;
    };
    desktop.answerMessageBox = [&](const win32::RecordingDesktop::MessageBoxRecord& box) {
        EXPECT_EQ(box.owner, outer.dialog);
        EXPECT_EQ(GetActiveWindow(), outer.dialog);
        return IDYES;
    };

    EXPECT_EQ(runModal(IDD_OPTIONS, outer), IDOK);
    EXPECT_EQ(innerResult, 7);
    EXPECT_EQ(activeInInner, inner.dialog);
    EXPECT_EQ(activeAfterInner, outer.dialog);
    EXPECT_FALSE(IsWindow(inner.dialog));
    EXPECT_EQ(answer, IDYES);
    ASSERT_EQ(desktop.messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.messageBoxes[0].text, "Close the options?");
    EXPECT_EQ(desktop.destroyed, (std::vector<HWND>{inner.dialog, outer.dialog}));
    EXPECT_TRUE(IsWindow(GetActiveWindow()));
    EXPECT_TRUE(win32::topLevelWindows().empty());
}

TEST(ModalDialog, EndsWithoutAnAnswer) {
    {
        SCOPED_TRACE("a person who does nothing leaves the dialog with -1");
        win32::RecordingDesktop desktop;
        DialogProbe probe;
        EXPECT_EQ(runModal(IDD_OPTIONS, probe), -1);
        EXPECT_EQ(desktop.personTurns, 1);
        EXPECT_EQ(desktop.shown.size(), 1u);
        EXPECT_EQ(desktop.destroyed.size(), 1u);
        EXPECT_FALSE(IsWindow(probe.dialog));
    }
    {
        SCOPED_TRACE("a missing template or a bad owner");
        win32::RecordingDesktop desktop;
        DialogProbe probe;
        EXPECT_EQ(runModal(IDD_MISSING, probe), -1);
        EXPECT_EQ(runModal(IDD_OPTIONS, probe, reinterpret_cast<HWND>(0x6666)), 0);
        EXPECT_TRUE(probe.received.empty());
        EXPECT_TRUE(desktop.shown.empty());
        EXPECT_EQ(DialogBoxParamA(programInstance(), nullptr, nullptr, nullptr, 0), -1);
    }
    {
        SCOPED_TRACE("a dialog ended while initialising never appears");
        win32::RecordingDesktop desktop;
        DialogProbe probe;
        probe.answer = [](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
            if (message == WM_INITDIALOG) {
                EndDialog(dialog, 5);
            }
            return FALSE;
        };
        EXPECT_EQ(runModal(IDD_OPTIONS, probe), 5);
        EXPECT_TRUE(desktop.shown.empty());
        EXPECT_EQ(desktop.personTurns, 0);
        EXPECT_EQ(probe.all(WM_DESTROY).size(), 1u);
    }
    {
        SCOPED_TRACE("without a dialog procedure only the defaults answer");
        win32::RecordingDesktop desktop;
        HWND seen = nullptr;
        desktop.script = [&](HWND dialog) {
            if (seen != nullptr) {
                return false;
            }
            seen = dialog;
            win32::user::pressKey(dialog, VK_ESCAPE);  // IDCANCEL: nobody ends the dialog
            return true;
        };
        EXPECT_EQ(DialogBoxParamA(programInstance(), MAKEINTRESOURCE(IDD_OPTIONS), nullptr, nullptr, 0), -1);
        EXPECT_EQ(win32::dialogResourceId(seen), -1);  // gone
        EXPECT_EQ(desktop.personTurns, 2);
    }
    {
        SCOPED_TRACE("a person who acts forever without closing gives up");
        win32::RecordingDesktop desktop;
        DialogProbe probe;
        desktop.script = [](HWND) { return true; };
        EXPECT_EQ(runModal(IDD_BARE, probe), -1);
        EXPECT_GT(desktop.personTurns, 1000);
    }
    EXPECT_TRUE(win32::topLevelWindows().empty());
}

}  // namespace

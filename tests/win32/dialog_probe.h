// A dialog procedure for tests: it records every message its dialog receives (with the custom-draw
// record of WM_NOTIFY copied out) and lets each test decide how the dialog answers.
#ifndef WIN32_TEST_DIALOG_PROBE_H
#define WIN32_TEST_DIALOG_PROBE_H

#include <functional>
#include <vector>

#include "commctrl.h"
#include "windows.h"

struct ReceivedMessage {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    // WM_NOTIFY only: the header and drawing stage the sender passed.
    UINT notifyCode = 0;
    UINT_PTR notifyId = 0;
    HWND notifyFrom = nullptr;
    DWORD drawStage = 0;
};

class DialogProbe {
public:
    // How the dialog answers a message (the dialog procedure's return value); FALSE without one.
    std::function<INT_PTR(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)> answer;
    std::vector<ReceivedMessage> received;
    HWND dialog = nullptr;

    LPARAM param() { return reinterpret_cast<LPARAM>(this); }

    static INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        }
        auto* probe = reinterpret_cast<DialogProbe*>(GetWindowLongPtrA(dialog, DWLP_USER));
        if (probe == nullptr) {
            return FALSE;
        }
        if (message == WM_INITDIALOG) {
            probe->dialog = dialog;
        }
        ReceivedMessage record{message, wParam, lParam, 0, 0, nullptr, 0};
        if (message == WM_NOTIFY) {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            record.notifyCode = header->code;
            record.notifyId = header->idFrom;
            record.notifyFrom = header->hwndFrom;
            if (header->code == NM_CUSTOMDRAW) {
                record.drawStage = reinterpret_cast<const NMCUSTOMDRAW*>(lParam)->dwDrawStage;
            }
        }
        probe->received.push_back(record);
        return probe->answer ? probe->answer(dialog, message, wParam, lParam) : FALSE;
    }

    std::vector<ReceivedMessage> all(UINT message) const {
        std::vector<ReceivedMessage> found;
        for (const ReceivedMessage& m : received) {
            if (m.message == message) {
                found.push_back(m);
            }
        }
        return found;
    }
    // The (control id, notification code) pairs of the WM_COMMAND messages received.
    std::vector<std::pair<int, int>> commands() const {
        std::vector<std::pair<int, int>> found;
        for (const ReceivedMessage& m : all(WM_COMMAND)) {
            found.emplace_back(LOWORD(m.wParam), HIWORD(m.wParam));
        }
        return found;
    }
    // The custom-draw stages a control reported through WM_NOTIFY.
    std::vector<DWORD> drawStages(int controlId) const {
        std::vector<DWORD> found;
        for (const ReceivedMessage& m : all(WM_NOTIFY)) {
            if (m.notifyCode == NM_CUSTOMDRAW && m.notifyId == static_cast<UINT_PTR>(controlId)) {
                found.push_back(m.drawStage);
            }
        }
        return found;
    }
};

inline HINSTANCE programInstance() { return GetModuleHandleA(nullptr); }

#endif

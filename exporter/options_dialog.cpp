// The export options dialog: trackbars for the range, check boxes for the switches and edits
// for the comma-separated name lists, read into the export options when the dialog closes.
#include "options_dialog.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <list>
#include <string>

#include <max.h>
#include <plugin_module.h>

#include "export_options.h"
#include "resource.h"

namespace {

// The last positions the trackbars reported; they outlive the dialog, as the module does.
int32_t sliderFrom = 0;
int32_t sliderTo = 0;

constexpr int kFrameLimit = 400;
constexpr int kListTextSize = 128;

bool isChecked(HWND dialog, int id) { return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void setChecked(HWND dialog, int id, bool checked) {
    SendDlgItemMessageA(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// Appends the non-empty runs between commas, blanks kept.
void readList(HWND dialog, int id, std::list<std::string>& list) {
    char text[kListTextSize] = {};
    GetDlgItemTextA(dialog, id, text, kListTextSize - 1);
    for (char* token = std::strtok(text, ","); token != nullptr; token = std::strtok(nullptr, ",")) {
        list.emplace_back(token);
    }
}

void trackbarMoved(HWND dialog, HWND trackbar, int32_t& value, int labelId, const char* caption) {
    value = static_cast<int32_t>(SendMessageA(trackbar, TBM_GETPOS, 0, 0));
    char label[64];
    std::snprintf(label, sizeof label, "%s: %d", caption, value);
    SetDlgItemTextA(dialog, labelId, label);
}

void closeDialog(HWND dialog) {
    if (sliderFrom > sliderTo) {
        exportOptions.startFrame = sliderTo;
        exportOptions.endFrame = sliderFrom;
    } else {
        exportOptions.startFrame = sliderFrom;
        exportOptions.endFrame = sliderTo;
    }
    exportOptions.relativeToTag = isChecked(dialog, IDC_RELATIVE_TO_TAG);
    exportOptions.smartPaths = isChecked(dialog, IDC_SMART_PATHS);
    exportOptions.ignoreBip = isChecked(dialog, IDC_IGNORE_BIP);
    exportOptions.useNamePrefixes = isChecked(dialog, IDC_USE_NAME_PREFIXES);
    exportOptions.useTagList = isChecked(dialog, IDC_USE_TAG_LIST);
    exportOptions.showWarnings = isChecked(dialog, IDC_SHOW_WARNINGS);
    if (exportOptions.useNamePrefixes) {
        readList(dialog, IDC_NAME_PREFIXES, exportOptions.namePrefixes);
    }
    if (exportOptions.useTagList) {
        readList(dialog, IDC_TAG_NAMES, exportOptions.tagNames);
    }
    EndDialog(dialog, 0);
}

}  // namespace

INT_PTR CALLBACK optionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        CenterWindow(dialog, GetParent(dialog));
        SendDlgItemMessageA(dialog, IDC_SLIDER_FROM, TBM_SETRANGE, TRUE, MAKELONG(0, kFrameLimit));
        SendDlgItemMessageA(dialog, IDC_SLIDER_TO, TBM_SETRANGE, TRUE, MAKELONG(0, kFrameLimit));
        setChecked(dialog, IDC_RELATIVE_TO_TAG, true);
        setChecked(dialog, IDC_SMART_PATHS, true);
        setChecked(dialog, IDC_IGNORE_BIP, true);
        setChecked(dialog, IDC_USE_TAG_LIST, false);
        setChecked(dialog, IDC_USE_NAME_PREFIXES, false);
        setChecked(dialog, IDC_SHOW_WARNINGS, true);
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header == nullptr) {
            return FALSE;
        }
        if (header->idFrom == IDC_SLIDER_FROM) {
            trackbarMoved(dialog, header->hwndFrom, sliderFrom, IDC_LABEL_FROM, "From");
            return TRUE;
        }
        if (header->idFrom == IDC_SLIDER_TO) {
            trackbarMoved(dialog, header->hwndFrom, sliderTo, IDC_LABEL_TO, "To");
            return TRUE;
        }
        return FALSE;
    }
    case WM_COMMAND:
        if (HIWORD(wParam) == 0 && LOWORD(wParam) == IDC_EXPORT_NOW) {
            PostMessageA(dialog, WM_CLOSE, 0, 0);
        }
        return TRUE;
    case WM_CLOSE:
        closeDialog(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR runOptionsDialog(HWND owner) {
    return DialogBoxParamA(pluginInstance(), MAKEINTRESOURCEA(IDD_OPTIONS), owner, optionsDialogProc, 0);
}

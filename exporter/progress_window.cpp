// The export's progress dialog (resource 102) and its text control.
#include "progress_window.h"

#include <cstdarg>
#include <cstdio>

#include "resource.h"

void ProgressWindow::open(HINSTANCE instance) {
    window_ = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), GetActiveWindow(), nullptr, 0);
}

void ProgressWindow::setText(const char* format, ...) {
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (window_ != nullptr) {
        SendDlgItemMessageA(window_, IDC_PROGRESS_TEXT, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
}

void ProgressWindow::close() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
        window_ = nullptr;
    }
}

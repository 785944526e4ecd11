// The progress window of an export: a modeless dialog whose one text shows what is being
// written. It closes when the object goes away, so every way out of an export closes it.
#ifndef BRINDLARK_PROGRESS_WINDOW_H
#define BRINDLARK_PROGRESS_WINDOW_H

#include <windows.h>

class ProgressWindow {
public:
    ProgressWindow() = default;
    ~ProgressWindow() { close(); }
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    // Opens the dialog from the module's resources, owned by the active window. Without it the
    // export goes on and text updates do nothing.
    void open(HINSTANCE instance);
    // Formats the text into a 256-byte buffer (longer texts are cut to fit) and shows it.
    void setText(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void close();

private:
    HWND window_ = nullptr;
};

#endif

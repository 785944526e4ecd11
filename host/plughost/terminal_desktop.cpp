// Message boxes and the progress window on a terminal.
#include "terminal_desktop.h"

#include <unistd.h>

namespace host {

std::string oneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            if (!line.empty() && line.back() != ' ') {
                line += ' ';
            }
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

TerminalDesktop::TerminalDesktop(std::FILE* out) : out_(out), terminal_(isatty(fileno(out)) != 0) {}

TerminalDesktop::~TerminalDesktop() { clearProgress(); }

void TerminalDesktop::clearProgress() {
    if (progressShown_) {
        std::fputs("\r\033[K", out_);
        std::fflush(out_);
        progressShown_ = false;
    }
}

int TerminalDesktop::messageBox(HWND /*owner*/, const std::string& text, const std::string& caption, UINT /*type*/) {
    clearProgress();
    std::fprintf(out_, "warning: %s: %s\n", caption.c_str(), oneLine(text).c_str());
    std::fflush(out_);
    return IDOK;
}

void TerminalDesktop::windowTextChanged(HWND window, const std::string& text) {
    if (!terminal_ || window == nullptr) {
        return;
    }
    HWND top = GetParent(window);
    if (top == nullptr || top == GetDesktopWindow() || win32::dialogResourceId(top) == ignoredDialog_) {
        return;
    }
    std::fprintf(out_, "\r\033[K%s", oneLine(text).c_str());
    std::fflush(out_);
    progressShown_ = true;
}

void TerminalDesktop::windowDestroyed(HWND /*window*/) { clearProgress(); }

bool TerminalDesktop::personActs(HWND dialog) { return person_ ? person_(dialog) : false; }

void TerminalDesktop::assertionFailed(int line, const std::string& file) {
    clearProgress();
    std::fprintf(out_, "warning: assertion failed at line %d of %s\n", line, file.c_str());
    std::fflush(out_);
}

}  // namespace host

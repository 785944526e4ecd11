// The desktop of the command line: message boxes become warnings on standard error, and a
// window whose text keeps changing (the export's progress window) becomes one progress line
// when standard error is a terminal.
#ifndef HOST_PLUGHOST_TERMINAL_DESKTOP_H
#define HOST_PLUGHOST_TERMINAL_DESKTOP_H

#include <cstdio>
#include <functional>
#include <string>

#include <desktop.h>

namespace host {

class TerminalDesktop : public win32::Desktop {
public:
    explicit TerminalDesktop(std::FILE* out = stderr);
    ~TerminalDesktop() override;

    int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override;
    void windowTextChanged(HWND window, const std::string& text) override;
    void windowDestroyed(HWND window) override;
    bool personActs(HWND dialog) override;
    void assertionFailed(int line, const std::string& file) override;

    // What the person does when a modal dialog waits; without it the person does nothing.
    void setPerson(std::function<bool(HWND)> person) { person_ = std::move(person); }
    // Text changes inside the dialog built from this template are the person's own doing,
    // not progress.
    void setIgnoredDialog(int resourceId) { ignoredDialog_ = resourceId; }

private:
    void clearProgress();

    std::FILE* out_;
    bool terminal_;
    bool progressShown_ = false;
    std::function<bool(HWND)> person_;
    int ignoredDialog_ = -1;
};

// A message box's text on one line: its line breaks become blanks.
std::string oneLine(const std::string& text);

}  // namespace host

#endif

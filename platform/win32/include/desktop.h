// The desktop: everything a person sees (message boxes, windows and their texts) and does
// (moving a trackbar, ticking a check box, typing, pressing a button) on a platform without a
// screen. The Win32 stand-in reports to the installed Desktop and asks it what the person does
// while a modal dialog waits; tests install a scripted or recording one, the command-line host
// one that applies the user's flags and prints to the terminal.
#ifndef WIN32_STANDIN_DESKTOP_H
#define WIN32_STANDIN_DESKTOP_H

#include <string>
#include <vector>

#include "windows.h"

namespace win32 {

class WIN32_STANDIN_API Desktop {
public:
    virtual ~Desktop();

    // A modal message box is open; answer the id of the button the person presses.
    virtual int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

    // A top-level window (a dialog, modeless or modal) has appeared.
    virtual void windowShown(HWND window);
    // The text of a window or control has changed.
    virtual void windowTextChanged(HWND window, const std::string& text);
    // A top-level window is going away.
    virtual void windowDestroyed(HWND window);

    // A modal dialog's message queue is empty and it waits for the person. The desktop acts
    // through the calls of namespace user below. Answer false when the person does nothing
    // more: the modal loop then ends the dialog with -1, as when a dialog cannot run.
    virtual bool personActs(HWND dialog);

    // The host SDK reports a failed assertion (line and source file).
    virtual void assertionFailed(int line, const std::string& file);
};

// The desktop in use. Until one is installed, a quiet default answers IDOK to every message box
// and does nothing in dialogs.
WIN32_STANDIN_API Desktop& desktop();
// Installs a desktop (not owned); nullptr restores the default.
WIN32_STANDIN_API void setDesktop(Desktop* desktop);

// What a person does to a dialog's controls, with the messages Win32 sends for it.
namespace user {
// Drags the trackbar's thumb to a position (kept inside its range); the parent hears about the
// move and about the redraw, as with the common-controls trackbar.
WIN32_STANDIN_API void dragTrackbar(HWND dialog, int controlId, int position);
// Clicks a button: a push button sends its command, an auto check box toggles first.
WIN32_STANDIN_API void click(HWND dialog, int controlId);
// Clicks an auto check box when its state differs from the wanted one.
WIN32_STANDIN_API void setChecked(HWND dialog, int controlId, bool checked);
// Replaces the text of an edit control, as typing would.
WIN32_STANDIN_API void typeText(HWND dialog, int controlId, const std::string& text);
// Presses Enter (VK_RETURN) or Escape (VK_ESCAPE) in the dialog.
WIN32_STANDIN_API void pressKey(HWND dialog, int virtualKey);
}  // namespace user

// What a desktop can read off a window.
WIN32_STANDIN_API std::string windowText(HWND window);
WIN32_STANDIN_API std::string windowClassName(HWND window);
WIN32_STANDIN_API int dialogResourceId(HWND dialog);  // the template id a dialog was built from, or -1
// The child windows (controls) of a window, in creation order; empty for an unknown handle.
WIN32_STANDIN_API std::vector<HWND> childWindows(HWND window);
// The live top-level windows other than the host's main window, oldest first.
WIN32_STANDIN_API std::vector<HWND> topLevelWindows();
// Whether InitCommonControls has been called in this process.
WIN32_STANDIN_API bool commonControlsInitialized();

}  // namespace win32

#endif

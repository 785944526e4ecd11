// A desktop for tests: it records what a person would see (message boxes, windows appearing and
// going away, text changes, failed assertions), answers message boxes and acts in dialogs from a
// script, and installs itself for its lifetime.
#ifndef WIN32_STANDIN_RECORDING_DESKTOP_H
#define WIN32_STANDIN_RECORDING_DESKTOP_H

#include <functional>
#include <string>
#include <vector>

#include "desktop.h"

namespace win32 {

class RecordingDesktop : public Desktop {
public:
    struct MessageBoxRecord {
        HWND owner = nullptr;
        std::string text;
        std::string caption;
        UINT type = 0;
    };
    struct ShownWindow {
        HWND window = nullptr;
        int resourceId = -1;  // the dialog's template id when it was shown
        std::string className;
        std::string text;
    };
    struct TextChange {
        HWND window = nullptr;
        std::string text;
    };
    struct Assertion {
        int line = 0;
        std::string file;
    };

    // Installs this desktop; the one installed before comes back when it goes.
    RecordingDesktop() : previous_(&desktop()) { setDesktop(this); }
    ~RecordingDesktop() override { setDesktop(previous_); }
    RecordingDesktop(const RecordingDesktop&) = delete;
    RecordingDesktop& operator=(const RecordingDesktop&) = delete;

    // What the person does while a modal dialog waits: act through win32::user and answer whether
    // they did something. Without a script the person does nothing.
    std::function<bool(HWND dialog)> script;
    // The button the person presses in a message box; IDOK without one.
    std::function<int(const MessageBoxRecord&)> answerMessageBox;

    std::vector<MessageBoxRecord> messageBoxes;
    std::vector<ShownWindow> shown;
    std::vector<HWND> destroyed;
    std::vector<TextChange> textChanges;  // every change, in order
    std::vector<Assertion> assertions;
    int personTurns = 0;

    // The texts a window has had, in order.
    std::vector<std::string> textsOf(HWND window) const {
        std::vector<std::string> texts;
        for (const TextChange& change : textChanges) {
            if (change.window == window) {
                texts.push_back(change.text);
            }
        }
        return texts;
    }

    int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override {
        messageBoxes.push_back(MessageBoxRecord{owner, text, caption, type});
        return answerMessageBox ? answerMessageBox(messageBoxes.back()) : IDOK;
    }
    void windowShown(HWND window) override {
        shown.push_back(ShownWindow{window, dialogResourceId(window), windowClassName(window), windowText(window)});
    }
    void windowTextChanged(HWND window, const std::string& text) override {
        textChanges.push_back(TextChange{window, text});
    }
    void windowDestroyed(HWND window) override { destroyed.push_back(window); }
    bool personActs(HWND dialog) override {
        ++personTurns;
        return script ? script(dialog) : false;
    }
    void assertionFailed(int line, const std::string& file) override { assertions.push_back(Assertion{line, file}); }

private:
    Desktop* previous_;
};

}  // namespace win32

#endif

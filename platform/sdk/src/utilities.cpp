// Host utilities plug-ins call by name: assertions, window centring, custom controls.
#include <desktop.h>

#include "utilexp.h"

namespace {
int gCustomControlsInits = 0;
}

void assert1(int line, const char* file) { win32::desktop().assertionFailed(line, file != nullptr ? file : ""); }

void CenterWindow(HWND window, HWND parent) {
    RECT windowRect{};
    if (!GetWindowRect(window, &windowRect)) {
        return;
    }
    RECT parentRect{};
    if (parent == nullptr || !GetWindowRect(parent, &parentRect)) {
        if (!GetWindowRect(GetDesktopWindow(), &parentRect)) {
            return;
        }
    }
    const LONG width = windowRect.right - windowRect.left;
    const LONG height = windowRect.bottom - windowRect.top;
    const LONG x = parentRect.left + ((parentRect.right - parentRect.left) - width) / 2;
    const LONG y = parentRect.top + ((parentRect.bottom - parentRect.top) - height) / 2;
    MoveWindow(window, x, y, width, height, FALSE);
}

void InitCustomControls(HINSTANCE /*instance*/) { ++gCustomControlsInits; }

int CustomControlsInitCount() { return gCustomControlsInits; }

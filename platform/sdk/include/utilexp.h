// Host utilities that plug-ins call by name.
#ifndef MAXSDK_UTILEXP_H
#define MAXSDK_UTILEXP_H

#include "maxtypes.h"

// Reports a failed assertion at a line of a source file; the program carries on.
MAXSDK_API void assert1(int line, const char* file);
// Centres a window over another (over the desktop when the other is null).
MAXSDK_API void CenterWindow(HWND window, HWND parent);
// Prepares the host's custom controls for a plug-in module.
MAXSDK_API void InitCustomControls(HINSTANCE instance);
// Stand-in only: how many modules have prepared the custom controls.
MAXSDK_API int CustomControlsInitCount();

// Plug-in modules export exactly these, with C names.
#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

#endif

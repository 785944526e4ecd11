// The host interface handed to plug-ins.
#ifndef MAXSDK_MAXAPI_H
#define MAXSDK_MAXAPI_H

#include "maxtypes.h"

class MAXSDK_API Interface {
public:
    virtual ~Interface();
    // The current time of the scene, in ticks.
    virtual TimeValue GetTime() = 0;
    virtual void SetTime(TimeValue time, BOOL redraw = TRUE) = 0;
    virtual Interval GetAnimRange() = 0;
    // The host's main window.
    virtual HWND GetMAXHWnd() = 0;
};

#endif

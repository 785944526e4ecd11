// Library entry point, exported library functions and the string loader of a plug-in module.
#include <commctrl.h>

#include "plugin_module.h"

namespace {
HINSTANCE gInstance = nullptr;
int gControlsInitialised = 0;
TCHAR gStringBuffer[256];
}  // namespace

HINSTANCE pluginInstance() { return gInstance; }

BOOL WINAPI DllMain(HINSTANCE instance, ULONG /*reason*/, LPVOID /*reserved*/) {
    gInstance = instance;
    if (!gControlsInitialised) {
        gControlsInitialised = 1;
        InitCustomControls(gInstance);
        InitCommonControls();
    }
    return TRUE;
}

const TCHAR* LibDescription() { return loadResourceString(IDS_LIBDESCRIPTION); }

int LibNumberClasses() { return 1; }

ClassDesc* LibClassDesc(int index) { return index == 0 ? moduleClassDescriptor() : nullptr; }

ULONG LibVersion() { return VERSION_3DSMAX; }

const TCHAR* loadResourceString(int id) {
    if (gInstance == nullptr) {
        return nullptr;
    }
    if (LoadStringA(gInstance, static_cast<UINT>(id), gStringBuffer, static_cast<int>(sizeof gStringBuffer)) != 0) {
        return gStringBuffer;
    }
    return nullptr;
}

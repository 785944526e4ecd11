// A loadable module with resources of its own, as a plug-in module is: it loads its strings
// through its own instance handle.
#include "win32_resources.h"
#include "windows.h"

extern "C" __attribute__((visibility("default"))) int win32TestModuleLoadString(UINT id, char* buffer, int size) {
    const HINSTANCE self = win32::moduleHandleOf(reinterpret_cast<const void*>(&win32TestModuleLoadString));
    return LoadStringA(self, id, buffer, size);
}

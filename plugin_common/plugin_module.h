// The plug-in entry code shared by both modules: the library entry point, the four exported
// library functions and the string loader. Each module supplies its class descriptor.
#ifndef PLUGIN_COMMON_PLUGIN_MODULE_H
#define PLUGIN_COMMON_PLUGIN_MODULE_H

#include <max.h>

#include "plugin_strings.h"

// Provided by each module: its one class descriptor.
ClassDesc* moduleClassDescriptor();

// The module's instance handle, as the entry point stored it (null before the first call).
HINSTANCE pluginInstance();

// A string of the module's string table, in the module's one 256-character buffer: every call
// overwrites it. Null before the instance handle is known, or when there is no such string.
const TCHAR* loadResourceString(int id);

// Exported by the module, called by the host.
PLUGIN_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, ULONG reason, LPVOID reserved);
PLUGIN_EXPORT const TCHAR* LibDescription();
PLUGIN_EXPORT int LibNumberClasses();
PLUGIN_EXPORT ClassDesc* LibClassDesc(int index);
PLUGIN_EXPORT ULONG LibVersion();

#endif

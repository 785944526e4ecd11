// String-table ids every plug-in module defines in its resource script and the entry code reads.
// Plain definitions only: resource scripts include this file too.
#ifndef PLUGIN_COMMON_PLUGIN_STRINGS_H
#define PLUGIN_COMMON_PLUGIN_STRINGS_H

#define IDS_LIBDESCRIPTION 1
#define IDS_CATEGORY 2
#define IDS_CLASS_NAME 3

#endif

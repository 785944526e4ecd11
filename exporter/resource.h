// Resource ids of the exporter module: dialogs, controls and strings.
#ifndef BRINDLARK_RESOURCE_H
#define BRINDLARK_RESOURCE_H

#include <brindlark/resource_ids.h>
#include <plugin_strings.h>

#endif

// Resource ids of the importer module.
#ifndef CORVINALE_RESOURCE_H
#define CORVINALE_RESOURCE_H

#include <plugin_strings.h>

#endif

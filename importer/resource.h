// Resource ids of the importer module.
#ifndef CORVINALE_RESOURCE_H
#define CORVINALE_RESOURCE_H

#define IDS_LIBDESCRIPTION 1
#define IDS_CATEGORY 2
#define IDS_CLASS_NAME 3

#endif

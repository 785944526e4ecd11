// The importer module's static objects: its one class descriptor.
#include <plugin_module.h>

#include "model_importer.h"

namespace {
ModelImporterClassDesc importerDescriptor;
}

ClassDesc* moduleClassDescriptor() { return &importerDescriptor; }

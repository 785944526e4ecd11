// The exporter module's static objects, defined together so that they are constructed in this
// order when the module loads (the option lists, then the descriptor) and destroyed in reverse.
#include <plugin_module.h>

#include "export_options.h"
#include "model_exporter.h"

ExportOptions exportOptions;

namespace {
ModelExporterClassDesc exporterDescriptor;
}

ClassDesc* moduleClassDescriptor() { return &exporterDescriptor; }

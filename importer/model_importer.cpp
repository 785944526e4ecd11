// The importer's descriptor and import object: the host's entry into an import.
#include "model_importer.h"

#include <cstdio>
#include <new>

#include <plugin_module.h>

#include "model_readers.h"

void* ModelImporterClassDesc::Create(BOOL /*loading*/) { return new (std::nothrow) ModelImporter(); }
const TCHAR* ModelImporterClassDesc::ClassName() { return loadResourceString(IDS_CLASS_NAME); }
const TCHAR* ModelImporterClassDesc::Category() { return loadResourceString(IDS_CATEGORY); }
HINSTANCE ModelImporterClassDesc::HInstance() { return pluginInstance(); }

int ModelImporter::DoImport(const TCHAR* name, ImpInterface* ii, Interface* /*i*/, BOOL /*suppressPrompts*/) {
    if (name == nullptr) {
        return 0;
    }
    std::FILE* file = std::fopen(name, "rb");
    if (file == nullptr) {
        return 0;
    }
    const int result = readModelFile(ii, file);
    std::fclose(file);
    if (result != 1) {
        return 0;
    }
    ii->RedrawViews();
    return 1;
}

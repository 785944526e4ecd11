// The importer's descriptor and import object: the host's entry into an import.
#include "model_importer.h"

#include <cstdio>
#include <cstring>
#include <new>

#include <modelformat/md2_reader.h>
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
    char magic[4] = {};
    const bool complete = std::fread(magic, 1, sizeof magic, file) == sizeof magic;
    int result = 0;
    if (complete && std::memcmp(magic, "IDP3", 4) == 0) {
        result = readMd3Model(ii, file);
    } else if (complete && std::memcmp(magic, "IDP2", 4) == 0) {
        std::fseek(file, 0, SEEK_SET);
        result = readMd2Model(ii, file, modelformat::kMd2ImportFrame);
    }
    std::fclose(file);
    if (result != 1) {
        return 0;
    }
    ii->RedrawViews();
    return 1;
}

// The exporter's descriptor and export object: the host's entry into an export.
#include "model_exporter.h"

#include <new>

#include <plugin_module.h>

#include "export_options.h"
#include "md3_file_writer.h"
#include "options_dialog.h"

void* ModelExporterClassDesc::Create(BOOL /*loading*/) { return new (std::nothrow) ModelExporter(); }
const TCHAR* ModelExporterClassDesc::ClassName() { return loadResourceString(IDS_CLASS_NAME); }
const TCHAR* ModelExporterClassDesc::Category() { return loadResourceString(IDS_CATEGORY); }
HINSTANCE ModelExporterClassDesc::HInstance() { return pluginInstance(); }

const TCHAR* ModelExporter::Ext(int /*n*/) { return "MD3"; }

int ModelExporter::DoExport(const TCHAR* name, ExpInterface* ei, Interface* i, BOOL suppressPrompts, DWORD options) {
    exportOptions.ticksPerFrame = GetTicksPerFrame();
    // Without the dialog the export covers the single frame at the current time; the division
    // truncates toward zero, also before frame 0.
    const TimeValue now = i != nullptr ? i->GetTime() : 0;
    exportOptions.startFrame = exportOptions.endFrame =
        exportOptions.ticksPerFrame != 0 ? now / exportOptions.ticksPerFrame : 0;
    if (!suppressPrompts) {
        runOptionsDialog(GetActiveWindow());
    }
    Md3FileWriter writer;
    return writer.writeFile(name, ei, i, suppressPrompts, options);
}

BOOL ModelExporter::SupportsOptions(int ext, DWORD options) {
    if (ext != 0) {
        assert1(291, "Brindlark");
    }
    return options == SCENE_EXPORT_SELECTED ? TRUE : FALSE;
}

// The exporter's registration with the host: its class descriptor and export object.
#ifndef BRINDLARK_MODEL_EXPORTER_H
#define BRINDLARK_MODEL_EXPORTER_H

#include <max.h>

#define BRINDLARK_CLASS_ID Class_ID(0x35A0CC95, 0x7098CBF0)

class ModelExporterClassDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    void* Create(BOOL loading = FALSE) override;
    const TCHAR* ClassName() override;
    SClass_ID SuperClassID() override { return SCENE_EXPORT_CLASS_ID; }
    Class_ID ClassID() override { return BRINDLARK_CLASS_ID; }
    const TCHAR* Category() override;
    const TCHAR* InternalName() override { return "Brindlark"; }
    HINSTANCE HInstance() override;
};

class ModelExporter : public ExportPluginInterface {
public:
    int ExtCount() override { return 1; }
    const TCHAR* Ext(int n) override;
    const TCHAR* LongDesc() override { return "Quake III Arena Model File"; }
    const TCHAR* ShortDesc() override { return "Quake III"; }
    const TCHAR* AuthorName() override { return "Tallowby"; }
    const TCHAR* CopyrightMessage() override { return "Copyright (C) 2000 Tallowby"; }
    const TCHAR* OtherMessage1() override { return ""; }
    const TCHAR* OtherMessage2() override { return ""; }
    unsigned int Version() override { return 100; }
    void ShowAbout(HWND /*parent*/) override {}
    int DoExport(const TCHAR* name, ExpInterface* ei, Interface* i, BOOL suppressPrompts = FALSE,
                 DWORD options = 0) override;
    BOOL SupportsOptions(int ext, DWORD options) override;
};

#endif

// The importer's registration with the host: its class descriptor and import object.
#ifndef CORVINALE_MODEL_IMPORTER_H
#define CORVINALE_MODEL_IMPORTER_H

#include <max.h>

#define CORVINALE_CLASS_ID Class_ID(0x081D969C, 0x470CA8B6)

class ModelImporterClassDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    void* Create(BOOL loading = FALSE) override;
    const TCHAR* ClassName() override;
    SClass_ID SuperClassID() override { return SCENE_IMPORT_CLASS_ID; }
    Class_ID ClassID() override { return CORVINALE_CLASS_ID; }
    const TCHAR* Category() override;
    // "Corvinalx", not "Corvinale", on purpose: it is the original module's internal name.
    const TCHAR* InternalName() override { return "Corvinalx"; }
    HINSTANCE HInstance() override;
};

class ModelImporter : public ImportPluginInterface {
public:
    int ExtCount() override { return 2; }
    const TCHAR* Ext(int n) override { return n == 1 ? "MD3" : "MD2"; }
    const TCHAR* LongDesc() override { return "Quake II/III Model File"; }
    const TCHAR* ShortDesc() override { return "Quake II/III"; }
    const TCHAR* AuthorName() override { return "Maren Tallowby"; }
    const TCHAR* CopyrightMessage() override { return ""; }
    const TCHAR* OtherMessage1() override { return ""; }
    const TCHAR* OtherMessage2() override { return ""; }
    unsigned int Version() override { return 100; }
    void ShowAbout(HWND /*parent*/) override {}
    // Recognises the file by its magic, whatever its name: "IDP3" is read as MD3, "IDP2" as MD2.
    int DoImport(const TCHAR* name, ImpInterface* ii, Interface* i, BOOL suppressPrompts = FALSE) override;
};

#endif

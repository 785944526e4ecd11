// Import and export plug-in interfaces, and what the host hands to them.
#ifndef MAXSDK_IMPEXP_H
#define MAXSDK_IMPEXP_H

#include "inode.h"
#include "maxapi.h"

typedef int RefResult;
#define REF_SUCCEED 1
#define REF_FAIL 0

// The export context: its first member is the scene to export.
class MAXSDK_API ExpInterface {
public:
    IScene* theScene;
};

// Bit 0 of an export's options word: export the selected nodes only.
#define SCENE_EXPORT_SELECTED (1 << 0)

// A node under construction by an importer.
class MAXSDK_API ImpNode {
public:
    virtual ~ImpNode();
    // Makes the node show the object; the node takes ownership of it.
    virtual RefResult Reference(Object* object) = 0;
    virtual void SetTransform(TimeValue time, Matrix3 tm) = 0;
    // The host keeps its own copy of the name.
    virtual void SetName(const TCHAR* name) = 0;
    virtual INode* GetINode() = 0;
};

class MAXSDK_API ImpInterface {
public:
    virtual ~ImpInterface();
    // A new node, or null when none can be made.
    virtual ImpNode* CreateNode() = 0;
    virtual void AddNodeToScene(ImpNode* node) = 0;
    // The finishing call of an import: the views show the new nodes.
    virtual void RedrawViews() = 0;
};

class MAXSDK_API ExportPluginInterface {
public:
    virtual ~ExportPluginInterface();
    virtual int ExtCount() = 0;
    virtual const TCHAR* Ext(int n) = 0;
    virtual const TCHAR* LongDesc() = 0;
    virtual const TCHAR* ShortDesc() = 0;
    virtual const TCHAR* AuthorName() = 0;
    virtual const TCHAR* CopyrightMessage() = 0;
    virtual const TCHAR* OtherMessage1() = 0;
    virtual const TCHAR* OtherMessage2() = 0;
    virtual unsigned int Version() = 0;
    virtual void ShowAbout(HWND parent) = 0;
    virtual int DoExport(const TCHAR* name, ExpInterface* ei, Interface* i, BOOL suppressPrompts = FALSE,
                         DWORD options = 0) = 0;
    virtual BOOL SupportsOptions(int ext, DWORD options);
};

#define ZOOMEXT_NOT_IMPLEMENTED (-1)

class MAXSDK_API ImportPluginInterface {
public:
    virtual ~ImportPluginInterface();
    virtual int ExtCount() = 0;
    virtual const TCHAR* Ext(int n) = 0;
    virtual const TCHAR* LongDesc() = 0;
    virtual const TCHAR* ShortDesc() = 0;
    virtual const TCHAR* AuthorName() = 0;
    virtual const TCHAR* CopyrightMessage() = 0;
    virtual const TCHAR* OtherMessage1() = 0;
    virtual const TCHAR* OtherMessage2() = 0;
    virtual unsigned int Version() = 0;
    virtual void ShowAbout(HWND parent) = 0;
    virtual int DoImport(const TCHAR* name, ImpInterface* ii, Interface* i, BOOL suppressPrompts = FALSE) = 0;
    virtual int ZoomExtents();
};

#endif

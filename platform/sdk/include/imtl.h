// Materials and texture maps as plug-ins see them.
#ifndef MAXSDK_IMTL_H
#define MAXSDK_IMTL_H

#include "maxtypes.h"

// Sub-texmap slots of the standard material.
#define ID_AM 0  // ambient
#define ID_DI 1  // diffuse
#define ID_SP 2  // specular

class MAXSDK_API Texmap {
public:
    virtual ~Texmap();
    virtual Class_ID ClassID() = 0;
    virtual SClass_ID SuperClassID() { return TEXMAP_CLASS_ID; }
};

// A texture map showing an image file: class Class_ID(BMTEX_CLASS_ID, 0).
class MAXSDK_API BitmapTex : public Texmap {
public:
    Class_ID ClassID() override { return Class_ID(BMTEX_CLASS_ID, 0); }
    // The image file's path.
    virtual TCHAR* GetMapName() = 0;
};

class MAXSDK_API Mtl {
public:
    virtual ~Mtl();
    virtual int NumSubTexmaps() { return 0; }
    // The texture map in a slot (ID_DI for the diffuse map), or null.
    virtual Texmap* GetSubTexmap(int /*slot*/) { return nullptr; }
    virtual SClass_ID SuperClassID() { return MATERIAL_CLASS_ID; }
};

#endif

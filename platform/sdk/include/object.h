// Objects as the host evaluates them: the base object, its evaluated state, and the triangle
// object every geometric object can be converted to.
#ifndef MAXSDK_OBJECT_H
#define MAXSDK_OBJECT_H

#include "mesh.h"

class MAXSDK_API Object {
public:
    virtual ~Object();
    virtual Class_ID ClassID() = 0;
    virtual SClass_ID SuperClassID() { return GEOMOBJECT_CLASS_ID; }
    // Non-zero when the object can turn itself into an object of the class.
    virtual int CanConvertToType(Class_ID classId) = 0;
    // The object converted to the class at a time: the object itself when it already is of that
    // class, else a new object that the caller owns and frees with DeleteThis.
    virtual Object* ConvertToType(TimeValue time, Class_ID classId) = 0;
    // Frees an object that the caller owns.
    virtual void DeleteThis();
};

// The result of evaluating a node: the object at the end of its pipeline.
class MAXSDK_API ObjectState {
public:
    ObjectState() : obj(nullptr) {}
    explicit ObjectState(Object* object) : obj(object) {}
    Object* obj;
};

MAXSDK_API extern const Class_ID triObjectClassID;

class MAXSDK_API TriObject : public Object {
public:
    TriObject();
    ~TriObject() override;
    Class_ID ClassID() override;
    int CanConvertToType(Class_ID classId) override;
    Object* ConvertToType(TimeValue time, Class_ID classId) override;
    Mesh& GetMesh() { return mesh; }

    Mesh mesh;
};

// A new, empty triangle object, or null when it cannot be created.
MAXSDK_API TriObject* CreateNewTriObject();

#endif

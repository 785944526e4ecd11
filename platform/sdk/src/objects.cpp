// Objects, triangle objects and the destructors of the host's abstract interfaces.
#include <new>

#include "impexp.h"
#include "iparamb2.h"

const Class_ID triObjectClassID(TRIOBJ_CLASS_ID, 0);

Object::~Object() = default;
void Object::DeleteThis() { delete this; }

TriObject::TriObject() = default;
TriObject::~TriObject() = default;
Class_ID TriObject::ClassID() { return triObjectClassID; }
int TriObject::CanConvertToType(Class_ID classId) { return classId == triObjectClassID ? 1 : 0; }
Object* TriObject::ConvertToType(TimeValue /*time*/, Class_ID classId) {
    return classId == triObjectClassID ? this : nullptr;
}

TriObject* CreateNewTriObject() { return new (std::nothrow) TriObject(); }

Texmap::~Texmap() = default;
Mtl::~Mtl() = default;
INode::~INode() = default;
ITreeEnumProc::~ITreeEnumProc() = default;
IScene::~IScene() = default;
Interface::~Interface() = default;
ImpNode::~ImpNode() = default;
ImpInterface::~ImpInterface() = default;
ExportPluginInterface::~ExportPluginInterface() = default;
BOOL ExportPluginInterface::SupportsOptions(int /*ext*/, DWORD /*options*/) { return FALSE; }
ImportPluginInterface::~ImportPluginInterface() = default;
int ImportPluginInterface::ZoomExtents() { return ZOOMEXT_NOT_IMPLEMENTED; }

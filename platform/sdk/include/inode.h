// Scene nodes, the scene and its enumeration.
#ifndef MAXSDK_INODE_H
#define MAXSDK_INODE_H

#include "imtl.h"
#include "object.h"

class MAXSDK_API INode {
public:
    virtual ~INode();
    virtual TCHAR* GetName() = 0;
    // Non-zero when the node is selected.
    virtual int Selected() = 0;
    // The node's object evaluated at a time, world-space modifiers included.
    virtual const ObjectState& EvalWorldState(TimeValue time, BOOL evalHidden = TRUE) = 0;
    // The transform that takes the node's object-space points to world space at a time.
    virtual Matrix3 GetObjectTM(TimeValue time, Interval* valid = nullptr) = 0;
    // The node's own pivot transform (without the object offset) at a time.
    virtual Matrix3 GetNodeTM(TimeValue time, Interval* valid = nullptr) = 0;
    virtual Mtl* GetMtl() = 0;
    virtual INode* GetParentNode() = 0;
    virtual int NumberOfChildren() = 0;
    virtual INode* GetChildNode(int i) = 0;
};

// Answers of ITreeEnumProc::callback.
#define TREE_CONTINUE 0
#define TREE_IGNORECHILDREN 1
#define TREE_ABORT 2

class MAXSDK_API ITreeEnumProc {
public:
    virtual ~ITreeEnumProc();
    virtual int callback(INode* node) = 0;
};

class MAXSDK_API IScene {
public:
    virtual ~IScene();
    // Calls the callback once for every node of the scene, parents before their children,
    // before it returns. Answers non-zero when the callback aborted.
    virtual int EnumTree(ITreeEnumProc* proc) = 0;
};

#endif

// Class descriptors: how the host learns a plug-in class and creates its objects.
#ifndef MAXSDK_IPARAMB2_H
#define MAXSDK_IPARAMB2_H

#include <vector>

#include "inode.h"
#include "maxapi.h"

class ParamBlockDesc2;
class IParamMap2;
class ParamMap2UserDlgProc;
class ReferenceMaker;
class ReferenceTarget;
class Animatable;
class IObjParam;
class ActionTable;
typedef short BlockID;

class MAXSDK_API ClassDesc {
public:
    virtual ~ClassDesc();
    virtual int IsPublic() = 0;
    virtual void* Create(BOOL loading = FALSE) = 0;
    virtual int BeginCreate(Interface* /*i*/) { return 0; }
    virtual int EndCreate(Interface* /*i*/) { return 0; }
    virtual const TCHAR* ClassName() = 0;
    virtual SClass_ID SuperClassID() = 0;
    virtual Class_ID ClassID() = 0;
    virtual const TCHAR* Category() = 0;
    virtual BOOL OkToCreate(Interface* /*i*/) { return TRUE; }
    virtual BOOL HasClassParams() { return FALSE; }
    virtual void EditClassParams(HWND /*parent*/) {}
    virtual void ResetClassParams(BOOL /*fileReset*/ = FALSE) {}
    virtual int NumActionTables() { return 0; }
    virtual ActionTable* GetActionTable(int /*i*/) { return nullptr; }
    virtual BOOL IsManipulator() { return FALSE; }
    virtual BOOL CanManipulate(ReferenceTarget* /*target*/) { return FALSE; }
    virtual BOOL CanManipulateNode(INode* /*node*/) { return FALSE; }
    virtual DWORD InitialRollupPageState() { return 0x7FFFFFFF; }
    virtual const TCHAR* InternalName() { return nullptr; }
    virtual HINSTANCE HInstance() { return nullptr; }
    virtual int NumParamBlockDescs() { return 0; }
    virtual ParamBlockDesc2* GetParamBlockDesc(int /*i*/) { return nullptr; }
    virtual ParamBlockDesc2* GetParamBlockDescByID(BlockID /*id*/) { return nullptr; }
    virtual void AddParamBlockDesc(ParamBlockDesc2* /*pbd*/) {}
    virtual void BeginEditParams(IObjParam* /*ip*/, ReferenceMaker* /*obj*/, ULONG /*flags*/, Animatable* /*prev*/) {}
    virtual void EndEditParams(IObjParam* /*ip*/, ReferenceMaker* /*obj*/, ULONG /*flags*/, Animatable* /*prev*/) {}
    virtual void InvalidateUI(ParamBlockDesc2* /*pbd*/) {}
    virtual void MakeAutoParamBlocks(ReferenceMaker* /*owner*/) {}
    virtual int NumParamMaps() { return 0; }
    virtual IParamMap2* GetParamMap(ParamBlockDesc2* /*pbd*/) { return nullptr; }
    virtual IParamMap2* GetParamMap(int /*i*/) { return nullptr; }
    virtual void SetUserDlgProc(ParamBlockDesc2* /*pbd*/, ParamMap2UserDlgProc* /*proc*/ = nullptr) {}
    virtual ParamMap2UserDlgProc* GetUserDlgProc(ParamBlockDesc2* /*pbd*/) { return nullptr; }
    virtual bool DrawRepresentation(COLORREF /*background*/, HBITMAP /*bitmap*/, Interface* /*ip*/) { return false; }
    virtual int Execute(int /*cmd*/, ULONG_PTR /*arg1*/ = 0, ULONG_PTR /*arg2*/ = 0, ULONG_PTR /*arg3*/ = 0) {
        return 0;
    }
};

// The descriptor base of parameter-block-aware plug-ins: keeps the parameter block descriptors
// registered with it (none for the import and export plug-ins).
class MAXSDK_API ClassDesc2 : public ClassDesc {
public:
    ClassDesc2();
    ~ClassDesc2() override;
    void ResetClassParams(BOOL fileReset = FALSE) override;
    int NumParamBlockDescs() override;
    ParamBlockDesc2* GetParamBlockDesc(int i) override;
    ParamBlockDesc2* GetParamBlockDescByID(BlockID id) override;
    void AddParamBlockDesc(ParamBlockDesc2* pbd) override;
    void BeginEditParams(IObjParam* ip, ReferenceMaker* obj, ULONG flags, Animatable* prev) override;
    void EndEditParams(IObjParam* ip, ReferenceMaker* obj, ULONG flags, Animatable* prev) override;
    void InvalidateUI(ParamBlockDesc2* pbd) override;
    void MakeAutoParamBlocks(ReferenceMaker* owner) override;
    int NumParamMaps() override;
    IParamMap2* GetParamMap(ParamBlockDesc2* pbd) override;
    IParamMap2* GetParamMap(int i) override;
    void SetUserDlgProc(ParamBlockDesc2* pbd, ParamMap2UserDlgProc* proc = nullptr) override;
    ParamMap2UserDlgProc* GetUserDlgProc(ParamBlockDesc2* pbd) override;

private:
    std::vector<ParamBlockDesc2*> paramBlockDescs_;
};

#endif

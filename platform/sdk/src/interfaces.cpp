// Class descriptors: ClassDesc and the parameter-block bookkeeping of ClassDesc2.
#include <algorithm>

#include "iparamb2.h"

ClassDesc::~ClassDesc() = default;

ClassDesc2::ClassDesc2() = default;
ClassDesc2::~ClassDesc2() = default;

void ClassDesc2::ResetClassParams(BOOL /*fileReset*/) {}
int ClassDesc2::NumParamBlockDescs() { return static_cast<int>(paramBlockDescs_.size()); }

ParamBlockDesc2* ClassDesc2::GetParamBlockDesc(int i) {
    if (i < 0 || i >= NumParamBlockDescs()) {
        return nullptr;
    }
    return paramBlockDescs_[static_cast<size_t>(i)];
}

ParamBlockDesc2* ClassDesc2::GetParamBlockDescByID(BlockID /*id*/) { return nullptr; }

void ClassDesc2::AddParamBlockDesc(ParamBlockDesc2* pbd) {
    if (pbd != nullptr && std::find(paramBlockDescs_.begin(), paramBlockDescs_.end(), pbd) == paramBlockDescs_.end()) {
        paramBlockDescs_.push_back(pbd);
    }
}

void ClassDesc2::BeginEditParams(IObjParam* /*ip*/, ReferenceMaker* /*obj*/, ULONG /*flags*/, Animatable* /*prev*/) {}
void ClassDesc2::EndEditParams(IObjParam* /*ip*/, ReferenceMaker* /*obj*/, ULONG /*flags*/, Animatable* /*prev*/) {}
void ClassDesc2::InvalidateUI(ParamBlockDesc2* /*pbd*/) {}
void ClassDesc2::MakeAutoParamBlocks(ReferenceMaker* /*owner*/) {}
int ClassDesc2::NumParamMaps() { return 0; }
IParamMap2* ClassDesc2::GetParamMap(ParamBlockDesc2* /*pbd*/) { return nullptr; }
IParamMap2* ClassDesc2::GetParamMap(int /*i*/) { return nullptr; }
void ClassDesc2::SetUserDlgProc(ParamBlockDesc2* /*pbd*/, ParamMap2UserDlgProc* /*proc*/) {}
ParamMap2UserDlgProc* ClassDesc2::GetUserDlgProc(ParamBlockDesc2* /*pbd*/) { return nullptr; }

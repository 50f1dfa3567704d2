#include "common/ClassInfo.h"

#include "common/Dispatch.h"

namespace common {

STDMETHODIMP ProvideClassInfo2Impl::GetClassInfo(ITypeInfo** info) { return ModuleTypeInfo(clsid_, info); }

STDMETHODIMP ProvideClassInfo2Impl::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = events_;
    return S_OK;
}

STDMETHODIMP ProvideClassInfoImpl::GetClassInfo(ITypeInfo** info) { return ModuleTypeInfo(clsid_, info); }

}  // namespace common

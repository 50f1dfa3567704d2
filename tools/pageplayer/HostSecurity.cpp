#include "tools/pageplayer/HostSecurity.h"

#include <comcat.h>
#include <objsafe.h>

#include <new>

#include "common/Registration.h"
#include "tools/pageplayer/EventLog.h"
#include "tools/pageplayer/Page.h"

namespace pageplayer {

namespace {

// The custom policy a script engine asks about each object it created.
const GUID kConfirmObjectSafety = {0x10200490, 0xfa38, 0x11d0, {0xac, 0x0e, 0x00, 0xa0, 0xc9, 0x0f, 0xff, 0xc0}};
const CATID kSafeForScripting = {0x7DD95801, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};

std::wstring GuidText(const GUID& guid) {
    wchar_t text[common::kGuidChars];
    common::GuidString(guid, text);
    return text;
}

std::wstring ContextText(const BYTE* context, DWORD size) {
    if (context && size == sizeof(GUID)) return L" " + GuidText(*reinterpret_cast<const GUID*>(context));
    return std::wstring();
}

}  // namespace

HRESULT HostSecurity::Create(const std::shared_ptr<Page>& page, common::ComPtr<IInternetHostSecurityManager>& out) {
    auto* obj = new (std::nothrow) common::ComObject<HostSecurity>();
    if (!obj) return E_OUTOFMEMORY;
    obj->page_ = page;
    out = static_cast<IInternetHostSecurityManager*>(obj);
    return S_OK;
}

STDMETHODIMP HostSecurity::GetSecurityId(BYTE*, DWORD* size, DWORD_PTR) {
    if (size) *size = 0;
    return E_NOTIMPL;
}

STDMETHODIMP HostSecurity::ProcessUrlAction(DWORD action, BYTE* policy, DWORD policySize, BYTE* context,
                                            DWORD contextSize, DWORD, DWORD) {
    try {
        auto page = page_.lock();
        PageOwner* owner = page ? page->Owner() : nullptr;
        if (!owner) return E_UNEXPECTED;
        const DWORD answer = owner->UrlActionPolicy(page->Address().Href(), action, context, contextSize);
        if (policy && policySize >= sizeof(DWORD)) *reinterpret_cast<DWORD*>(policy) = answer;
        if (answer == URLPOLICY_ALLOW) return S_OK;
        EventLog::Write(L"refused", L"action " + EventLog::Hex(action) + ContextText(context, contextSize) + L" " +
                                        page->Address().Href());
        return S_FALSE;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP HostSecurity::QueryCustomPolicy(REFGUID key, BYTE** policy, DWORD* policySize, BYTE* context,
                                             DWORD contextSize, DWORD) {
    if (!policy || !policySize) return E_POINTER;
    *policy = nullptr;
    *policySize = 0;
    try {
        auto page = page_.lock();
        PageOwner* owner = page ? page->Owner() : nullptr;
        if (!owner) return E_UNEXPECTED;
        HRESULT hr = owner->HostCustomPolicy(page->Address().Href(), key, policy, policySize, context, contextSize);
        if (hr != INET_E_DEFAULT_ACTION && hr != HRESULT_FROM_WIN32(ERROR_NOT_FOUND) && hr != E_NOTIMPL) return hr;
        if (*policy) {
            ::CoTaskMemFree(*policy);
            *policy = nullptr;
            *policySize = 0;
        }
        if (key != kConfirmObjectSafety || !context || contextSize != sizeof(CONFIRMSAFETY)) return INET_E_DEFAULT_ACTION;
        const auto& cs = *reinterpret_cast<const CONFIRMSAFETY*>(context);
        const DWORD answer = ConfirmSafety(cs);
        auto* out = static_cast<DWORD*>(::CoTaskMemAlloc(sizeof(DWORD)));
        if (!out) return E_OUTOFMEMORY;
        *out = answer;
        *policy = reinterpret_cast<BYTE*>(out);
        *policySize = sizeof(DWORD);
        if (answer != URLPOLICY_ALLOW)
            EventLog::Write(L"refused", L"unsafe object " + GuidText(cs.clsid) + L" " + page->Address().Href());
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

DWORD HostSecurity::ConfirmSafety(const CONFIRMSAFETY& cs) {
    auto page = page_.lock();
    PageOwner* owner = page ? page->Owner() : nullptr;
    if (!owner) return URLPOLICY_DISALLOW;
    const std::wstring url = page->Address().Href();
    GUID clsid = cs.clsid;
    // Scripting of controls not marked as safe allowed: any object.
    if (owner->UrlActionPolicy(url, URLACTION_SCRIPT_OVERRIDE_SAFETY, reinterpret_cast<BYTE*>(&clsid),
                               sizeof(clsid)) == URLPOLICY_ALLOW)
        return URLPOLICY_ALLOW;
    if (owner->UrlActionPolicy(url, URLACTION_SCRIPT_SAFE_ACTIVEX, reinterpret_cast<BYTE*>(&clsid), sizeof(clsid)) !=
        URLPOLICY_ALLOW)
        return URLPOLICY_DISALLOW;
    // Else only objects that say they are safe for untrusted callers.
    common::ComPtr<IObjectSafety> safety;
    if (cs.pUnk && SUCCEEDED(cs.pUnk->QueryInterface(IID_IObjectSafety, safety.put_void()))) {
        const DWORD want = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
        if (SUCCEEDED(safety->SetInterfaceSafetyOptions(__uuidof(IDispatchEx), want, want)) ||
            SUCCEEDED(safety->SetInterfaceSafetyOptions(__uuidof(IDispatch), want, want)))
            return URLPOLICY_ALLOW;
        return URLPOLICY_DISALLOW;
    }
    common::ComPtr<ICatInformation> categories;
    if (FAILED(::CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                  __uuidof(ICatInformation), categories.put_void())))
        return URLPOLICY_DISALLOW;
    CATID safe = kSafeForScripting;
    // No required categories asked about (Wine mishandles the "don't check" count of -1).
    return categories->IsClassOfCategories(cs.clsid, 1, &safe, 0, nullptr) == S_OK
               ? URLPOLICY_ALLOW
               : URLPOLICY_DISALLOW;
}

}  // namespace pageplayer

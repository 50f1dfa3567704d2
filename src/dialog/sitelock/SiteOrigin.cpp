#include "dialog/sitelock/SiteOrigin.h"

#include <exdisp.h>
#include <mshtml.h>
#include <ole2.h>
#include <servprov.h>
#include <shlguid.h>
#include <shlwapi.h>

#include <vector>

#include "common/Bstr.h"
#include "common/ComModule.h"
#include "common/ComPtr.h"
#include "common/FullPath.h"
#include "dialog/browser/HostIdentity.h"
#include "dialog/window/WindowClassNames.h"

namespace stagehand {

namespace {

bool StartsWithNoCase(const std::wstring& s, const wchar_t* prefix) {
    const size_t n = wcslen(prefix);
    return s.size() >= n &&
           ::CompareStringOrdinal(s.c_str(), static_cast<int>(n), prefix, static_cast<int>(n), TRUE) == CSTR_EQUAL;
}

// "C:\..." or "C:/...".
bool IsDrivePath(const std::wstring& s) {
    return s.size() >= 3 && ((s[0] >= L'A' && s[0] <= L'Z') || (s[0] >= L'a' && s[0] <= L'z')) && s[1] == L':' &&
           (s[2] == L'\\' || s[2] == L'/');
}

// "\\server\share\...", not the "\\?\" and "\\.\" device forms.
bool IsUncPath(const std::wstring& s) {
    return s.size() > 2 && s[0] == L'\\' && s[1] == L'\\' && s[2] != L'?' && s[2] != L'.';
}

std::wstring WithoutQuery(const std::wstring& s) { return s.substr(0, s.find_first_of(L"?#")); }

// The local path a file: URL names; empty when it names none.
std::wstring PathFromFileUrl(const std::wstring& url) {
    const std::wstring plain = WithoutQuery(url);
    std::vector<wchar_t> buf(plain.size() + MAX_PATH);
    DWORD size = static_cast<DWORD>(buf.size());
    if (::PathCreateFromUrlW(plain.c_str(), buf.data(), &size, 0) != S_OK) return std::wstring();
    return std::wstring(buf.data());
}

}  // namespace

bool SiteOrigin::Trusted(IUnknown* site) noexcept {
    if (!site) return false;
    if (IsInstallerHost(site) || IsInInstallerWindow(site)) return true;
    try {
        return IsFileUnder(PageUrl(site), InstallerFolder());
    } catch (...) {
        return false;
    }
}

bool SiteOrigin::IsInstallerHost(IUnknown* site) noexcept {
    common::ComPtr<IServiceProvider> services;
    if (!site || FAILED(site->QueryInterface(IID_IServiceProvider, services.put_void())) || !services) return false;
    common::ComPtr<IUnknown> answer;
    if (FAILED(services->QueryService(kInstallerHostService, IID_IUnknown, answer.put_void())) || !answer)
        return false;
    // The identity as the object itself states it, not the pointer the service handed out.
    common::ComPtr<IUnknown> identity;
    if (FAILED(answer->QueryInterface(IID_IUnknown, identity.put_void()))) return false;
    return HostIdentity::IsLive(identity.get());
}

bool SiteOrigin::IsInInstallerWindow(IUnknown* site) noexcept {
    common::ComPtr<IServiceProvider> services;
    if (!site || FAILED(site->QueryInterface(IID_IServiceProvider, services.put_void())) || !services) return false;
    common::ComPtr<IOleWindow> browser;
    HWND window = nullptr;
    if (FAILED(services->QueryService(SID_SWebBrowserApp, IID_IOleWindow, browser.put_void())) || !browser ||
        FAILED(browser->GetWindow(&window)) || !window)
        return false;
    HWND root = ::GetAncestor(window, GA_ROOT);
    DWORD process = 0;
    if (!root || !::GetWindowThreadProcessId(root, &process) || process != ::GetCurrentProcessId()) return false;
    wchar_t name[64] = L"";
    if (!::GetClassNameW(root, name, 64)) return false;
    return ::lstrcmpW(name, kInstallerFrameClass) == 0 || ::lstrcmpW(name, kTaskNotifyClass) == 0;
}

std::wstring SiteOrigin::PageUrl(IUnknown* site) {
    if (!site) return std::wstring();
    common::ComPtr<IServiceProvider> services;
    if (SUCCEEDED(site->QueryInterface(IID_IServiceProvider, services.put_void())) && services) {
        common::ComPtr<IWebBrowser2> browser;
        common::Bstr url;
        if (SUCCEEDED(services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.put_void())) && browser &&
            SUCCEEDED(browser->get_LocationURL(url.put())))
            return url.c_str();
    }
    common::ComPtr<IOleClientSite> clientSite;
    common::ComPtr<IOleContainer> container;
    common::ComPtr<IHTMLDocument2> document;
    common::Bstr url;
    if (SUCCEEDED(site->QueryInterface(IID_IOleClientSite, clientSite.put_void())) && clientSite &&
        SUCCEEDED(clientSite->GetContainer(container.put())) && container && SUCCEEDED(container.As(document)) &&
        SUCCEEDED(document->get_URL(url.put())))
        return url.c_str();
    return std::wstring();
}

bool SiteOrigin::IsFileUnder(const std::wstring& url, const std::wstring& folder) {
    std::wstring path;
    if (StartsWithNoCase(url, L"file:"))
        path = PathFromFileUrl(url);
    else if (IsDrivePath(url) || IsUncPath(url))
        path = WithoutQuery(url);
    if (!(IsDrivePath(path) || IsUncPath(path)) || folder.empty()) return false;
    const std::wstring full = common::FullPath(path.c_str());
    std::wstring root = common::FullPath((folder + L"\\").c_str());
    if (full.empty() || root.empty()) return false;
    if (root.back() != L'\\') root += L'\\';
    return full.size() > root.size() &&
           ::CompareStringOrdinal(full.c_str(), static_cast<int>(root.size()), root.c_str(),
                                  static_cast<int>(root.size()), TRUE) == CSTR_EQUAL;
}

std::wstring SiteOrigin::InstallerFolder() {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        DWORD n = ::GetModuleFileNameW(common::ComModule::Current().Instance(), buf.data(),
                                       static_cast<DWORD>(buf.size()));
        if (n == 0) return std::wstring();
        if (n < buf.size()) break;
        if (buf.size() >= 32768) return std::wstring();
        buf.resize(buf.size() * 2);
    }
    std::wstring folder(buf.data());
    size_t slash = folder.find_last_of(L'\\');
    if (slash == std::wstring::npos) return std::wstring();
    folder.resize(slash);
    slash = folder.find_last_of(L'\\');
    if (slash != std::wstring::npos && ::CompareStringOrdinal(folder.c_str() + slash + 1, -1, L"bin", -1, TRUE) == CSTR_EQUAL)
        folder.resize(slash);
    return folder;
}

}  // namespace stagehand

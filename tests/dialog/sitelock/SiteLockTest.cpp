// The objects pages may create (page state, shell, processes) in a container that is not
// the installer's window: the page player plays real pages, its script engine sites the
// objects, and only local files under the installer's folder are served there. The
// installer's own window is covered with the window's pages (InstallerPagesTest).
#include <gtest/gtest.h>

#include <windows.h>
#include <ocidl.h>

#include <string>
#include <vector>

#include "Harness.h"
#include "TestContainer.h"

using common::ComPtr;
using harness::Str;
using pagetest::TestContainer;

namespace {

const wchar_t kStateClsid[] = L"CLSID\\{C8F76629-E4F4-4646-AFC0-665082D167B1}\\InprocServer32";
const LONG kAccessDenied = static_cast<LONG>(E_ACCESSDENIED);

// The installer's folder of the registered server: the folder that holds bin\stagehand.dll.
std::wstring InstallerFolder() {
    wchar_t dll[MAX_PATH] = {};
    LONG size = sizeof(dll);
    EXPECT_EQ(ERROR_SUCCESS, ::RegQueryValueW(HKEY_CLASSES_ROOT, kStateClsid, dll, &size));
    std::wstring folder(dll);
    folder.resize(folder.find_last_of(L'\\'));  // ...\bin
    folder.resize(folder.find_last_of(L'\\'));
    return folder;
}

// Creates the three classes, calls each and reports every outcome (a result or the
// error number) to the container's external object.
const char kProbePage[] = R"page(<html><body><script>
function attempt(name, f) {
  try { external.record(name, String(f())); } catch (e) { external.record(name, String(e.number)); }
}
var state;
attempt("create", function () { state = new ActiveXObject("DOZUvidaruve.StateCtrl"); return typeof state; });
attempt("message", function () { state.message("from " + location.protocol); return "sent"; });
attempt("path", function () { return state.InstallPath; });
attempt("pid", function () { return new ActiveXObject("PebbleUtil.ShellCtl").GetPid() > 0; });
attempt("event", function () {
  var p = new ActiveXObject("PebbleUtil.ProcessMgr"), h = p.CreateNamedEvent("sitelock-probe");
  p.CloseEvent(h);
  return h != 0;
});
</script></body></html>)page";

std::vector<std::wstring> Refused() {
    const std::wstring denied = std::to_wstring(kAccessDenied);
    return {L"record:create,object", L"record:message," + denied, L"record:path," + denied, L"record:pid," + denied,
            L"record:event," + denied};
}

std::vector<std::wstring> Probe(const std::wstring& address) {
    TestContainer c;
    EXPECT_TRUE(c.NavigateAndWait(address)) << harness::Narrow(address);
    return c.external().Summary();
}

// Every member the class's type information lists, invoked without arguments: each
// answers E_ACCESSDENIED, as does a DISPID the class doesn't have; names still resolve.
void ExpectEveryCallRefused(IDispatch* object, const char* what) {
    ComPtr<ITypeInfo> info;
    ASSERT_HR(S_OK, object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())) << what;
    TYPEATTR* attr = nullptr;
    ASSERT_HR(S_OK, info->GetTypeAttr(&attr));
    int checked = 0;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* func = nullptr;
        ASSERT_HR(S_OK, info->GetFuncDesc(i, &func));
        if (func->memid < 0x60000000 || func->memid > 0x6002FFFF) {  // not IUnknown/IDispatch's own
            common::Variant result;
            DISPPARAMS none = {nullptr, nullptr, 0, 0};
            EXPECT_HR(E_ACCESSDENIED, object->Invoke(func->memid, IID_NULL, LOCALE_USER_DEFAULT, func->invkind, &none,
                                                     result.get(), nullptr, nullptr))
                << what << " DISPID " << func->memid;
            ++checked;
        }
        info->ReleaseFuncDesc(func);
    }
    info->ReleaseTypeAttr(attr);
    EXPECT_GT(checked, 10) << what;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_HR(E_ACCESSDENIED, object->Invoke(0x7777, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                                             nullptr, nullptr));
}

ComPtr<IObjectWithSite> WithSite(IDispatch* object) {
    ComPtr<IObjectWithSite> site;
    EXPECT_HR(S_OK, object->QueryInterface(IID_IObjectWithSite, site.put_void()));
    return site;
}

}  // namespace

// A page from a scratch folder and one from an http address in a foreign container:
// the objects are created (the container allows that) but every call is refused, and
// the error reaches the page's script. The page-state object is shared with the engine
// in this process, so the engine is refused with it, also after the container un-sites
// it; objects the engine creates for itself are not affected.
TEST(SiteLock, ForeignPagesAreRefusedEveryCallAndUnsitingDoesNotUnlock) {
    harness::TempDir dir(L"lock");
    harness::WriteFile(dir / L"probe.html", kProbePage);
    const std::wstring installer = InstallerFolder();
    ASSERT_FALSE(installer.empty());
    ASSERT_NE(CSTR_EQUAL, ::CompareStringOrdinal(dir.path().c_str(), static_cast<int>(installer.size()),
                                                 installer.c_str(), static_cast<int>(installer.size()), TRUE))
        << "the scratch folder must lie outside the installer's folder";
    EXPECT_EQ(Refused(), Probe(dir / L"probe.html"));

    // The same page from a web server (the player serves http addresses from a folder),
    // even when the served file lies under the installer's folder: only a file: address
    // counts as a local file.
    const std::wstring host = installer + L"\\sitelock-web";
    ::CreateDirectoryW(host.c_str(), nullptr);
    harness::WriteFile(host + L"\\probe.html", kProbePage);
    ::SetEnvironmentVariableW(L"PAGEPLAYER_WEB_ROOT", installer.c_str());
    auto web = Probe(L"http://sitelock-web/probe.html?autoplay");
    ::SetEnvironmentVariableW(L"PAGEPLAYER_WEB_ROOT", nullptr);
    ::DeleteFileW((host + L"\\probe.html").c_str());
    ::RemoveDirectoryW(host.c_str());
    EXPECT_EQ(Refused(), web);

    auto state = harness::Create(L"DOZUvidaruve.StateCtrl");
    ASSERT_TRUE(state);
    ExpectEveryCallRefused(state.get(), "page state");
    auto site = WithSite(state.get());
    ASSERT_TRUE(site);
    ASSERT_HR(S_OK, site->SetSite(nullptr));
    ComPtr<IUnknown> none;
    EXPECT_HR(E_FAIL, site->GetSite(IID_IUnknown, none.put_void()));
    EXPECT_FALSE(none);
    EXPECT_HR(E_ACCESSDENIED, harness::Call(state.get(), L"Reset", {})) << "un-siting keeps the refusal";

    // Unsited objects of the engine's own serve as always.
    auto shell = harness::Create(L"PebbleUtil.ShellCtl");
    ASSERT_TRUE(shell);
    EXPECT_EQ(static_cast<LONG>(::GetCurrentProcessId()), harness::AsLong(*harness::CallOk(shell.get(), L"GetPid").get()));
    EXPECT_HR(E_FAIL, WithSite(shell.get())->GetSite(IID_IUnknown, none.put_void()));

    // Sited directly by a foreign container's client site (no page address at all).
    TestContainer c;
    auto procs = harness::Create(L"PebbleUtil.ProcessMgr");
    ASSERT_TRUE(procs);
    ASSERT_HR(S_OK, WithSite(shell.get())->SetSite(static_cast<IOleClientSite*>(&c.site())));
    ASSERT_HR(S_OK, WithSite(procs.get())->SetSite(static_cast<IOleClientSite*>(&c.site())));
    ExpectEveryCallRefused(shell.get(), "shell");
    ExpectEveryCallRefused(procs.get(), "processes");
    ComPtr<IOleClientSite> held;
    EXPECT_HR(S_OK, WithSite(shell.get())->GetSite(IID_IOleClientSite, held.put_void()));
    EXPECT_EQ(static_cast<IOleClientSite*>(&c.site()), held.get());
    held.reset();
    const LONG before = c.site().Refs();
    shell.reset();  // the object releases its site when it goes
    EXPECT_EQ(before - 1, c.site().Refs());
}

// A page under the installer's folder is served in any container, also after the same
// object was refused to a foreign page (a new site decides again) and after it is
// un-sited.
TEST(SiteLock, PagesUnderTheInstallersFolderAreServedInAnyContainer) {
    harness::TempDir outside(L"lock");
    harness::WriteFile(outside / L"probe.html", kProbePage);
    EXPECT_EQ(Refused(), Probe(outside / L"probe.html"));

    const std::wstring folder = InstallerFolder() + L"\\sitelock-pages";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring page = folder + L"\\probe.html";
    harness::WriteFile(page, kProbePage);
    auto served = Probe(page + L"?x=1");
    auto state = harness::Create(L"DOZUvidaruve.StateCtrl");
    ASSERT_TRUE(state);
    const std::wstring message = harness::AsString(*harness::CallOk(state.get(), L"PollMessage").get());
    ASSERT_HR(S_OK, WithSite(state.get())->SetSite(nullptr));
    EXPECT_HR(S_OK, harness::Call(state.get(), L"Reset", {})) << "un-siting keeps the object usable";
    ::DeleteFileW(page.c_str());
    ::RemoveDirectoryW(folder.c_str());
    ASSERT_EQ(5u, served.size());
    EXPECT_EQ(L"record:message,sent", served[1]);
    EXPECT_EQ(L"record:pid,true", served[3]);
    EXPECT_EQ(L"record:event,true", served[4]);
    EXPECT_EQ(L"from file:", message);
}

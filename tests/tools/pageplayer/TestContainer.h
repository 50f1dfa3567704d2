#pragma once
// A small container for the page player, built the way a product hosts the WebBrowser
// control: its own top-level window, a client site that is also the in-place site, the
// service provider with the host's security manager, and a UI handler whose external
// object the test controls; plus a DWebBrowserEvents2 sink that records every event.
// Everything runs on the test's thread, which pumps messages while it waits.
#include <windows.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <ocidl.h>
#include <urlmon.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/ComPtr.h"

namespace pagetest {

// One call that reached the host's external object.
struct ExternalCall {
    std::wstring name;  // as the page spelled it
    DISPID id = 0;
    WORD flags = 0;
    std::vector<std::wstring> args;  // each as text, in call order
    DWORD thread = 0;
    int step = 0;  // the shared clock's value when it arrived
};

// The host's object for window.external: names are matched without regard to case
// and get the DISPIDs of the table; "add" returns the sum of its two arguments, every
// other name just records the call.
class HostExternal final : public IDispatch {
public:
    explicit HostExternal(std::map<std::wstring, DISPID> names);
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

    std::vector<ExternalCall> calls;
    // Every call's "name:arg,arg" in order, for compact assertions.
    std::vector<std::wstring> Summary() const;
    int* clock = nullptr;  // shared with the event sink: orders calls and events

private:
    volatile LONG refs_ = 1;
    std::map<std::wstring, DISPID> names_;
    std::map<DISPID, std::wstring> spelled_;
};

// Client site, in-place site, service provider, security manager and UI handler in one.
class TestSite final : public IOleClientSite,
                       public IOleInPlaceSite,
                       public IServiceProvider,
                       public IInternetSecurityManager,
                       public IDocHostUIHandler {
public:
    TestSite(HWND window, IDispatch* external);
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override;
    LONG Refs() const { return refs_; }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** m) override;
    STDMETHODIMP GetContainer(IOleContainer** c) override;
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow / IOleInPlaceSite
    STDMETHODIMP GetWindow(HWND* w) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) override;
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
    // IServiceProvider
    STDMETHODIMP QueryService(REFGUID service, REFIID riid, void** ppv) override;
    // IInternetSecurityManager
    STDMETHODIMP SetSecuritySite(IInternetSecurityMgrSite*) override { return INET_E_DEFAULT_ACTION; }
    STDMETHODIMP GetSecuritySite(IInternetSecurityMgrSite**) override { return INET_E_DEFAULT_ACTION; }
    STDMETHODIMP MapUrlToZone(LPCWSTR, DWORD*, DWORD) override { return INET_E_DEFAULT_ACTION; }
    STDMETHODIMP GetSecurityId(LPCWSTR, BYTE*, DWORD*, DWORD_PTR) override { return INET_E_DEFAULT_ACTION; }
    STDMETHODIMP ProcessUrlAction(LPCWSTR url, DWORD action, BYTE* policy, DWORD policySize, BYTE* context,
                                  DWORD contextSize, DWORD, DWORD) override;
    STDMETHODIMP QueryCustomPolicy(LPCWSTR, REFGUID, BYTE**, DWORD*, BYTE*, DWORD, DWORD) override {
        return INET_E_DEFAULT_ACTION;
    }
    STDMETHODIMP SetZoneMapping(DWORD, LPCWSTR, DWORD) override { return INET_E_DEFAULT_ACTION; }
    STDMETHODIMP GetZoneMappings(DWORD, IEnumString**, DWORD) override { return INET_E_DEFAULT_ACTION; }
    // IDocHostUIHandler
    STDMETHODIMP ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { return S_FALSE; }
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO*) override { return E_NOTIMPL; }
    STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                        IOleInPlaceUIWindow*) override {
        return S_OK;
    }
    STDMETHODIMP HideUI() override { return S_OK; }
    STDMETHODIMP UpdateUI() override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) override { return S_FALSE; }
    STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD) override;
    STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget**) override { return S_FALSE; }
    STDMETHODIMP GetExternal(IDispatch** external) override;
    STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP FilterDataObject(IDataObject*, IDataObject**) override { return S_FALSE; }

    // The policy the host answers for an action (URLPOLICY_ALLOW unless the test says
    // otherwise), and the actions the player asked about with their addresses.
    std::function<DWORD(DWORD action)> policy;
    std::vector<std::pair<DWORD, std::wstring>> asked;
    std::vector<GUID> askedObjects;  // the class ids of ActiveX run requests
    int activations = 0;
    int deactivations = 0;
    // GetExternal hands out the UI handler itself, whose QueryInterface answers
    // IDispatch with the external object (as the product's host does).
    bool externalIsHandler = false;

private:
    volatile LONG refs_ = 1;
    HWND window_;
    common::ComPtr<IDispatch> external_;
};

// One event the player fired.
struct BrowserEvent {
    DISPID id = 0;
    std::wstring url;
    LONG status = 0;  // NavigateError's status code
    DWORD thread = 0;
    int step = 0;  // the shared clock's value when it arrived
};

class EventSink final : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

    std::vector<BrowserEvent> events;
    bool cancelErrors = false;  // answer NavigateError with Cancel
    int* clock = nullptr;
    int Count(DISPID id) const;
    // The ids of the navigation events in order (TitleChange left out).
    std::vector<DISPID> Sequence() const;

private:
    volatile LONG refs_ = 1;
};

class TestContainer {
public:
    // Creates the window, the site and the player (by the WebBrowser's class id), sets
    // the site, initializes, in-place activates, sizes and connects the sink.
    explicit TestContainer(std::map<std::wstring, DISPID> externalNames = {{L"record", 100}, {L"add", 101}});
    ~TestContainer();
    TestContainer(const TestContainer&) = delete;
    TestContainer& operator=(const TestContainer&) = delete;

    IWebBrowser2* browser() const { return browser_.get(); }
    IOleObject* object() const { return object_.get(); }
    TestSite& site() { return *site_; }
    HostExternal& external() { return *external_; }
    EventSink& sink() { return *sink_; }
    HWND window() const { return window_; }
    // The player's own child window.
    HWND PlayerWindow() const;

    // Navigates and pumps messages until the next DocumentComplete arrived.
    bool NavigateAndWait(const std::wstring& url, DWORD timeoutMs = 15000);
    // Pumps messages until done() or the timeout.
    static bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 15000);
    // Ends hosting as a product does: Close, SetClientSite(null), release.
    void Shutdown();

    int clock = 0;  // shared by the external object and the sink

private:
    HWND window_ = nullptr;
    TestSite* site_ = nullptr;
    HostExternal* external_ = nullptr;
    EventSink* sink_ = nullptr;
    common::ComPtr<IOleObject> object_;
    common::ComPtr<IWebBrowser2> browser_;
    common::ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

// The WebBrowser control's class id, under which the player is registered.
extern const CLSID kWebBrowser;

}  // namespace pagetest

#pragma once
// The page player: an in-process control that stands where the platform's WebBrowser
// control stands (registered under its class id in test and headless Wine prefixes).
// A host embeds it as it embeds the WebBrowser (IOleObject, IOleInPlaceObject,
// IViewObject2, IPersistStreamInit, ...), drives it through IWebBrowser2 and listens to
// DWebBrowserEvents2. It shows local HTML pages, runs their script in the platform's
// JScript engine and fires NavigateComplete2 and DocumentComplete as a browser does.
//
// Threads: the player belongs to the thread that created it (its "UI thread"), where
// pages load, script runs and events fire. Navigate, Stop, Busy, ReadyState and
// LocationURL may also be called from other threads: Navigate records the request and
// posts it to the player's message window, so it always returns before the page loads.
#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <oleidl.h>

#include <memory>
#include <string>

#include "common/ComObject.h"
#include "common/ComPtr.h"
#include "common/CriticalSection.h"
#include "tools/pageplayer/BrowserEventsPoint.h"
#include "tools/pageplayer/PageOwner.h"
#include "tools/pageplayer/PageView.h"

namespace pageplayer {

class Page;
class PageAddress;

class CPagePlayer : public IWebBrowser2,
                    public IOleObject,
                    public IOleInPlaceObject,
                    public IOleInPlaceActiveObject,
                    public IViewObject2,
                    public IPersistStreamInit,
                    public IOleControl,
                    public IObjectWithSite,
                    public IConnectionPointContainer,
                    public PageOwner,
                    public common::ComObjectRoot {
public:
    CPagePlayer();
    ~CPagePlayer() override;
    HRESULT FinalConstruct() noexcept;

    COM_INTERFACE_MAP_BEGIN(IWebBrowser2)
    COM_INTERFACE2(IDispatch, IWebBrowser2)
    COM_INTERFACE2(IWebBrowser, IWebBrowser2)
    COM_INTERFACE2(IWebBrowserApp, IWebBrowser2)
    COM_INTERFACE(IWebBrowser2)
    COM_INTERFACE(IOleObject)
    COM_INTERFACE2(IOleWindow, IOleInPlaceObject)
    COM_INTERFACE(IOleInPlaceObject)
    COM_INTERFACE(IOleInPlaceActiveObject)
    COM_INTERFACE2(IViewObject, IViewObject2)
    COM_INTERFACE(IViewObject2)
    COM_INTERFACE2(IPersist, IPersistStreamInit)
    COM_INTERFACE(IPersistStreamInit)
    COM_INTERFACE(IOleControl)
    COM_INTERFACE(IObjectWithSite)
    COM_INTERFACE(IConnectionPointContainer)
    COM_INTERFACE_MAP_END()

    // IDispatch (IWebBrowser2 late bound, through the platform's type library)
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

    // IWebBrowser
    STDMETHODIMP GoBack() override { return E_NOTIMPL; }
    STDMETHODIMP GoForward() override { return E_NOTIMPL; }
    STDMETHODIMP GoHome() override { return E_NOTIMPL; }
    STDMETHODIMP GoSearch() override { return E_NOTIMPL; }
    STDMETHODIMP Navigate(BSTR URL, VARIANT *Flags, VARIANT *TargetFrameName, VARIANT *PostData, VARIANT *Headers) override;
    STDMETHODIMP Refresh() override;
    STDMETHODIMP Refresh2(VARIANT *Level) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP get_Application(IDispatch **ppDisp) override;
    STDMETHODIMP get_Parent(IDispatch **ppDisp) override { return E_NOTIMPL; }
    STDMETHODIMP get_Container(IDispatch **ppDisp) override { return E_NOTIMPL; }
    STDMETHODIMP get_Document(IDispatch **ppDisp) override;
    STDMETHODIMP get_TopLevelContainer(VARIANT_BOOL *pBool) override { return E_NOTIMPL; }
    STDMETHODIMP get_Type(BSTR *Type) override;
    STDMETHODIMP get_Left(LONG *pl) override;
    STDMETHODIMP put_Left(LONG Left) override { return E_NOTIMPL; }
    STDMETHODIMP get_Top(LONG *pl) override;
    STDMETHODIMP put_Top(LONG Top) override { return E_NOTIMPL; }
    STDMETHODIMP get_Width(LONG *pl) override;
    STDMETHODIMP put_Width(LONG Width) override { return E_NOTIMPL; }
    STDMETHODIMP get_Height(LONG *pl) override;
    STDMETHODIMP put_Height(LONG Height) override { return E_NOTIMPL; }
    STDMETHODIMP get_LocationName(BSTR *LocationName) override;
    STDMETHODIMP get_LocationURL(BSTR *LocationURL) override;
    STDMETHODIMP get_Busy(VARIANT_BOOL *pBool) override;
    // IWebBrowserApp
    STDMETHODIMP Quit() override { return E_NOTIMPL; }
    STDMETHODIMP ClientToWindow(int *pcx, int *pcy) override { return E_NOTIMPL; }
    STDMETHODIMP PutProperty(BSTR Property, VARIANT vtValue) override { return E_NOTIMPL; }
    STDMETHODIMP GetProperty(BSTR Property, VARIANT *pvtValue) override { return E_NOTIMPL; }
    STDMETHODIMP get_Name(BSTR *Name) override;
    STDMETHODIMP get_HWND(SHANDLE_PTR *pHWND) override { return E_NOTIMPL; }
    STDMETHODIMP get_FullName(BSTR *FullName) override { return E_NOTIMPL; }
    STDMETHODIMP get_Path(BSTR *Path) override { return E_NOTIMPL; }
    STDMETHODIMP get_Visible(VARIANT_BOOL *pBool) override;
    STDMETHODIMP put_Visible(VARIANT_BOOL Value) override;
    STDMETHODIMP get_StatusBar(VARIANT_BOOL *pBool) override { return E_NOTIMPL; }
    STDMETHODIMP put_StatusBar(VARIANT_BOOL Value) override { return E_NOTIMPL; }
    STDMETHODIMP get_StatusText(BSTR *StatusText) override { return E_NOTIMPL; }
    STDMETHODIMP put_StatusText(BSTR StatusText) override { return E_NOTIMPL; }
    STDMETHODIMP get_ToolBar(int *Value) override { return E_NOTIMPL; }
    STDMETHODIMP put_ToolBar(int Value) override { return E_NOTIMPL; }
    STDMETHODIMP get_MenuBar(VARIANT_BOOL *Value) override { return E_NOTIMPL; }
    STDMETHODIMP put_MenuBar(VARIANT_BOOL Value) override { return E_NOTIMPL; }
    STDMETHODIMP get_FullScreen(VARIANT_BOOL *pbFullScreen) override { return E_NOTIMPL; }
    STDMETHODIMP put_FullScreen(VARIANT_BOOL bFullScreen) override { return E_NOTIMPL; }
    // IWebBrowser2
    STDMETHODIMP Navigate2(VARIANT *URL, VARIANT *Flags, VARIANT *TargetFrameName, VARIANT *PostData, VARIANT *Headers) override;
    STDMETHODIMP QueryStatusWB(OLECMDID cmdID, OLECMDF *pcmdf) override { return E_NOTIMPL; }
    STDMETHODIMP ExecWB(OLECMDID cmdID, OLECMDEXECOPT cmdexecopt, VARIANT *pvaIn, VARIANT *pvaOut) override { return E_NOTIMPL; }
    STDMETHODIMP ShowBrowserBar(VARIANT *pvaClsid, VARIANT *pvarShow, VARIANT *pvarSize) override { return E_NOTIMPL; }
    STDMETHODIMP get_ReadyState(READYSTATE *plReadyState) override;
    STDMETHODIMP get_Offline(VARIANT_BOOL *pbOffline) override;
    STDMETHODIMP put_Offline(VARIANT_BOOL bOffline) override;
    STDMETHODIMP get_Silent(VARIANT_BOOL *pbSilent) override;
    STDMETHODIMP put_Silent(VARIANT_BOOL bSilent) override;
    STDMETHODIMP get_RegisterAsBrowser(VARIANT_BOOL *pbRegister) override;
    STDMETHODIMP put_RegisterAsBrowser(VARIANT_BOOL bRegister) override;
    STDMETHODIMP get_RegisterAsDropTarget(VARIANT_BOOL *pbRegister) override;
    STDMETHODIMP put_RegisterAsDropTarget(VARIANT_BOOL bRegister) override;
    STDMETHODIMP get_TheaterMode(VARIANT_BOOL *pbRegister) override { return E_NOTIMPL; }
    STDMETHODIMP put_TheaterMode(VARIANT_BOOL bRegister) override { return E_NOTIMPL; }
    STDMETHODIMP get_AddressBar(VARIANT_BOOL *Value) override { return E_NOTIMPL; }
    STDMETHODIMP put_AddressBar(VARIANT_BOOL Value) override { return E_NOTIMPL; }
    STDMETHODIMP get_Resizable(VARIANT_BOOL *Value) override { return E_NOTIMPL; }
    STDMETHODIMP put_Resizable(VARIANT_BOOL Value) override { return E_NOTIMPL; }

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* activeSite, LONG index, HWND parent,
                        LPCRECT posRect) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP Unadvise(DWORD connection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

    // IOleWindow (IOleInPlaceObject and IOleInPlaceActiveObject)
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
    // IOleInPlaceObject
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override;
    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;

    // IViewObject2
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDevice, HDC dc,
                      LPCRECTL bounds, LPCRECTL windowBounds, BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR),
                      ULONG_PTR contArg) override;
    STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDevice,
                             LOGPALETTE** colors) override;
    STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    STDMETHODIMP Unfreeze(DWORD freeze) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

    // IPersistStreamInit
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(LPSTREAM stream) override;
    STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew() override;

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG* msg) override;
    STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
    STDMETHODIMP FreezeEvents(BOOL freeze) override;

    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* site) override;
    STDMETHODIMP GetSite(REFIID riid, void** site) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    // PageOwner
    void NavigateFromPage(const std::wstring& url) override;
    common::ComPtr<IDispatch> HostExternal() override;
    DWORD UrlActionPolicy(const std::wstring& url, DWORD action, BYTE* context, DWORD contextSize) override;
    HRESULT HostCustomPolicy(const std::wstring& url, REFGUID key, BYTE** policy, DWORD* policySize, BYTE* context,
                             DWORD contextSize) override;
    HRESULT HostService(REFGUID service, REFIID iid, void** ppv) override;
    HRESULT BrowserObject(REFIID iid, void** ppv) override;
    HWND UiWindow() override;
    HWND TimerWindow() override { return messageWindow_; }
    void PageChanged(bool titleChanged) override;

private:
    static LRESULT CALLBACK MessageWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    HRESULT RequestNavigation(const std::wstring& url);
    void OnNavigateRequest();
    void LoadPage(const std::wstring& url, LONG serial);
    void Unload() noexcept;
    HRESULT Activate(IOleClientSite* activeSite, HWND parent, LPCRECT posRect, bool uiActivate);
    bool ScriptAllowed(const std::wstring& url);
    common::ComPtr<IDispatch> Self() { return static_cast<IDispatch*>(static_cast<IWebBrowser2*>(this)); }
    void FireUrlEvent(DISPID id, const std::wstring& url);
    bool FireNavigateError(const std::wstring& url, HRESULT status);
    void FireTitleChange(const std::wstring& title);
    HRESULT BrowserTypeInfo(ITypeInfo** info);

    // Guards what other threads may read or request: the pending navigation and the
    // states Busy, ReadyState and LocationURL report.
    common::CriticalSection lock_;
    std::wstring pendingUrl_;
    LONG serial_ = 0;
    bool busy_ = false;
    READYSTATE readyState_ = READYSTATE_UNINITIALIZED;
    std::wstring locationUrl_;
    std::wstring locationName_;

    // UI thread only from here on.
    DWORD thread_ = 0;
    HWND messageWindow_ = nullptr;
    bool loading_ = false;
    PageView view_;
    std::shared_ptr<Page> page_;
    BrowserEventsPoint events_;
    common::ComPtr<IOleClientSite> clientSite_;
    common::ComPtr<IOleInPlaceSite> inPlaceSite_;
    bool uiActive_ = false;
    common::ComPtr<IUnknown> site_;
    common::ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewFlags_ = 0;
    common::ComPtr<ITypeInfo> typeInfo_;
    SIZEL extent_ = {5292, 5292};  // 200 x 200 pixels in HIMETRIC
    RECT position_ = {0, 0, 0, 0};
    bool visible_ = true;
    bool silent_ = false;
    bool offline_ = false;
    bool registerAsBrowser_ = false;
    bool registerAsDropTarget_ = true;
};

}  // namespace pageplayer

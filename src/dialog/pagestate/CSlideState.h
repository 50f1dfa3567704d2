#pragma once

#include "dialog/module/StagehandTypes.h"
#include "dialog/sitelock/SiteLock.h"

#include <deque>
#include <map>
#include <string>

#include "common/TableDispatch.h"
#include "common/Variant.h"
#include "dialog/pagestate/ProcessRecord.h"

class CSlideState : public common::ComObjectRoot,
    public common::TableDispatch<CSlideState, ISlideState>,
    public common::ConnectionPointContainerImpl,
    public stagehand::SiteLock,
    public common::ProvideClassInfo2Impl {
public:
    CSlideState();
    ~CSlideState() override;

    COM_INTERFACE_MAP_BEGIN(ISlideState)
    COM_INTERFACE(ISlideState)
    COM_INTERFACE2(IDispatch, ISlideState)
    COM_INTERFACE(IConnectionPointContainer)
    COM_INTERFACE(IProvideClassInfo2)
    COM_INTERFACE2(IProvideClassInfo, IProvideClassInfo2)
    COM_INTERFACE(IObjectWithSite)
    COM_INTERFACE_MAP_END()

    // IDispatch: every call is refused while a site has locked the object (SiteLock);
    // name lookups and type information stay answered.
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;
    // IConnectionPointContainer: refused the same way.
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;

    // ISlideState
    STDMETHODIMP Next() override;
    STDMETHODIMP Exit() override;
    STDMETHODIMP Ping(BSTR queryArgs) override;
    STDMETHODIMP DisplayFolderChooser() override;
    STDMETHODIMP Previous() override;
    STDMETHODIMP JSLoadComplete() override;
    STDMETHODIMP ExitWithCode(ULONG code) override;
    STDMETHODIMP ExitCode(ULONG *code) override;
    STDMETHODIMP QueueRemove(BSTR item) override;
    STDMETHODIMP QueuePause(BSTR item) override;
    STDMETHODIMP QueueTop(BSTR item) override;
    STDMETHODIMP Minimize() override;
    STDMETHODIMP message(BSTR text) override;
    STDMETHODIMP Process(VARIANT record) override;
    STDMETHODIMP QueryAction(BSTR *action) override;
    STDMETHODIMP Quit(VARIANT_BOOL *exiting) override;
    STDMETHODIMP get_InstallPath(BSTR *pVal) override;
    STDMETHODIMP put_InstallPath(BSTR newVal) override;
    STDMETHODIMP get_InstallPathLuaCompatible(BSTR *pVal) override;
    STDMETHODIMP AddTag(BSTR id) override;
    STDMETHODIMP RemoveTag(BSTR id) override;
    STDMETHODIMP TagRemoved(BSTR id, VARIANT_BOOL *bRemoved) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP PollJSLoadComplete(VARIANT_BOOL *loaded) override;
    STDMETHODIMP PollQueueRemove(BSTR *item) override;
    STDMETHODIMP PollQueuePause(VARIANT_BOOL *paused) override;
    STDMETHODIMP PollQueueTop(BSTR *item) override;
    STDMETHODIMP PollMessage(BSTR *text) override;
    STDMETHODIMP PollProcess(VARIANT *record) override;

    // The late-bound members: names, DISPIDs, argument counts and conversions.
    static const common::DispatchTable<CSlideState> kDispatchTable;

protected:
    common::ConnectionPoint* const* Points(size_t& count) noexcept override;

private:
    // Copies *field into out (null stays null) and clears it.
    HRESULT Take(BSTR& field, BSTR* out);
    // Fires an event of _ISlideStateEvents to every connected sink on this thread; a
    // sink's exception record becomes the thread's error information.
    void Fire(DISPID id) noexcept;

    common::Bstr installPath_{L""};
    common::CriticalSection stateLock_;
    VARIANT_BOOL nextFlag_ = VARIANT_FALSE;
    VARIANT_BOOL exitFlag_ = VARIANT_FALSE;
    VARIANT_BOOL previousFlag_ = VARIANT_FALSE;
    VARIANT_BOOL jsLoadFlag_ = VARIANT_FALSE;
    VARIANT_BOOL queuePauseFlag_ = VARIANT_FALSE;
    BSTR message_ = nullptr;
    BSTR queueTop_ = nullptr;
    BSTR queueRemove_ = nullptr;
    ULONG exitCode_ = 0;
    std::map<std::string, bool> tags_;
    std::deque<ProcessRecord> processQueue_;
    // The variant PollProcess handed out last; its array belongs to that caller.
    VARIANT pollResult_;
    // The array PollProcess built last, kept until the next record is handed out.
    common::SafeArray pollArray_;

    common::ConnectionPoint propertyNotify_;
    common::ConnectionPoint events_;
    common::ConnectionPoint* points_[2];
};

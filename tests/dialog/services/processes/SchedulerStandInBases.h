#pragma once
// Bases for the task-scheduler stand-in: each answers IUnknown (reference counted,
// its own interface and its bases) and IDispatch, and returns E_NOTIMPL from every
// member a concrete class doesn't override. Member lists follow the toolchain's
// taskschd.h.
#include <windows.h>
#include <taskschd.h>

template <class Itf>
class StandInUnknown : public Itf {
public:
    virtual ~StandInUnknown() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(Itf) || Answers(riid))
            *ppv = static_cast<Itf*>(this);
        if (!*ppv) return E_NOINTERFACE;
        this->AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = ::InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

protected:
    // Further interfaces the object answers with the same pointer (derived interfaces).
    virtual bool Answers(REFIID) { return false; }

private:
    volatile LONG refs_ = 1;
};


class ITaskServiceStandIn : public StandInUnknown<ITaskService> {
public:
    HRESULT STDMETHODCALLTYPE GetFolder(BSTR path, ITaskFolder **folder) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRunningTasks(LONG flags, IRunningTaskCollection **tasks) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NewTask(DWORD flags, ITaskDefinition **definition) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Connect(VARIANT server, VARIANT user, VARIANT domain, VARIANT password) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Connected(VARIANT_BOOL *connected) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_TargetServer(BSTR *server) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ConnectedUser(BSTR *user) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ConnectedDomain(BSTR *domain) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_HighestVersion(DWORD *version) override { return E_NOTIMPL; }
};

class ITaskFolderStandIn : public StandInUnknown<ITaskFolder> {
public:
    HRESULT STDMETHODCALLTYPE get_Name(BSTR *name) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Path(BSTR *path) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFolder(BSTR path, ITaskFolder **folder) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFolders(LONG flags, ITaskFolderCollection **folders) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateFolder(BSTR name, VARIANT sddl, ITaskFolder **folder) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteFolder(BSTR name, LONG flags) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTask(BSTR path, IRegisteredTask **task) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTasks(LONG flags, IRegisteredTaskCollection **tasks) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteTask(BSTR name, LONG flags) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RegisterTask(BSTR path, BSTR xml, LONG flags, VARIANT user, VARIANT password, TASK_LOGON_TYPE logonType, VARIANT sddl, IRegisteredTask **task) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RegisterTaskDefinition(BSTR path, ITaskDefinition *definition, LONG flags, VARIANT user, VARIANT password, TASK_LOGON_TYPE logon, VARIANT sddl, IRegisteredTask **task) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSecurityDescriptor(LONG info, BSTR *sddl) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSecurityDescriptor(BSTR sddl, LONG flags) override { return E_NOTIMPL; }
};

class ITaskDefinitionStandIn : public StandInUnknown<ITaskDefinition> {
public:
    HRESULT STDMETHODCALLTYPE get_RegistrationInfo(IRegistrationInfo **info) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RegistrationInfo(IRegistrationInfo *info) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Triggers(ITriggerCollection **triggers) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Triggers(ITriggerCollection *triggers) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Settings(ITaskSettings **settings) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Settings(ITaskSettings *settings) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Data(BSTR *data) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Data(BSTR data) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Principal(IPrincipal **principal) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Principal(IPrincipal *principal) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Actions(IActionCollection **actions) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Actions(IActionCollection *actions) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_XmlText(BSTR *xml) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_XmlText(BSTR xml) override { return E_NOTIMPL; }
};

class ITaskSettingsStandIn : public StandInUnknown<ITaskSettings> {
public:
    HRESULT STDMETHODCALLTYPE get_AllowDemandStart(VARIANT_BOOL *allow) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_AllowDemandStart(VARIANT_BOOL allow) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RestartInterval(BSTR *interval) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RestartInterval(BSTR interval) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RestartCount(INT *count) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RestartCount(INT count) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MultipleInstances(TASK_INSTANCES_POLICY *policy) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_MultipleInstances(TASK_INSTANCES_POLICY policy) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_StopIfGoingOnBatteries(VARIANT_BOOL *stop) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_StopIfGoingOnBatteries(VARIANT_BOOL stop) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DisallowStartIfOnBatteries(VARIANT_BOOL *disallow) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_DisallowStartIfOnBatteries(VARIANT_BOOL disallow) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_AllowHardTerminate(VARIANT_BOOL *allow) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_AllowHardTerminate(VARIANT_BOOL allow) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_StartWhenAvailable(VARIANT_BOOL *start) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_StartWhenAvailable(VARIANT_BOOL start) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_XmlText(BSTR *xml) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_XmlText(BSTR xml) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RunOnlyIfNetworkAvailable(VARIANT_BOOL *run) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RunOnlyIfNetworkAvailable(VARIANT_BOOL run) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ExecutionTimeLimit(BSTR *limit) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_ExecutionTimeLimit(BSTR limit) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL *enabled) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL enabled) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DeleteExpiredTaskAfter(BSTR *delay) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_DeleteExpiredTaskAfter(BSTR delay) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Priority(INT *priority) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Priority(INT priority) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Compatibility(TASK_COMPATIBILITY *level) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Compatibility(TASK_COMPATIBILITY level) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Hidden(VARIANT_BOOL *hidden) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Hidden(VARIANT_BOOL hidden) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_IdleSettings(IIdleSettings **settings) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_IdleSettings(IIdleSettings *settings) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RunOnlyIfIdle(VARIANT_BOOL *run) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RunOnlyIfIdle(VARIANT_BOOL run) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_WakeToRun(VARIANT_BOOL *wake) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_WakeToRun(VARIANT_BOOL wake) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_NetworkSettings(INetworkSettings **settings) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_NetworkSettings(INetworkSettings *settings) override { return E_NOTIMPL; }
};

class ITriggerCollectionStandIn : public StandInUnknown<ITriggerCollection> {
public:
    HRESULT STDMETHODCALLTYPE get_Count(LONG *count) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Item(LONG index, ITrigger **trigger) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown **penum) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Create(TASK_TRIGGER_TYPE2 type, ITrigger **trigger) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Remove(VARIANT index) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clear() override { return E_NOTIMPL; }
};

class ITriggerStandIn : public StandInUnknown<ITrigger> {
public:
    HRESULT STDMETHODCALLTYPE get_Type(TASK_TRIGGER_TYPE2 *type) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Id(BSTR *id) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Id(BSTR id) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Repetition(IRepetitionPattern **repeat) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Repetition(IRepetitionPattern *repeat) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ExecutionTimeLimit(BSTR *limit) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_ExecutionTimeLimit(BSTR limit) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_StartBoundary(BSTR *start) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_StartBoundary(BSTR start) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_EndBoundary(BSTR *end) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_EndBoundary(BSTR end) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL *enabled) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL enabled) override { return E_NOTIMPL; }
};

class IActionCollectionStandIn : public StandInUnknown<IActionCollection> {
public:
    HRESULT STDMETHODCALLTYPE get_Count(LONG *count) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Item(LONG index, IAction **action) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown **penum) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_XmlText(BSTR *xml) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_XmlText(BSTR xml) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Create(TASK_ACTION_TYPE Type, IAction **action) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Remove(VARIANT index) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clear() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Context(BSTR *ctx) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Context(BSTR ctx) override { return E_NOTIMPL; }
};

class IExecActionStandIn : public StandInUnknown<IExecAction> {
public:
    HRESULT STDMETHODCALLTYPE get_Id(BSTR *id) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Id(BSTR id) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Type(TASK_ACTION_TYPE *type) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Path(BSTR *path) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Path(BSTR path) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Arguments(BSTR *argument) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Arguments(BSTR argument) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_WorkingDirectory(BSTR *directory) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_WorkingDirectory(BSTR directory) override { return E_NOTIMPL; }
};

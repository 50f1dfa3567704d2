// Stand-in for the Task Scheduler 2.0 service ("Schedule.Service"), reached through an
// activation context that redirects the ProgID to this DLL. It keeps registered tasks
// for the life of the process and appends one line per call to the file named by the
// environment variable PM_SCHEDULER_LOG. PM_SCHEDULER_FAIL names one step that then
// fails with E_ACCESSDENIED (Connect, GetFolder, NewTask, get_Settings, put_Priority,
// Trigger.Create, Action.Create, put_Path, RegisterTaskDefinition).
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <map>
#include <new>
#include <string>

#include "SchedulerStandInBases.h"

namespace {

const IID kIID_IRegistrationTrigger = {0x4c8fec3a, 0xc218, 0x4e0c, {0xb2, 0x3d, 0x62, 0x90, 0x24, 0xdb, 0x91, 0xa2}};
// {5C3E8A41-7B2D-4F19-9A6E-2D8F1B4C7E90}
const CLSID kCLSID_StandIn = {0x5c3e8a41, 0x7b2d, 0x4f19, {0x9a, 0x6e, 0x2d, 0x8f, 0x1b, 0x4c, 0x7e, 0x90}};

std::wstring Env(const wchar_t* name) {
    wchar_t buf[1024];
    DWORD n = ::GetEnvironmentVariableW(name, buf, 1024);
    return n && n < 1024 ? std::wstring(buf, n) : std::wstring();
}

void Log(const std::wstring& line) {
    std::wstring path = Env(L"PM_SCHEDULER_LOG");
    if (path.empty()) return;
    HANDLE f = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    std::wstring text = line + L"\n";
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(f, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
    ::CloseHandle(f);
}

// Logs the step and tells whether the test asked it to fail.
bool Step(const std::wstring& step, const std::wstring& detail = L"") {
    Log(step + (detail.empty() ? L"" : L" " + detail));
    return Env(L"PM_SCHEDULER_FAIL") == step;
}

std::wstring Text(BSTR s) { return s ? std::wstring(s, ::SysStringLen(s)) : L"<null>"; }
std::wstring Num(long v) { return std::to_wstring(v); }
std::wstring Describe(const VARIANT& v) {
    if (v.vt == VT_BSTR) return L"bstr:'" + Text(v.bstrVal) + L"'";
    return L"vt" + Num(v.vt);
}

// Registered tasks of this process: name -> what the definition held.
std::map<std::wstring, std::wstring>& Tasks() {
    static std::map<std::wstring, std::wstring> tasks;
    return tasks;
}

class Settings : public ITaskSettingsStandIn {
public:
    std::wstring state;
    HRESULT STDMETHODCALLTYPE put_StartWhenAvailable(VARIANT_BOOL v) override {
        state += L" startWhenAvailable=" + Num(v);
        return Step(L"put_StartWhenAvailable", Num(v)) ? E_ACCESSDENIED : S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Priority(INT v) override {
        state += L" priority=" + Num(v);
        return Step(L"put_Priority", Num(v)) ? E_ACCESSDENIED : S_OK;
    }
};

class Trigger : public ITriggerStandIn {
public:
    explicit Trigger(TASK_TRIGGER_TYPE2 type) : type_(type) {}
    std::wstring id;
    HRESULT STDMETHODCALLTYPE get_Type(TASK_TRIGGER_TYPE2* type) override {
        *type = type_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Id(BSTR v) override {
        id = Text(v);
        return Step(L"Trigger.put_Id", id) ? E_ACCESSDENIED : S_OK;
    }

protected:
    bool Answers(REFIID riid) override {
        bool registration = type_ == TASK_TRIGGER_REGISTRATION && riid == kIID_IRegistrationTrigger;
        if (registration) Log(L"QueryInterface IRegistrationTrigger");
        return registration;
    }

private:
    TASK_TRIGGER_TYPE2 type_;
};

class Triggers : public ITriggerCollectionStandIn {
public:
    ~Triggers() override {
        if (last) last->Release();
    }
    Trigger* last = nullptr;
    long count = 0;
    HRESULT STDMETHODCALLTYPE Create(TASK_TRIGGER_TYPE2 type, ITrigger** out) override {
        if (Step(L"Trigger.Create", Num(type))) return E_ACCESSDENIED;
        auto* t = new Trigger(type);
        if (last) last->Release();
        last = t;
        ++count;
        t->AddRef();
        *out = t;
        return S_OK;
    }
};

class ExecAction : public IExecActionStandIn {
public:
    std::wstring path = L"<unset>", args = L"<unset>", dir = L"<unset>";
    HRESULT STDMETHODCALLTYPE put_Path(BSTR v) override {
        path = Text(v);
        return Step(L"put_Path", path) ? E_ACCESSDENIED : S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Arguments(BSTR v) override {
        args = Text(v);
        return Step(L"put_Arguments", args) ? E_ACCESSDENIED : S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_WorkingDirectory(BSTR v) override {
        dir = Text(v);
        return Step(L"put_WorkingDirectory", dir) ? E_ACCESSDENIED : S_OK;
    }

protected:
    bool Answers(REFIID riid) override { return riid == IID_IAction; }
};

class Actions : public IActionCollectionStandIn {
public:
    ~Actions() override {
        if (last) last->Release();
    }
    ExecAction* last = nullptr;
    long count = 0;
    HRESULT STDMETHODCALLTYPE Create(TASK_ACTION_TYPE type, IAction** out) override {
        if (Step(L"Action.Create", Num(type))) return E_ACCESSDENIED;
        if (type != TASK_ACTION_EXEC) return E_NOTIMPL;
        auto* a = new ExecAction();
        if (last) last->Release();
        last = a;
        ++count;
        a->AddRef();
        *out = reinterpret_cast<IAction*>(static_cast<IExecAction*>(a));
        return S_OK;
    }
};

class Definition : public ITaskDefinitionStandIn {
public:
    Settings* settings = new Settings();
    Triggers* triggers = new Triggers();
    Actions* actions = new Actions();
    ~Definition() override {
        settings->Release();
        triggers->Release();
        actions->Release();
    }
    HRESULT STDMETHODCALLTYPE get_Settings(ITaskSettings** out) override {
        if (Step(L"get_Settings")) return E_ACCESSDENIED;
        settings->AddRef();
        *out = settings;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Triggers(ITriggerCollection** out) override {
        if (Step(L"get_Triggers")) return E_ACCESSDENIED;
        triggers->AddRef();
        *out = triggers;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Actions(IActionCollection** out) override {
        if (Step(L"get_Actions")) return E_ACCESSDENIED;
        actions->AddRef();
        *out = actions;
        return S_OK;
    }
    std::wstring Summary() const {
        std::wstring s = L"settings:" + settings->state + L" triggers=" + Num(triggers->count);
        if (triggers->last) {
            TASK_TRIGGER_TYPE2 type;
            triggers->last->get_Type(&type);
            s += L" type=" + Num(type) + L" id=" + triggers->last->id;
        }
        s += L" actions=" + Num(actions->count);
        if (actions->last)
            s += L" path=" + actions->last->path + L" args=" + actions->last->args + L" dir=" + actions->last->dir;
        return s;
    }
};

class Folder : public ITaskFolderStandIn {
public:
    HRESULT STDMETHODCALLTYPE DeleteTask(BSTR name, LONG flags) override {
        std::wstring n = Text(name);
        bool known = Tasks().erase(n) > 0;
        Step(L"DeleteTask", n + L" flags=" + Num(flags) + (known ? L" deleted" : L" not found"));
        return known ? S_OK : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    HRESULT STDMETHODCALLTYPE RegisterTaskDefinition(BSTR name, ITaskDefinition* definition, LONG flags, VARIANT user,
                                                     VARIANT password, TASK_LOGON_TYPE logon, VARIANT sddl,
                                                     IRegisteredTask** task) override {
        if (task) *task = nullptr;
        std::wstring call = Text(name) + L" flags=" + Num(flags) + L" user=" + Describe(user) + L" password=" +
                            Describe(password) + L" logon=" + Num(logon) + L" sddl=" + Describe(sddl);
        if (Step(L"RegisterTaskDefinition", call)) return E_ACCESSDENIED;
        auto* def = static_cast<Definition*>(definition);
        Tasks()[Text(name)] = def->Summary();
        for (const auto& t : Tasks()) Log(L"Registered " + t.first + L": " + t.second);
        return S_OK;
    }
};

class Service : public ITaskServiceStandIn {
public:
    HRESULT STDMETHODCALLTYPE Connect(VARIANT server, VARIANT user, VARIANT domain, VARIANT password) override {
        return Step(L"Connect", Describe(server) + L" " + Describe(user) + L" " + Describe(domain) + L" " +
                                    Describe(password))
                   ? E_ACCESSDENIED
                   : S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFolder(BSTR path, ITaskFolder** out) override {
        if (Step(L"GetFolder", Text(path))) return E_ACCESSDENIED;
        *out = new Folder();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE NewTask(DWORD flags, ITaskDefinition** out) override {
        if (Step(L"NewTask", Num(static_cast<long>(flags)))) return E_ACCESSDENIED;
        *out = new Definition();
        return S_OK;
    }
};

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        Log(L"CreateInstance");
        auto* s = new Service();
        HRESULT hr = s->QueryInterface(riid, ppv);
        s->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory factory;

}  // namespace

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (clsid != kCLSID_StandIn) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(riid, ppv);
}

// Kept loaded: the registered tasks live as long as the process.
extern "C" HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }

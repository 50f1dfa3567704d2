#include "dialog/services/processes/LowRightsTask.h"

#include <ole2.h>
#include <taskschd.h>

#include "common/Bstr.h"
#include "common/ComPtr.h"
#include "common/HResult.h"
#include "common/Variant.h"

namespace {
// IRegistrationTrigger (taskschd.h of the toolchain lacks it): ITrigger plus Delay.
const IID kIID_IRegistrationTrigger = {0x4c8fec3a, 0xc218, 0x4e0c, {0xb2, 0x3d, 0x62, 0x90, 0x24, 0xdb, 0x91, 0xa2}};
const IID kIID_ITaskService = {0x2faba4c7, 0x4da9, 0x4013, {0x96, 0x97, 0x20, 0xcc, 0x3f, 0xd4, 0x0f, 0x85}};
const IID kIID_IExecAction = {0x4c3d624d, 0xfd6b, 0x49a3, {0xb9, 0xb7, 0x09, 0xcb, 0x3c, 0xd3, 0xf0, 0x47}};
}  // namespace

const wchar_t* const LowRightsTask::kTaskName = L"Vista Task Low";

HRESULT LowRightsTask::Register(BSTR executablePath, BSTR arguments, BSTR workDir) noexcept {
    common::Bstr name(kTaskName);
    if (!name) return E_OUTOFMEMORY;

    // Systems without Task Scheduler 2.0 fail here.
    CLSID clsid;
    RETURN_IF_FAILED(::CLSIDFromProgID(L"Schedule.Service", &clsid));
    common::ComPtr<ITaskService> service;
    RETURN_IF_FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_ALL, kIID_ITaskService, service.put_void()));

    common::Variant none;  // the four connection arguments are all empty: this machine, this user
    RETURN_IF_FAILED(service->Connect(*none.get(), *none.get(), *none.get(), *none.get()));

    common::Bstr rootPath(L"\\");
    if (!rootPath) return E_OUTOFMEMORY;
    common::ComPtr<ITaskFolder> root;
    RETURN_IF_FAILED(service->GetFolder(rootPath.get(), root.put()));

    // A leftover of an earlier call is replaced; not finding one is the usual case.
    HRESULT deleted = root->DeleteTask(name.get(), 0);
    (void)deleted;

    common::ComPtr<ITaskDefinition> task;
    RETURN_IF_FAILED(service->NewTask(0, task.put()));

    common::ComPtr<ITaskSettings> settings;
    RETURN_IF_FAILED(task->get_Settings(settings.put()));
    RETURN_IF_FAILED(settings->put_StartWhenAvailable(static_cast<VARIANT_BOOL>(1)));
    RETURN_IF_FAILED(settings->put_Priority(4));

    common::ComPtr<ITriggerCollection> triggers;
    RETURN_IF_FAILED(task->get_Triggers(triggers.put()));
    common::ComPtr<ITrigger> trigger;
    RETURN_IF_FAILED(triggers->Create(TASK_TRIGGER_REGISTRATION, trigger.put()));
    // The registration trigger's interface starts with ITrigger's methods.
    common::ComPtr<ITrigger> registration;
    RETURN_IF_FAILED(trigger->QueryInterface(kIID_IRegistrationTrigger, registration.put_void()));
    common::Bstr triggerId(L"Trigger1");
    if (!triggerId) return E_OUTOFMEMORY;
    RETURN_IF_FAILED(registration->put_Id(triggerId.get()));

    common::ComPtr<IActionCollection> actions;
    RETURN_IF_FAILED(task->get_Actions(actions.put()));
    common::ComPtr<IAction> action;
    RETURN_IF_FAILED(actions->Create(TASK_ACTION_EXEC, action.put()));
    common::ComPtr<IExecAction> exec;
    RETURN_IF_FAILED(action->QueryInterface(kIID_IExecAction, exec.put_void()));
    RETURN_IF_FAILED(exec->put_Path(executablePath));
    RETURN_IF_FAILED(exec->put_Arguments(arguments));
    if (workDir) RETURN_IF_FAILED(exec->put_WorkingDirectory(workDir));

    common::Variant user, password;
    common::Variant sddl(L"");
    common::ComPtr<IRegisteredTask> registered;
    return root->RegisterTaskDefinition(name.get(), task.get(), TASK_CREATE_OR_UPDATE, *user.get(), *password.get(),
                                        TASK_LOGON_INTERACTIVE_TOKEN, *sddl.get(), registered.put());
}

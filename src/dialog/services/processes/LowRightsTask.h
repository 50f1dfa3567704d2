#pragma once
// Starts a program in the interactive user's ordinary (non-elevated) context through the
// Task Scheduler: registers the task "Vista Task Low" in the root folder with a
// registration trigger, which makes the scheduler run it at once.
#include <windows.h>
#include <oleauto.h>

class LowRightsTask {
public:
    // Name of the task, replaced on every registration and never deleted.
    static const wchar_t* const kTaskName;

    // The first failing scheduler call's HRESULT, else the registration's. `workDir`
    // null leaves the action's working directory unset.
    static HRESULT Register(BSTR executablePath, BSTR arguments, BSTR workDir) noexcept;
};

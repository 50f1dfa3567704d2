#pragma once
// Shared by the message and language tests: the control by ProgID, its dual interface,
// the calling thread's message loop and a stand-in UI thread.
#include <windows.h>

#include <map>
#include <string>

#include "Harness.h"
#include "common/Handle.h"
#include "stagehand.h"

namespace stringstest {

constexpr wchar_t kProgId[] = L"Stagehand.InstallDlgCtl";

// The singleton control, late-bound as the engine holds it.
common::ComPtr<IDispatch> Control();
// The same object through its dual interface, for results a script can't see (S_FALSE).
common::ComPtr<IInstallDlgCtl> ControlVtable();

// Runs the calling thread's message loop. True when it ended with a quit message
// within timeoutMs (its exit code in *exitCode); false when it was still running.
bool LoopEnds(DWORD timeoutMs, WPARAM* exitCode = nullptr);

// A thread with a message loop of its own, standing for the installer's UI thread.
class LoopThread {
public:
    LoopThread();
    ~LoopThread();
    LoopThread(const LoopThread&) = delete;
    LoopThread& operator=(const LoopThread&) = delete;
    // Whether the loop still answers a posted message.
    bool Answers();

private:
    static DWORD WINAPI Main(void* self);
    common::UniqueHandle ready_, pong_, thread_;
    DWORD id_ = 0;
};

// Every string of a module's string table by id, read from the raw resource blocks
// (so lengths and contents are exact); *languages gets the languages of the blocks.
std::map<int, std::wstring> ReadStringTable(HMODULE module, std::vector<LANGID>* languages = nullptr);

// The placeholders of a text in order ("%ls", "%d", ...); "%%" is none.
std::vector<std::wstring> Placeholders(const std::wstring& text);

// stagehand.dll of the build, loaded as a data file.
class StagehandFile {
public:
    StagehandFile();
    HMODULE get() const { return module_.get(); }

private:
    common::UniqueModule module_;
};

}  // namespace stringstest

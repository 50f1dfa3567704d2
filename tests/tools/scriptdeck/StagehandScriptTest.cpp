// The engine's way end to end: a script drives the registered stagehand objects by
// ProgID (shell, registry, unpacker with its progress events, page state, process
// manager) and ends with its own exit code.
#include <gtest/gtest.h>

#include "EngineFolder.h"
#include "RarWriter.h"

using decktest::EngineFolder;
using decktest::EngineRun;

namespace {
// The script's registry key under HKEY_CURRENT_USER\Software, removed at the end.
class ScratchKey {
public:
    ScratchKey() : name_(L"ScriptdeckTest" + std::to_wstring(::GetCurrentProcessId())) {}
    ~ScratchKey() { ::RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\" + name_).c_str()); }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    const std::wstring& name() const { return name_; }

private:
    std::wstring name_;
};
}  // namespace

TEST(ScriptdeckStagehand, AnInstallerScriptDrivesTheRegisteredObjects) {
    EngineFolder folder;
    folder.AddToBin(L"UnRAR.dll", L"UnRAR.dll");  // the unpacker loads .\bin\UnRAR.dll
    harness::RarWriter().AddFile(L"game\\readme.txt", "payload bytes").Save(folder / L"payload.rar");
    ScratchKey scratch;
    const std::wstring& key = scratch.name();
    folder.WriteScript(L"installerMain.clf", R"lua(
local dir, key = arg[1], arg[2]
local shell = com.CreateObject("PebbleUtil.ShellCtl")
local reg = com.CreateObject("PebbleUtil.RegAccess")
local unrar = com.CreateObject("PebbleUtil.UnRar")
local pm = com.CreateObject("PebbleUtil.ProcessMgr")
local state = com.CreateObject("DOZUvidaruve.StateCtrl")

-- Shell: a folder lookup, a shortcut through [in] BSTR* parameters.
show(string.len(shell:GetFolderPath(26)) > 3)
shell:CreateShortcut(dir .. "\\Game.lnk", dir .. "\\game\\readme.txt", "", dir, "-play")

-- Registry: values under a key of our own, a multi-string from a Lua table.
show(reg:OpenKey(1, "Software"))
reg:CreateSubKey(key, "Path", dir, 1)
reg:CreateMLSubKey(key, "Parts", {"one", "two"}, 7)
show(reg:OpenKey(1, "Software\\" .. key), reg:QuerySZValue("Path") == dir)
local parts = reg:QueryValue("Parts")
show(parts.n, parts[1], parts[2])

-- Unpacking, with the progress events going to a sink table.
local percents = {}
com.Connect(unrar, {OnProgress = function(self, percent) table.insert(percents, percent) end})
unrar:Unpack(dir .. "\\payload.rar", dir)
show(percents[table.getn(percents)], unrar:PercentComplete())

-- The page state: a property written and read.
state.InstallPath = dir .. "\\game"
show(state.InstallPath == dir .. "\\game", state:QueryAction())

-- Handles travel as numbers: a named mutex made, taken and let go.
local mutex = pm:CreateNamedMutex(key)
show(mutex > 0, pm:ObtainMutex(mutex))
pm:ReleaseMutex(mutex)
pm:CloseMutex(mutex)
-- Polling waits run the engine's loop; the script's return value is the exit code.
pm:Sleep(10)
return 4
)lua");
    EngineRun run = folder.Run(L"installerMain.clf \"" + folder.path() + L"\" \"" + key + L"\"");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(4u, run.exitCode) << run.err;
    EXPECT_EQ((std::vector<std::string>{"true", "true", "true|true", "2|one|two", "100|100", "true|", "true|true"}),
              run.out)
        << run.err;

    EXPECT_TRUE(harness::FileExists(folder / L"Game.lnk"));
    EXPECT_EQ("payload bytes", harness::ReadFile(folder / L"game\\readme.txt"));
    EXPECT_EQ(folder.path(), harness::StringValue(HKEY_CURRENT_USER, L"Software\\" + key, L"Path"));
}

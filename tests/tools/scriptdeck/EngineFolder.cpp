#include "EngineFolder.h"

#include <gtest/gtest.h>

#include <sstream>

#include "common/Handle.h"

namespace decktest {
namespace {

// Helpers every test script starts with, written the Lua 5.0 way (arg tables for
// varargs, no 5.1-only library functions): the engine's scripts are Lua 5.0.
const char kPrelude[] = R"lua(
local function pack(...) return arg end
-- One line of values separated by '|'.
function show(...)
  local parts = {}
  for i = 1, arg.n do parts[i] = tostring(arg[i]) end
  io.write(table.concat(parts, "|"), "\n")
end
-- "ok|<results...>" or "err|<message>".
function try(f, ...)
  local r = pack(pcall(f, unpack(arg, 1, arg.n)))
  if r[1] then
    local parts = {"ok"}
    for i = 2, r.n do parts[i] = tostring(r[i]) end
    show(unpack(parts, 1, r.n))
  else
    show("err", r[2])
  end
end
)lua";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

common::UniqueHandle InheritableFile(const std::wstring& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    return common::UniqueHandle(::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

EngineFolder::EngineFolder() : dir_(L"sd") {
    ::CreateDirectoryW((dir_ / L"bin").c_str(), nullptr);
    const std::wstring runtime = harness::Join(harness::BinDir(), L"luart");
    harness::CopyFileOrThrow(harness::Join(runtime, L"scriptdeck.exe"), dir_ / L"bin\\scriptdeck.exe");
    harness::CopyFileOrThrow(harness::Join(runtime, L"lua50.dll"), dir_ / L"bin\\lua50.dll");
}

void EngineFolder::AddToBin(const std::wstring& builtName, const std::wstring& binName) {
    harness::CopyFileOrThrow(harness::Join(harness::BinDir(), builtName), dir_ / (L"bin\\" + binName));
}

void EngineFolder::WriteScript(const std::wstring& name, const std::string& body) const {
    harness::WriteFile(dir_ / name, std::string(kPrelude) + body + "\n");
}

EngineRun EngineFolder::Run(const std::wstring& arguments, harness::DebugCapture* capture, DWORD timeoutMs) const {
    EngineRun run;
    const std::wstring outPath = dir_ / L"stdout.txt", errPath = dir_ / L"stderr.txt";
    {
        common::UniqueHandle in = InheritableFile(L"NUL", GENERIC_READ, OPEN_EXISTING);
        common::UniqueHandle out = InheritableFile(outPath, GENERIC_WRITE, CREATE_ALWAYS);
        common::UniqueHandle err = InheritableFile(errPath, GENERIC_WRITE, CREATE_ALWAYS);
        EXPECT_TRUE(out && err) << "cannot create the output files";
        STARTUPINFOW si = {sizeof si};
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = in.get();
        si.hStdOutput = out.get();
        si.hStdError = err.get();
        PROCESS_INFORMATION pi = {};
        std::wstring cmd = L"\"" + (dir_ / L"bin\\scriptdeck.exe") + L"\" " + arguments;
        if (!::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                              dir_.path().c_str(), &si, &pi)) {
            ADD_FAILURE() << "CreateProcess failed (" << ::GetLastError() << "): " << harness::Narrow(cmd);
            run.exitCode = static_cast<DWORD>(-1);
            return run;
        }
        common::UniqueHandle process(pi.hProcess), thread(pi.hThread);
        if (capture) capture->AddPid(pi.dwProcessId);
        ::ResumeThread(thread.get());
        if (::WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) {
            run.timedOut = true;
            ::TerminateProcess(process.get(), 9999);
            ::WaitForSingleObject(process.get(), 5000);
        }
        ::GetExitCodeProcess(process.get(), &run.exitCode);
    }
    run.out = Lines(harness::ReadFile(outPath));
    run.err = harness::ReadFile(errPath);
    return run;
}

int ScriptLine(const std::string& body, const std::string& needle) {
    const std::string script = std::string(kPrelude) + body;
    const size_t at = script.find(needle, sizeof kPrelude - 1);
    if (at == std::string::npos) {
        ADD_FAILURE() << "not in the script: " << needle;
        return 0;
    }
    int line = 1;
    for (size_t i = 0; i < at; ++i) line += script[i] == '\n';
    return line;
}

void ExpectContains(const std::string& text, const std::string& part) {
    EXPECT_NE(std::string::npos, text.find(part)) << "expected \"" << part << "\" in:\n" << text;
}

}  // namespace decktest

#include "EngineFolder.h"

#include <gtest/gtest.h>

#include <sstream>

namespace suitetest {

const wchar_t kFullStandIn[] = L"symccis_standin.dll";
const wchar_t kNoStubStandIn[] = L"symccis_standin_nostub.dll";

namespace {

// 5.0-style vararg helpers so the scripts read like the engine's.
const char kPrelude[] = R"lua(
local function pack(...) return arg end
local loader = assert(loadlib("suitebridge.dll", "luaopen_suitebridge"))
opened = pack(loader())
local outFile = assert(io.open("out.txt", "wb"))
function out(...)
  local parts = {}
  for i = 1, arg.n do parts[i] = tostring(arg[i]) end
  outFile:write(table.concat(parts, "|"), "\n")
  outFile:flush()
end
-- One line per call: "ok|<result count>|<results...>" or "err|<message>".
function show(f, ...)
  local r = pack(pcall(f, unpack(arg, 1, arg.n)))
  if r[1] then
    local parts = {"ok", tostring(r.n - 1)}
    for i = 2, r.n do parts[i + 1] = tostring(r[i]) end
    out(unpack(parts, 1, r.n + 1))
  else
    out("err", r[2])
  end
end
)lua";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t bar = line.find('|', start);
        parts.push_back(line.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return parts;
}

std::string Convert(UINT codePage, const std::wstring& s) {
    if (s.empty()) return {};
    int n = ::WideCharToMultiByte(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, s.data(), static_cast<int>(s.size()), &out[0], n, nullptr, nullptr);
    return out;
}

}  // namespace

ScopedEnv::ScopedEnv(const wchar_t* name, const std::wstring& value) : name_(name) {
    wchar_t buffer[4096];
    DWORD n = ::GetEnvironmentVariableW(name, buffer, 4096);
    if (n > 0 && n < 4096) {
        hadPrevious_ = true;
        previous_.assign(buffer, n);
    }
    ::SetEnvironmentVariableW(name, value.c_str());
}

ScopedEnv::~ScopedEnv() {
    ::SetEnvironmentVariableW(name_.c_str(), hadPrevious_ ? previous_.c_str() : nullptr);
}

EngineFolder::EngineFolder(const wchar_t* standIn)
    : dir_(L"sb"), log_(dir_ / L"standin.log"), logEnv_(L"SYMCCIS_LOG", log_) {
    const std::wstring bin = harness::BinDir(), runtime = harness::Join(bin, L"luart");
    harness::CopyFileOrThrow(harness::Join(runtime, L"lua.exe"), dir_ / L"lua.exe");
    harness::CopyFileOrThrow(harness::Join(runtime, L"lua50.dll"), dir_ / L"lua50.dll");
    harness::CopyFileOrThrow(harness::Join(bin, L"suitebridge.dll"), dir_ / L"suitebridge.dll");
    if (standIn) PlaceStandIn(dir_.path(), standIn);
}

void EngineFolder::PlaceStandIn(const std::wstring& folder, const wchar_t* standIn) {
    harness::CopyFileOrThrow(harness::Join(harness::BinDir(), standIn), harness::Join(folder, L"SymCCIS.dll"));
}

ScriptRun EngineFolder::Run(const std::string& body, const std::wstring& workDir) const {
    const std::wstring cwd = workDir.empty() ? dir_.path() : workDir;
    const std::wstring outPath = harness::Join(cwd, L"out.txt");
    ::DeleteFileW(outPath.c_str());
    harness::WriteFile(harness::Join(cwd, L"script.lua"), std::string(kPrelude) + body + "\n");
    harness::ProcessResult p = harness::Run(L"\"" + (dir_ / L"lua.exe") + L"\" script.lua", cwd, 30000);
    ScriptRun run;
    run.exitCode = p.exitCode;
    run.timedOut = p.timedOut;
    run.out = Lines(harness::ReadFile(outPath));
    return run;
}

std::vector<std::string> EngineFolder::Records() const { return Lines(harness::ReadFile(log_)); }

std::vector<std::vector<std::string>> EngineFolder::Records(const std::string& kind) const {
    std::vector<std::vector<std::string>> found;
    for (const std::string& line : Records()) {
        std::vector<std::string> parts = Split(line);
        if (parts[0] != kind) continue;
        parts.erase(parts.begin());
        found.push_back(parts);
    }
    return found;
}

RootFolder::RootFolder() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring root(temp, 3);
    for (DWORD seed = ::GetCurrentProcessId() ^ ::GetTickCount();; ++seed) {
        wchar_t name[16];
        std::swprintf(name, 16, L"sb%04lX", static_cast<unsigned long>(seed & 0xFFFF));
        path_ = root + name;
        if (::CreateDirectoryW(path_.c_str(), nullptr)) break;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create root folder");
    }
}

RootFolder::~RootFolder() { harness::RemoveTree(path_); }

std::wstring MakeFolderOfLength(const std::wstring& base, size_t length) {
    std::wstring path = base;
    while (path.size() < length) {
        size_t segment = length - path.size() - 1;
        if (segment > 200) segment = 200;
        if (segment == 0) throw std::runtime_error("cannot reach the folder length");
        path += L"\\" + std::wstring(segment, L'd');
        if (!::CreateDirectoryW(path.c_str(), nullptr)) throw std::runtime_error("cannot create long folder");
    }
    return path;
}

std::string Ansi(const std::wstring& s) { return Convert(CP_ACP, s); }
std::string Utf8(const std::wstring& s) { return Convert(CP_UTF8, s); }

std::string LuaQuote(const std::string& bytes) {
    std::string quoted = "\"";
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            quoted += static_cast<char>(c);
        } else {
            quoted += "\\" + std::to_string(c);
        }
    }
    return quoted + "\"";
}

}  // namespace suitetest

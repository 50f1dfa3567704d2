#pragma once
// Test support for the engine stand-in: a scratch installer folder laid out as the
// launcher leaves it (bin\scriptdeck.exe with the Lua runtime beside it, scripts in the
// root, which is the current directory), and runs of the real scriptdeck.exe there with
// its output captured.
#include <windows.h>

#include <string>
#include <vector>

#include "Harness.h"

namespace decktest {

struct EngineRun {
    DWORD exitCode = 0;
    bool timedOut = false;
    std::vector<std::string> out;  // stdout, line by line
    std::string err;               // stderr
};

class EngineFolder {
public:
    EngineFolder();

    const std::wstring& path() const { return dir_.path(); }
    std::wstring operator/(const std::wstring& name) const { return dir_ / name; }

    // Copies a binary of the build's bin folder into the installer's bin folder.
    void AddToBin(const std::wstring& builtName, const std::wstring& binName);
    // Writes `name` in the root: a prelude of helpers (show, try), then `body`.
    void WriteScript(const std::wstring& name, const std::string& body) const;
    // Runs bin\scriptdeck.exe with `arguments` in the root; `capture` (when given)
    // listens to the engine's debug output from its first instruction on.
    EngineRun Run(const std::wstring& arguments, harness::DebugCapture* capture = nullptr,
                  DWORD timeoutMs = 120000) const;

private:
    harness::TempDir dir_;
};

// The line number Lua reports for the first line of `body` that contains `needle`
// (WriteScript puts the prelude before the body).
int ScriptLine(const std::string& body, const std::string& needle);

// Fails the test (with both texts) unless `text` contains `part`.
void ExpectContains(const std::string& text, const std::string& part);

}  // namespace decktest

#include "InstallerProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "Harness.h"

namespace queuetest {

InstallerProcess::InstallerProcess() {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE childIn = nullptr, childOut = nullptr, ourIn = nullptr, ourOut = nullptr;
    if (!::CreatePipe(&childIn, &ourOut, &inherit, 0)) return;
    common::UniqueHandle childInput(childIn);
    input_.reset(ourOut);
    if (!::CreatePipe(&ourIn, &childOut, &inherit, 0)) return;
    common::UniqueHandle childOutput(childOut);
    output_.reset(ourIn);
    ::SetHandleInformation(ourOut, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(ourIn, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW si = {sizeof si};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = childIn;
    si.hStdOutput = childOut;
    si.hStdError = childOut;
    PROCESS_INFORMATION pi = {};
    std::wstring cmd = L"\"" + harness::Join(harness::BinDir(), L"queue_installer.exe") + L"\"";
    if (!::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, harness::BinDir().c_str(), &si,
                          &pi)) {
        ADD_FAILURE() << "queue_installer.exe not started, error " << ::GetLastError();
        return;
    }
    ::CloseHandle(pi.hThread);
    process_.reset(pi.hProcess);
    pid_ = pi.dwProcessId;
}

InstallerProcess::~InstallerProcess() {
    if (!process_) return;
    if (input_) {
        const char quit[] = "quit\n";
        DWORD written = 0;
        ::WriteFile(input_.get(), quit, sizeof quit - 1, &written, nullptr);
        input_.reset();
    }
    if (::WaitForSingleObject(process_.get(), 60000) != WAIT_OBJECT_0) ::TerminateProcess(process_.get(), 9);
}

std::string InstallerProcess::Do(const std::string& command, DWORD timeoutMs) {
    if (!process_ || !input_) {
        ADD_FAILURE() << "no installer process for " << command.substr(0, 40);
        return {};
    }
    const std::string line = command + "\n";
    DWORD written = 0;
    if (!::WriteFile(input_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
        ADD_FAILURE() << "installer process gone before " << command.substr(0, 40);
        return {};
    }
    const DWORD start = ::GetTickCount();
    for (;;) {
        size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string answer = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (!answer.empty() && answer.back() == '\r') answer.pop_back();
            return answer;
        }
        DWORD available = 0;
        if (!::PeekNamedPipe(output_.get(), nullptr, 0, nullptr, &available, nullptr)) break;
        if (available) {
            char buffer[512];
            DWORD got = 0;
            if (!::ReadFile(output_.get(), buffer, sizeof buffer < available ? sizeof buffer : available, &got,
                            nullptr))
                break;
            pending_.append(buffer, got);
            continue;
        }
        if (::GetTickCount() - start > timeoutMs) break;
        ::Sleep(10);
    }
    ADD_FAILURE() << "no answer to " << command.substr(0, 40);
    return {};
}

bool InstallerProcess::CreateWindowInMode(int mode) { return Do("create\t" + std::to_string(mode)) == "0x00000000"; }

HRESULT InstallerProcess::Send(const std::string& gameId, const std::string& tps, const std::string& gameName) {
    std::string answer = Do("send\t" + gameId + "\t" + tps + "\t" + gameName);
    if (answer.size() != 10 || answer.compare(0, 2, "0x") != 0) {
        ADD_FAILURE() << "send answered " << answer;
        return E_UNEXPECTED;
    }
    return static_cast<HRESULT>(std::strtoul(answer.c_str() + 2, nullptr, 16));
}

bool InstallerProcess::Poll() {
    std::string answer = Do("poll");
    EXPECT_TRUE(answer == "true" || answer == "false") << "poll answered " << answer;
    return answer == "true";
}

HWND InstallerProcess::Window() {
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::strtoul(Do("window").c_str(), nullptr, 10)));
}

}  // namespace queuetest

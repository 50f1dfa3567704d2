#include "dialog/services/shell/PlatformReport.h"

#include "common/Format.h"

namespace stagehand {

namespace {

// Newer headers mark GetVersionExW deprecated; the report is defined by what it says.
BOOL WINAPI RealGetVersionEx(LPOSVERSIONINFOW info) { return ::GetVersionExW(info); }

// Appends the decimal digits of a number.
void AppendNumber(std::wstring& text, DWORD value) {
    wchar_t digits[16];
    common::FormatText(digits, sizeof digits / sizeof digits[0], L"%lu", static_cast<unsigned long>(value));
    text += digits;
}

}  // namespace

const PlatformApi& PlatformApi::System() noexcept {
    static const PlatformApi api = {&RealGetVersionEx, &::GetSystemInfo};
    return api;
}

bool PlatformReport::Version(OSVERSIONINFOW& info) const noexcept {
    info = OSVERSIONINFOW{};
    info.dwOSVersionInfoSize = sizeof info;
    return api_.getVersionExW(&info) != FALSE;
}

bool PlatformReport::MajorVersion(DWORD& major) const noexcept {
    OSVERSIONINFOW info;
    if (!Version(info)) return false;
    major = info.dwMajorVersion;
    return true;
}

const wchar_t* PlatformReport::ArchitecturePart(WORD architecture) noexcept {
    switch (architecture) {
        case PROCESSOR_ARCHITECTURE_INTEL: return L"&architecture=x86";
        case PROCESSOR_ARCHITECTURE_IA64: return L"&architecture=IA64";
        case PROCESSOR_ARCHITECTURE_AMD64: return L"&architecture=AMD/Intel%20x64";
        case PROCESSOR_ARCHITECTURE_UNKNOWN: return L"&architecture=Unknown%20Architecture";
        default: return L"";
    }
}

std::wstring PlatformReport::Text() const {
    OSVERSIONINFOW info;
    if (!Version(info)) info = OSVERSIONINFOW{};  // the numbers read 0.0.0
    SYSTEM_INFO sys = {};
    api_.getSystemInfo(&sys);
    std::wstring text = L"Windows:";
    AppendNumber(text, info.dwMajorVersion);
    text += L'.';
    AppendNumber(text, info.dwMinorVersion);
    text += L'.';
    AppendNumber(text, info.dwBuildNumber);
    text += ArchitecturePart(sys.wProcessorArchitecture);
    text += L"&Processors=";
    AppendNumber(text, sys.dwNumberOfProcessors);
    return text;
}

}  // namespace stagehand

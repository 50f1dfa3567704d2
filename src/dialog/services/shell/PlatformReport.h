#pragma once
// The operating-system version and the platform report handed to the installer
// script: "Windows:<major>.<minor>.<build>[&architecture=...]&Processors=<n>".
#include <windows.h>

#include <string>

namespace stagehand {

// The platform calls behind the report. System() gives the real ones; a test may
// supply its own to describe another processor architecture or count.
struct PlatformApi {
    BOOL(WINAPI* getVersionExW)(LPOSVERSIONINFOW info);
    void(WINAPI* getSystemInfo)(LPSYSTEM_INFO info);

    static const PlatformApi& System() noexcept;
};

class PlatformReport {
public:
    explicit PlatformReport(const PlatformApi& api = PlatformApi::System()) noexcept : api_(api) {}

    // The major version (5 for XP, 6 for Vista and 7); false when it can't be read.
    bool MajorVersion(DWORD& major) const noexcept;
    // The report text (version 0.0.0 when it can't be read).
    std::wstring Text() const;
    // The architecture part for a processor-architecture code ("" for codes not named).
    static const wchar_t* ArchitecturePart(WORD architecture) noexcept;

private:
    bool Version(OSVERSIONINFOW& info) const noexcept;

    const PlatformApi& api_;
};

}  // namespace stagehand

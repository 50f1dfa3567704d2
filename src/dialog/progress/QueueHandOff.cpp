#include "dialog/progress/QueueHandOff.h"

#include "common/DebugLog.h"
#include "common/Handle.h"

namespace stagehand {

namespace {

const wchar_t kMessageName[] = L"529B1BEA-70F6-4633-B305-B2A2EBC84DBC";
const wchar_t kMappingName[] = L"67018FAA-0BE0-4ce0-8E37-35EEBC826606";
const wchar_t kTempPrefix[] = L"PD";
constexpr DWORD kTempPathLength = 246;
// How long one window may take over the message before the broadcast passes it over.
constexpr UINT kWindowTimeoutMs = 5000;
// How long a sender waits for another installer's hand-off to give the mapping's name up.
constexpr int kNameRetries = 50;
constexpr DWORD kNameRetryMs = 100;

// Registered once, as the module is loaded, so every window of the module compares against
// the same number.
const UINT registeredMessage = ::RegisterWindowMessageW(kMessageName);

// Owner of a mapped view.
struct ViewTraits {
    using Type = const void*;
    static const void* Invalid() noexcept { return nullptr; }
    static bool IsValid(const void* view) noexcept { return view != nullptr; }
    static void Close(const void* view) noexcept { ::UnmapViewOfFile(view); }
};
using UniqueView = common::UniqueResource<ViewTraits>;

// Creates the named mapping of the file. A name already in use belongs to another
// installer's hand-off, whose readers would be given the wrong request: wait for it to end.
common::UniqueHandle CreateNamedMapping(HANDLE file) {
    for (int attempt = 0; attempt <= kNameRetries; ++attempt) {
        ::SetLastError(ERROR_SUCCESS);
        common::UniqueHandle mapping(::CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, kMappingName));
        if (!mapping) return mapping;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return mapping;
        mapping.reset();
        ::Sleep(kNameRetryMs);
    }
    ::SetLastError(ERROR_ALREADY_EXISTS);
    return common::UniqueHandle();
}

}  // namespace

UINT QueueHandOff::Message() noexcept { return registeredMessage; }

HRESULT QueueHandOff::Send(const std::vector<wchar_t>& block) {
    wchar_t folder[kTempPathLength] = {};
    wchar_t path[MAX_PATH] = {};
    DWORD folderLength = ::GetTempPathW(kTempPathLength, folder);
    if (folderLength == 0 || folderLength >= kTempPathLength || !::GetTempFileNameW(folder, kTempPrefix, 0, path)) {
        common::DebugLine() << "CInstallDlgCtl::SendQDownloadMsg no temporary file"
                            << common::LastErrSuffix(::GetLastError()) << "\n";
        return E_FAIL;
    }
    common::UniqueHandle file(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
    const DWORD blockBytes = static_cast<DWORD>(block.size() * sizeof(wchar_t));
    DWORD written = 0;
    if (!file || !::WriteFile(file.get(), block.data(), blockBytes, &written, nullptr) || written != blockBytes) {
        common::DebugLine() << "CInstallDlgCtl::SendQDownloadMsg write failed"
                            << common::LastErrSuffix(::GetLastError()) << "\n";
        return E_FAIL;
    }

    DWORD_PTR result = 0;
    {
        common::UniqueHandle mapping = CreateNamedMapping(file.get());
        if (!mapping) {
            common::DebugLine() << "CInstallDlgCtl::SendQDownloadMsg no mapping"
                                << common::LastErrSuffix(::GetLastError()) << "\n";
            return E_FAIL;
        }
        // Returns once every top-level window has handled the message (or was passed over);
        // the mapping must live until then.
        ::SendMessageTimeoutW(HWND_BROADCAST, registeredMessage, 0, 0, SMTO_ABORTIFHUNG, kWindowTimeoutMs, &result);
    }
    return static_cast<HRESULT>(result);
}

HRESULT QueueHandOff::Receive(QueueRequest& request) {
    common::UniqueHandle mapping(::OpenFileMappingW(FILE_MAP_READ, FALSE, kMappingName));
    if (!mapping) return E_FAIL;
    UniqueView view(::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, QueueRequest::kViewUnits * sizeof(wchar_t)));
    if (!view) return E_FAIL;
    return request.Parse(static_cast<const wchar_t*>(view.get()), QueueRequest::kViewUnits) ? S_OK : E_FAIL;
}

}  // namespace stagehand

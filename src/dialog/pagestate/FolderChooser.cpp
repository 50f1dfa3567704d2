#include "dialog/pagestate/FolderChooser.h"

#include <shlobj.h>
#include <shellapi.h>

#include <memory>

#include "common/Handle.h"

namespace {

struct CoTaskFree {
    void operator()(void* p) const noexcept { ::CoTaskMemFree(p); }
};
using UniqueIdList = std::unique_ptr<ITEMIDLIST, CoTaskFree>;

// The file-system path of an item, or an empty text when it has none.
std::wstring PathOf(LPCITEMIDLIST item) {
    wchar_t path[MAX_PATH] = {};
    if (!item || !::SHGetPathFromIDListW(item, path)) return std::wstring();
    path[MAX_PATH - 1] = L'\0';
    return path;
}

}  // namespace

HRESULT FolderChooser::Show(std::wstring& path) {
    path.clear();
    BROWSEINFOW info = {};
    info.hwndOwner = nullptr;
    info.pidlRoot = nullptr;
    info.lpszTitle = nullptr;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_RETURNFSANCESTORS | BIF_NEWDIALOGSTYLE;
    info.lpfn = &FolderChooser::SelectionCallback;
    UniqueIdList chosen(::SHBrowseForFolderW(&info));
    if (!chosen) return S_FALSE;
    path = PathOf(chosen.get());
    return path.empty() ? S_FALSE : S_OK;
}

int CALLBACK FolderChooser::SelectionCallback(HWND dialog, UINT message, LPARAM lParam, LPARAM) {
    if (message != BFFM_SELCHANGED) return 0;
    try {
        std::wstring path = PathOf(reinterpret_cast<LPCITEMIDLIST>(lParam));
        const LPARAM enable = (!path.empty() && IsWritableFolder(path.c_str())) ? 1 : 0;
        ::SendMessageW(dialog, BFFM_ENABLEOK, 0, enable);
        // Some shells check the selection themselves only after this callback (and then
        // enable OK for any file-system folder): the posted copy of the verdict comes
        // after that check.
        ::PostMessageW(dialog, BFFM_ENABLEOK, 0, enable);
    } catch (...) {
        // The shell calls this: nothing may leave it. Without a verdict OK stays as it is.
    }
    return 0;
}

bool FolderChooser::IsWritableFolder(const wchar_t* path) noexcept {
    if (!path) return false;
    const size_t length = ::wcsnlen(path, MAX_PATH);
    // A drive-letter path, and more than the bare root ("C:\").
    if (length < 2 || path[1] != L':' || length <= 3 || length >= MAX_PATH) return false;

    SHFILEINFOW shell = {};
    if (!::SHGetFileInfoW(path, 0, &shell, sizeof shell, SHGFI_ATTRIBUTES | SHGFI_DISPLAYNAME)) return false;
    if (!(shell.dwAttributes & (SFGAO_CANRENAME | SFGAO_CANDELETE))) return false;

    wchar_t probe[MAX_PATH] = {};
    if (!::GetTempFileNameW(path, L"TEST", 0, probe)) return false;
    bool writable;
    {
        common::UniqueHandle file(::CreateFileW(probe, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
        writable = static_cast<bool>(file);
    }
    ::DeleteFileW(probe);
    return writable;
}

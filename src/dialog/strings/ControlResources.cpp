#include "dialog/strings/ControlResources.h"

#include <new>
#include <vector>

#include "common/DebugLog.h"
#include "common/UiLanguage.h"

namespace stagehand {

ControlResources::ControlResources() noexcept
    : uiLanguage_(common::UiLanguage::User()), languageOffset_(common::UiLanguage::Offset(uiLanguage_)) {
    // By its bare name: the server is already loaded in this process, and the loader
    // finds a loaded module by name before it searches any folder.
    Load(L"stagehand.dll");
}

ControlResources::ControlResources(const wchar_t* moduleFile) noexcept
    : uiLanguage_(common::UiLanguage::User()), languageOffset_(common::UiLanguage::Offset(uiLanguage_)) {
    Load(moduleFile);
}

void ControlResources::Load(const wchar_t* file) noexcept {
    module_.reset(::LoadLibraryExW(file, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module_) {
        loadError_ = ::GetLastError();
        if (loadError_ == ERROR_SUCCESS) loadError_ = ERROR_MOD_NOT_FOUND;
        common::DebugError("ControlResources::Load failed", loadError_);
    }
}

bool ControlResources::LoadLocalized(INT baseId, size_t capacity, std::wstring& out, DWORD* error) const {
    out.clear();
    DWORD failure = ERROR_SUCCESS;
    // String ids are 16-bit: a larger one would name another string of the table.
    const LONGLONG id = static_cast<LONGLONG>(baseId) + languageOffset_;
    if (!module_) {
        failure = loadError_;
    } else if (id < 0 || id > 0xFFFF || capacity < 2) {
        failure = ERROR_RESOURCE_NAME_NOT_FOUND;
    } else {
        std::vector<wchar_t> buffer(capacity > 0x7FFFFFFF ? 0x7FFFFFFF : capacity);
        ::SetLastError(ERROR_SUCCESS);
        int n = ::LoadStringW(module_.get(), static_cast<UINT>(id), buffer.data(), static_cast<int>(buffer.size()));
        if (n > 0) {
            out.assign(buffer.data(), static_cast<size_t>(n));
            return true;
        }
        // A missing entry of an existing block leaves no error behind.
        failure = ::GetLastError();
        if (failure == ERROR_SUCCESS) failure = ERROR_RESOURCE_NAME_NOT_FOUND;
    }
    if (error) *error = failure;
    return false;
}

HRESULT ControlResources::StringById(INT baseId, BSTR* out) const noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        std::wstring text;
        if (!LoadLocalized(baseId, kMessageChars, text)) return S_FALSE;
        *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

void ControlResources::SetCaption(const wchar_t* caption) {
    common::ScopedLock guard(captionLock_);
    if (caption) {
        caption_ = caption;
        hasCaption_ = true;
    } else {
        caption_.clear();
        hasCaption_ = false;
    }
}

bool ControlResources::Caption(std::wstring& out) const {
    common::ScopedLock guard(captionLock_);
    if (!hasCaption_) return false;
    out = caption_;
    return true;
}

}  // namespace stagehand

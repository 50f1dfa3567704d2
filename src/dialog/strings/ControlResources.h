#pragma once
// The dialog control's localized resources: stagehand.dll loaded as a data file, the
// user's UI language read once with the offset of its string block, a loader for
// localized strings and the caption the message boxes use.
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "common/CriticalSection.h"
#include "common/Handle.h"

namespace stagehand {

class ControlResources {
public:
    // Capacity, in UTF-16 units with the terminator, of a message text or of a string
    // handed to the script.
    static constexpr size_t kMessageChars = 1024;

    // Loads stagehand.dll as a data file.
    ControlResources() noexcept;
    // Loads the given file as a data file (a test names the built stagehand.dll).
    explicit ControlResources(const wchar_t* moduleFile) noexcept;
    ControlResources(const ControlResources&) = delete;
    ControlResources& operator=(const ControlResources&) = delete;

    // Null when the file could not be loaded; every lookup then fails.
    HMODULE module() const noexcept { return module_.get(); }
    // The UI language read at construction and the offset of its string block.
    LANGID uiLanguage() const noexcept { return uiLanguage_; }
    UINT languageOffset() const noexcept { return languageOffset_; }

    // Loads string baseId + language offset, cut to `capacity` units with the
    // terminator. An id without a string in the user's language is missing: there
    // is no fallback to English. Returns false when missing, with *error a Win32
    // code saying why (never 0). May throw std::bad_alloc.
    bool LoadLocalized(INT baseId, size_t capacity, std::wstring& out, DWORD* error = nullptr) const;

    // GetStringById: a new BSTR of string baseId + offset (kMessageChars at most);
    // S_FALSE and null when missing.
    HRESULT StringById(INT baseId, BSTR* out) const noexcept;

    // The message-box caption: set from the dialog's title, null until then (the
    // system then shows its default caption).
    void SetCaption(const wchar_t* caption);
    // False while no caption is set.
    bool Caption(std::wstring& out) const;

private:
    void Load(const wchar_t* file) noexcept;

    common::UniqueModule module_;
    DWORD loadError_ = ERROR_SUCCESS;
    LANGID uiLanguage_ = 0;
    UINT languageOffset_ = 0;

    mutable common::CriticalSection captionLock_;
    bool hasCaption_ = false;
    std::wstring caption_;
};

}  // namespace stagehand

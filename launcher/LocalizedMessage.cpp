#include "launcher/LocalizedMessage.h"

#include "common/UiLanguage.h"

namespace ignition {

void LocalizedMessage::LoadFormattedString(HINSTANCE instance, UINT id, int number, wchar_t* out, DWORD outChars) {
    if (!out || outChars == 0) return;
    out[0] = L'\0';
    wchar_t templ[kTemplateChars];
    if (::LoadStringW(instance, id, templ, kTemplateChars) <= 0) return;

    wchar_t decimal[16];
    ::wsprintfW(decimal, L"%d", number);
    DWORD_PTR args[1] = {reinterpret_cast<DWORD_PTR>(decimal)};
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, templ, 0, 0, out, outChars,
                               reinterpret_cast<va_list*>(args));
    if (n == 0) out[0] = L'\0';
}

void LocalizedMessage::ShowLocalizedMessage(HINSTANCE instance, UINT captionId, UINT textId, int number) {
    const UINT offset = common::UiLanguage::UserOffset();
    wchar_t text[kFormattedChars];
    wchar_t caption[kFormattedChars];
    LoadFormattedString(instance, textId + offset, number, text, kFormattedChars);
    LoadFormattedString(instance, captionId + offset, 0, caption, kFormattedChars);
    ::MessageBoxW(nullptr, text, caption, MB_SYSTEMMODAL | MB_ICONWARNING);
}

}  // namespace ignition

#pragma once
// The class id the page player answers to: the platform's WebBrowser control's, so a
// host that asks for the WebBrowser gets the player where it is registered instead.
#include <windows.h>

namespace pageplayer {

const CLSID kWebBrowserClassId = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
const wchar_t kWebBrowserClassIdText[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";

}  // namespace pageplayer

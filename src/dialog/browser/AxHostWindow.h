#pragma once
// Our ActiveX host window: a child window class of ours that creates a control by its
// class id, gives it a minimal in-place site, activates it in place, keeps it sized to
// the window and tears it down when the window is destroyed.
#include <windows.h>
#include <ole2.h>

namespace stagehand {

// The registered window class of the host windows.
inline constexpr wchar_t kAxHostWindowClass[] = L"StagehandAxHost";

// Creates a child window of the host class with the control `control` created in it and
// in-place activated. Initializes OLE on the calling thread at its first use. Null when
// the window or the control could not be created (GetLastError then holds the HRESULT).
HWND CreateAxHostWindow(HWND parent, DWORD style, const RECT& rect, REFCLSID control);

// The hosted control's interface iid; E_INVALIDARG for a window that is not a host window
// of this process. Call on the host window's thread.
HRESULT QueryAxHostControl(HWND host, REFIID iid, void** out);

}  // namespace stagehand

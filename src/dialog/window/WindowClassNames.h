#pragma once
// Window class names that more than one part of stagehand relies on. The installer
// frame registers its window class under kInstallerFrameClass, and the shell object
// finds a running installer by that same name, so both must come from here.

namespace stagehand {

// The installer's frame window (the skinned main window).
inline constexpr wchar_t kInstallerFrameClass[] = L"StagehandInstallerFrame";

// The hidden notification window that runs beside the installer frame.
inline constexpr wchar_t kTaskNotifyClass[] = L"StagehandTaskNotify";

// The child window that holds an offer inside the browser area.
inline constexpr wchar_t kOfferPlaceholderClass[] = L"StagehandOfferPlaceholder";

}  // namespace stagehand

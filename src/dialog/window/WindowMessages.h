#pragma once
// Messages the dialog control sends or posts to its windows on the UI thread.
#include <windows.h>

namespace stagehand {

// To the main window (sent): run the pending page-script call; result 0 or -1.
constexpr UINT WM_DLG_CALLSCRIPT = WM_USER + 401;
// To the main window (sent): create the progress bar.
constexpr UINT WM_DLG_INITPROGRESS = WM_USER + 402;
// To the main window (sent): create the queue browser beside the main browser.
constexpr UINT WM_DLG_ENABLEQUEUE = WM_USER + 407;
// To the notification window (posted): show and hide it again.
constexpr UINT WM_TASK_NOTIFY = WM_USER + 501;

// Command identifiers posted to the main window by its buttons.
constexpr WORD kCloseCommand = 8;
constexpr WORD kCloseCommandAlt = 216;
constexpr WORD kMinimizeCommand = 218;

}  // namespace stagehand

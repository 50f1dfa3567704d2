#pragma once
// The shell's folder browser as the page-state object shows it: file-system folders
// only, OK disabled while the selection is no folder the installation could be written
// to.
#include <windows.h>

#include <string>

class FolderChooser {
public:
    // Shows the browser (no owner, no root, no title) and waits until the user closes it.
    // S_OK with the chosen folder's path; S_FALSE when cancelled (or the choice has no
    // file-system path).
    static HRESULT Show(std::wstring& path);

    // A folder the installation may go to: a drive-letter path longer than a bare drive
    // root, which the shell says can be renamed or deleted, and where a temporary file
    // ("TEST" prefix) can be created and opened for writing. The file is deleted again.
    static bool IsWritableFolder(const wchar_t* path) noexcept;

private:
    // Disables OK whenever the selection has no file-system path or is not writable, and
    // enables it for a writable folder (not every shell enables it again by itself).
    static int CALLBACK SelectionCallback(HWND dialog, UINT message, LPARAM lParam, LPARAM data);
};

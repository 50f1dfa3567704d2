#pragma once
// Cleanup mode: removes an installer folder after the installer has ended. Waits until
// no other process holds the installer's two mutexes, deletes the two logs, the
// Installer subfolder and the folder, retrying while files are in use; what can't be
// removed now is left to a RunOnce command and a marker file deleted at the next boot.
#include <windows.h>

namespace ignition {

class Cleanup {
public:
    // argv as split from the command line (program name first); the folder is argv[2].
    // Always 0; never shows anything.
    static int cleanup(int argc, wchar_t** argv);

    // Blocks until no other process holds the named mutex.
    static void WaitForMutex(const wchar_t* name);
    // Deletes folder\file, retrying while it fails.
    static void DeleteWithRetry(const wchar_t* folder, const wchar_t* fileName);
    // Deletes a file or a tree through the shell, without any UI; true when complete.
    static bool ShellDelete(const wchar_t* path);
    // True when the folder has no entries besides "." and "..".
    static bool isEmpty(const wchar_t* folder);
    // True when the folder is gone.
    static bool RemoveDir(const wchar_t* folder);
    // Deletes the Installer subfolder, then the folder; true when both are gone.
    static bool TryRemovePaths(const wchar_t* installerFolder, const wchar_t* folder);

private:
    static void Run(const wchar_t* folder);
    // Leaves the removal to the next logon and marks the pending reboot.
    static void ScheduleRemoval(const wchar_t* installerFolder, const wchar_t* folder);
};

}  // namespace ignition

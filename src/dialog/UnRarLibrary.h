#pragma once
// Run-time binding of the UnRAR.dll programming interface: the records, message codes
// and the five entry points the unpacker uses. The library is loaded afresh for each
// extraction and released when its owner goes out of scope.
#include <windows.h>

#include "common/Handle.h"

namespace unrar {

// Open modes, operations, callback messages and header flags of the published interface.
constexpr UINT kOpenList = 0;
constexpr UINT kOpenExtract = 1;
constexpr int kSkip = 0;
constexpr int kExtract = 2;
constexpr UINT kMsgChangeVolume = 0;
constexpr UINT kMsgProcessData = 1;
constexpr UINT kMsgNeedPassword = 2;
constexpr UINT kDirectoryFlags = 0xE0;

typedef int(CALLBACK* CallbackFn)(UINT msg, LPARAM userData, LPARAM p1, LPARAM p2);

#pragma pack(push, 1)
struct OpenArchiveDataEx {
    char* ArcName;
    wchar_t* ArcNameW;
    unsigned int OpenMode;
    unsigned int OpenResult;
    char* CmtBuf;
    unsigned int CmtBufSize;
    unsigned int CmtSize;
    unsigned int CmtState;
    unsigned int Flags;
    CallbackFn Callback;
    LPARAM UserData;
    unsigned int OpFlags;
    wchar_t* CmtBufW;
    unsigned int Reserved[25];
};

struct HeaderData {
    char ArcName[260];
    char FileName[260];
    unsigned int Flags;
    unsigned int PackSize;
    unsigned int UnpSize;
    unsigned int HostOS;
    unsigned int FileCRC;
    unsigned int FileTime;
    unsigned int UnpVer;
    unsigned int Method;
    unsigned int FileAttr;
    char* CmtBuf;
    unsigned int CmtBufSize;
    unsigned int CmtSize;
    unsigned int CmtState;
};
#pragma pack(pop)

static_assert(sizeof(OpenArchiveDataEx) == 152, "record layout of the published interface");
static_assert(sizeof(HeaderData) == 572, "record layout of the published interface");

inline bool IsDirectory(const HeaderData& h) noexcept { return (h.Flags & kDirectoryFlags) == kDirectoryFlags; }

// The loaded library and its entry points.
class Library {
public:
    using OpenArchiveExFn = HANDLE(WINAPI*)(OpenArchiveDataEx*);
    using ReadHeaderFn = int(WINAPI*)(HANDLE, HeaderData*);
    using SetCallbackFn = void(WINAPI*)(HANDLE, CallbackFn, LPARAM);
    using ProcessFileWFn = int(WINAPI*)(HANDLE, int, wchar_t*, wchar_t*);
    using CloseArchiveFn = int(WINAPI*)(HANDLE);

    // Loads `path` and looks up the five entry points. Returns ERROR_SUCCESS, or the
    // Win32 error of the failed load or lookup (the library is then not held).
    DWORD Bind(const wchar_t* path) noexcept;

    OpenArchiveExFn OpenArchiveEx = nullptr;
    ReadHeaderFn ReadHeader = nullptr;
    SetCallbackFn SetCallback = nullptr;
    ProcessFileWFn ProcessFileW = nullptr;
    CloseArchiveFn CloseArchive = nullptr;

private:
    common::UniqueModule module_;
};

}  // namespace unrar

// The exported entry points of UnRAR.dll (stdcall, undecorated through UnRAR.def).
// A handle is the RarArchive the open call made.
#include <windows.h>

#include "unrar/RarArchive.h"
#include "unrar/UnrarApi.h"

using unrar::RarArchive;

namespace {

using unrar::Text;

// An ANSI argument in the wide form the archive object works with.
Text Widen(const char* s) {
    Text out;
    if (!s || !*s) return out;
    int n = ::MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    if (n <= 1 || !out.Resize(static_cast<size_t>(n))) return out;
    int got = ::MultiByteToWideChar(CP_ACP, 0, s, -1, out.data(), n);
    out.Truncate(got > 0 ? static_cast<size_t>(got - 1) : 0);
    return out;
}

RarArchive* FromHandle(HANDLE h) { return static_cast<RarArchive*>(h); }

// Copies the fields the short header shares with the extended one.
void CopyShortHeader(const RARHeaderDataEx& ex, RARHeaderData* d) {
    memcpy(d->ArcName, ex.ArcName, sizeof d->ArcName - 1);
    d->ArcName[sizeof d->ArcName - 1] = '\0';
    memcpy(d->FileName, ex.FileName, sizeof d->FileName - 1);
    d->FileName[sizeof d->FileName - 1] = '\0';
    d->Flags = ex.Flags;
    d->PackSize = ex.PackSize;
    d->UnpSize = ex.UnpSize;
    d->HostOS = ex.HostOS;
    d->FileCRC = ex.FileCRC;
    d->FileTime = ex.FileTime;
    d->UnpVer = ex.UnpVer;
    d->Method = ex.Method;
    d->FileAttr = ex.FileAttr;
    d->CmtSize = 0;
    d->CmtState = 0;
}

}  // namespace

extern "C" {

HANDLE PASCAL RAROpenArchiveEx(RAROpenArchiveDataEx* data) {
    if (!data) return nullptr;
    Text name = data->ArcNameW && *data->ArcNameW ? Text(data->ArcNameW) : Widen(data->ArcName);
    unsigned result = ERAR_EOPEN;
    RarArchive* a = name.ok() ? RarArchive::Open(name.c_str(), data->OpenMode, result) : nullptr;
    if (!name.ok()) result = ERAR_NO_MEMORY;
    data->OpenResult = result;
    data->CmtSize = 0;
    data->CmtState = 0;  // archive comments are not read
    data->Flags = 0;
    if (a && data->Callback) a->SetCallback(data->Callback, data->UserData);
    return a;
}

HANDLE PASCAL RAROpenArchive(RAROpenArchiveData* data) {
    if (!data) return nullptr;
    RAROpenArchiveDataEx ex = {};
    ex.ArcName = data->ArcName;
    ex.OpenMode = data->OpenMode;
    HANDLE h = RAROpenArchiveEx(&ex);
    data->OpenResult = ex.OpenResult;
    data->CmtSize = 0;
    data->CmtState = 0;
    return h;
}

int PASCAL RARCloseArchive(HANDLE h) {
    if (!h) return ERAR_ECLOSE;
    RarArchive::Close(FromHandle(h));
    return ERAR_SUCCESS;
}

int PASCAL RARReadHeaderEx(HANDLE h, RARHeaderDataEx* header) {
    if (!h || !header) return ERAR_UNKNOWN;
    return FromHandle(h)->ReadHeader(*header);
}

int PASCAL RARReadHeader(HANDLE h, RARHeaderData* header) {
    if (!h || !header) return ERAR_UNKNOWN;
    // The extended record is large: keep it off the caller's stack.
    RARHeaderDataEx* ex = static_cast<RARHeaderDataEx*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof *ex));
    if (!ex) return ERAR_NO_MEMORY;
    int r = FromHandle(h)->ReadHeader(*ex);
    if (r == ERAR_SUCCESS) CopyShortHeader(*ex, header);
    ::HeapFree(::GetProcessHeap(), 0, ex);
    return r;
}

int PASCAL RARProcessFileW(HANDLE h, int operation, wchar_t* destPath, wchar_t* destName) {
    if (!h) return ERAR_UNKNOWN;
    return FromHandle(h)->Process(operation, destPath, destName);
}

int PASCAL RARProcessFile(HANDLE h, int operation, char* destPath, char* destName) {
    if (!h) return ERAR_UNKNOWN;
    Text path = Widen(destPath), name = Widen(destName);
    if (!path.ok() || !name.ok()) return ERAR_NO_MEMORY;
    return FromHandle(h)->Process(operation, path.c_str(), destName && *destName ? name.c_str() : nullptr);
}

void PASCAL RARSetCallback(HANDLE h, UNRARCALLBACK callback, LPARAM userData) {
    if (h) FromHandle(h)->SetCallback(callback, userData);
}

void PASCAL RARSetChangeVolProc(HANDLE h, CHANGEVOLPROC proc) {
    if (h) FromHandle(h)->SetChangeVolProc(proc);
}

void PASCAL RARSetProcessDataProc(HANDLE h, PROCESSDATAPROC proc) {
    if (h) FromHandle(h)->SetProcessDataProc(proc);
}

void PASCAL RARSetPassword(HANDLE h, char* password) {
    if (h) FromHandle(h)->SetPassword(password);
}

int PASCAL RARGetDllVersion() { return RAR_DLL_VERSION; }

}  // extern "C"

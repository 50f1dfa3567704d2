// A stand-in for UnRAR.dll whose "archives" are text files that script what it reports:
// the entries, the chunk sizes of each data notification, delays and failures. Every
// call is appended to "<archive>.log" so tests can see the order of the walk.
//
// Script lines (one entry each, in archive order):
//   openfail list|extract          the open in that mode fails
//   dir NAME                       a folder entry
//   file NAME SIZE [options]       a file entry of SIZE unpacked bytes
//       chunks=A,B,...             data notifications (default: one of SIZE bytes)
//       delay=MS                   pause before each notification
//       skipfail                   skipping it in list mode fails
//       extractfail                extracting it fails before any data
//       password                   asks for a password; fails when none is given
//       notify=M,N,...             sends these message codes (no data) before the data
//       volume=ask                 the next volume is missing: asks for it (UCM_CHANGEVOLUMEW,
//                                  RAR_VOL_ASK) until told to stop, at most 3 times, then fails
//       volume=notify              tells of a volume change (RAR_VOL_NOTIFY) before the data;
//                                  fails when told to stop
//   badheader                      reading this header fails
// The extracted file holds the chunks' bytes; folders are created.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "unrar/UnrarApi.h"

#ifdef STANDIN_WITHOUT_PROCESSFILEW
#define PROCESSFILEW_EXPORT
#else
#define PROCESSFILEW_EXPORT __declspec(dllexport)
#endif

namespace {

struct Entry {
    std::string kind;  // "file", "dir" or "badheader"
    std::string name;
    unsigned size = 0;
    std::vector<unsigned> chunks;
    std::vector<unsigned> notify;
    unsigned delay = 0;
    std::string volume;
    bool skipFail = false, extractFail = false, password = false;
};

struct ArcState {
    std::wstring path;
    unsigned mode = 0;
    std::vector<Entry> entries;
    size_t next = 0;
    const Entry* current = nullptr;
    UNRARCALLBACK callback = nullptr;
    LPARAM user = 0;
};

std::string Utf8(const wchar_t* s) {
    if (!s) return "(null)";
    int n = ::WideCharToMultiByte(CP_UTF8, 0, s, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return "";
    std::string out(n - 1, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, s, -1, &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& s) {
    if (s.empty()) return L"";
    int n = ::MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) ::MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, &out[0], n);
    return out;
}

void Log(const std::wstring& archive, const std::string& line) {
    HANDLE f = ::CreateFileW((archive + L".log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\n";
    DWORD written = 0;
    ::WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(f);
}

std::vector<unsigned> Numbers(const std::string& list) {
    std::vector<unsigned> out;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) out.push_back(static_cast<unsigned>(std::stoul(item)));
    return out;
}

// Parses the script; false when the file can't be read.
bool Load(const std::wstring& path, std::vector<Entry>& entries, std::string& openFail) {
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    std::string text;
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(f, buf, sizeof buf, &got, nullptr) && got) text.append(buf, got);
    ::CloseHandle(f);
    std::stringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::stringstream words(line);
        std::string kind;
        if (!(words >> kind) || kind[0] == '#') continue;
        if (kind == "openfail") {
            words >> openFail;
            continue;
        }
        Entry e;
        e.kind = kind;
        if (kind == "dir") {
            words >> e.name;
        } else if (kind == "file") {
            words >> e.name >> e.size;
            e.chunks.push_back(e.size);
            std::string opt;
            while (words >> opt) {
                if (opt.rfind("chunks=", 0) == 0) e.chunks = Numbers(opt.substr(7));
                else if (opt.rfind("notify=", 0) == 0) e.notify = Numbers(opt.substr(7));
                else if (opt.rfind("delay=", 0) == 0) e.delay = static_cast<unsigned>(std::stoul(opt.substr(6)));
                else if (opt.rfind("volume=", 0) == 0) e.volume = opt.substr(7);
                else if (opt == "skipfail") e.skipFail = true;
                else if (opt == "extractfail") e.extractFail = true;
                else if (opt == "password") e.password = true;
            }
        }
        entries.push_back(e);
    }
    return true;
}

bool RequestIsClean(const RAROpenArchiveDataEx* r) {
    if (r->ArcName || r->OpenResult || r->CmtBuf || r->CmtBufSize || r->CmtSize || r->CmtState || r->Flags ||
        r->Callback || r->UserData || r->OpFlags || r->CmtBufW)
        return false;
    for (unsigned v : r->Reserved)
        if (v) return false;
    return true;
}

std::wstring Target(const wchar_t* destPath, const std::string& name) {
    std::wstring target = destPath ? destPath : L"";
    if (!target.empty() && target.back() != L'\\' && target.back() != L'/') target += L'\\';
    return target + Wide(name);
}

int Extract(ArcState* arc, const Entry& e, const wchar_t* destPath) {
    std::wstring target = Target(destPath, e.name);
    if (e.kind == "dir") {
        ::CreateDirectoryW(target.c_str(), nullptr);
        return 0;
    }
    for (unsigned msg : e.notify) {
        if (arc->callback) arc->callback(msg, arc->user, 0, 0);
    }
    if (!e.volume.empty() && arc->callback) {
        const bool ask = e.volume == "ask";
        for (int i = 0; i < 3; ++i) {
            wchar_t next[MAX_PATH] = L"next.part2.rar";
            const int answer = arc->callback(UCM_CHANGEVOLUMEW, arc->user, reinterpret_cast<LPARAM>(next),
                                             ask ? RAR_VOL_ASK : RAR_VOL_NOTIFY);
            Log(arc->path, "volume " + e.volume + " answer=" + std::to_string(answer));
            if (answer == -1) return ERAR_EOPEN;
            if (!ask) break;
        }
        if (ask) return ERAR_EOPEN;
    }
    if (e.password) {
        char password[128] = {0};
        int answer = arc->callback ? arc->callback(UCM_NEEDPASSWORD, arc->user, reinterpret_cast<LPARAM>(password), sizeof password) : -1;
        Log(arc->path, "password answer=" + std::to_string(answer) + " given=" + (password[0] ? "yes" : "no"));
        if (answer == -1 || !password[0]) return ERAR_MISSING_PASSWORD;
    }
    if (e.extractFail) return ERAR_ECREATE;
    HANDLE f = ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return ERAR_ECREATE;
    int rc = 0;
    for (unsigned chunk : e.chunks) {
        std::string data(chunk, 'x');
        DWORD written = 0;
        if (chunk && !::WriteFile(f, data.data(), chunk, &written, nullptr)) {
            rc = ERAR_ECREATE;
            break;
        }
        if (e.delay) ::Sleep(e.delay);
        if (arc->callback &&
            arc->callback(UCM_PROCESSDATA, arc->user, reinterpret_cast<LPARAM>(data.data()), static_cast<LPARAM>(chunk)) == -1) {
            rc = ERAR_UNKNOWN;
            break;
        }
    }
    ::CloseHandle(f);
    return rc;
}

}  // namespace

extern "C" {

__declspec(dllexport) HANDLE WINAPI RAROpenArchiveEx(RAROpenArchiveDataEx* r) {
    if (!r) return nullptr;
    bool clean = RequestIsClean(r);
    std::wstring path = r->ArcNameW ? r->ArcNameW : Wide(r->ArcName ? r->ArcName : "");
    Log(path, "open " + std::to_string(r->OpenMode) + (clean ? " clean" : " dirty"));
    auto* arc = new ArcState;
    arc->path = path;
    arc->mode = r->OpenMode;
    std::string openFail;
    if (!Load(path, arc->entries, openFail)) {
        delete arc;
        r->OpenResult = ERAR_EOPEN;
        return nullptr;
    }
    if ((openFail == "list" && r->OpenMode == RAR_OM_LIST) || (openFail == "extract" && r->OpenMode == RAR_OM_EXTRACT)) {
        delete arc;
        r->OpenResult = ERAR_BAD_ARCHIVE;
        return nullptr;
    }
    return arc;
}

__declspec(dllexport) void WINAPI RARSetCallback(HANDLE h, UNRARCALLBACK callback, LPARAM user) {
    auto* arc = static_cast<ArcState*>(h);
    if (!arc) return;
    arc->callback = callback;
    arc->user = user;
    Log(arc->path, std::string("callback ") + (callback ? "set" : "null") + (user ? " user" : " nouser") +
                       " thread=" + std::to_string(::GetCurrentThreadId()));
}

__declspec(dllexport) int WINAPI RARReadHeader(HANDLE h, RARHeaderData* header) {
    auto* arc = static_cast<ArcState*>(h);
    if (!arc || !header) return ERAR_BAD_DATA;
    arc->current = nullptr;
    if (arc->next >= arc->entries.size()) {
        Log(arc->path, "read end");
        return ERAR_END_ARCHIVE;
    }
    const Entry& e = arc->entries[arc->next++];
    if (e.kind == "badheader") {
        Log(arc->path, "read bad");
        return ERAR_BAD_DATA;
    }
    std::memset(header, 0, sizeof *header);
    std::string arcName = Utf8(arc->path.c_str());
    std::snprintf(header->ArcName, sizeof header->ArcName, "%s", arcName.c_str());
    std::snprintf(header->FileName, sizeof header->FileName, "%s", e.name.c_str());
    header->UnpSize = e.size;
    header->PackSize = e.size;
    if (e.kind == "dir") {
        header->Flags = RHDF_LEGACY_DIRECTORY;
        header->FileAttr = FILE_ATTRIBUTE_DIRECTORY;
    } else {
        header->FileAttr = FILE_ATTRIBUTE_ARCHIVE;
    }
    header->Method = 0x30;
    arc->current = &e;
    Log(arc->path, "read " + e.name);
    return 0;
}

PROCESSFILEW_EXPORT int WINAPI RARProcessFileW(HANDLE h, int operation, wchar_t* destPath, wchar_t* destName) {
    auto* arc = static_cast<ArcState*>(h);
    if (!arc) return ERAR_BAD_DATA;
    std::string dest = destPath ? "\"" + Utf8(destPath) + "\"" : "(null)";
    std::string name = destName ? "\"" + Utf8(destName) + "\"" : "(null)";
    Log(arc->path, "process " + std::to_string(operation) + " " + dest + " " + name);
    const Entry* e = arc->current;
    arc->current = nullptr;
    if (!e) return ERAR_BAD_DATA;
    if (operation == RAR_SKIP) return (arc->mode == RAR_OM_LIST && e->skipFail) ? ERAR_BAD_DATA : 0;
    if (operation == RAR_EXTRACT && arc->mode == RAR_OM_EXTRACT) return Extract(arc, *e, destPath);
    return ERAR_UNKNOWN;
}

__declspec(dllexport) int WINAPI RARCloseArchive(HANDLE h) {
    auto* arc = static_cast<ArcState*>(h);
    if (!arc) return ERAR_ECLOSE;
    Log(arc->path, "close");
    delete arc;
    return 0;
}

}  // extern "C"

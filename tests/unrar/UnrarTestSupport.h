#pragma once
// Shared by the UnRAR.dll tests: a callback recorder and the client's extraction walk.
#include <windows.h>

#include <string>
#include <vector>

#include "UnrarLibrary.h"
#include "common/Handle.h"

namespace unrartest {

// Records every callback message; data chunks are kept so tests can compare them.
struct Recorder {
    struct Message {
        UINT msg;
        LPARAM size;  // P2
    };
    std::vector<Message> messages;
    std::string data;          // every UCM_PROCESSDATA chunk, concatenated
    int cancelAfterChunks = -1;  // answer -1 once this many chunks arrived
    std::wstring passwordW;      // given on UCM_NEEDPASSWORDW

    size_t Count(UINT msg) const {
        size_t n = 0;
        for (const Message& m : messages) n += m.msg == msg;
        return n;
    }
    LPARAM DataTotal() const {
        LPARAM n = 0;
        for (const Message& m : messages)
            if (m.msg == UCM_PROCESSDATA) n += m.size;
        return n;
    }

    static int CALLBACK Callback(UINT msg, LPARAM user, LPARAM p1, LPARAM p2) {
        Recorder* self = reinterpret_cast<Recorder*>(user);
        self->messages.push_back({msg, p2});
        if (msg == UCM_PROCESSDATA) {
            self->data.append(reinterpret_cast<const char*>(p1), static_cast<size_t>(p2));
            if (self->cancelAfterChunks >= 0 && static_cast<int>(self->Count(UCM_PROCESSDATA)) >= self->cancelAfterChunks)
                return -1;
        }
        if (msg == UCM_NEEDPASSWORDW && !self->passwordW.empty())
            lstrcpynW(reinterpret_cast<wchar_t*>(p1), self->passwordW.c_str(), static_cast<int>(p2));
        return 0;
    }
};

// One entry as the extraction walk saw it.
struct Seen {
    std::wstring name;
    unsigned flags = 0;
    unsigned long long size = 0;
    int result = -1;                // RARProcessFileW's result
    LPARAM reported = 0;            // bytes reported through UCM_PROCESSDATA
    size_t chunks = 0;
    std::string data;               // the reported bytes
};

// Opens `archive` for extraction and walks it as a client does: read a header,
// extract the entry into `dest`, repeat. Returns the last RARReadHeaderEx result
// (ERAR_END_ARCHIVE when the walk reached the end) or the open error.
inline int ExtractWalk(UnrarLibrary& lib, const std::wstring& archive, const std::wstring& dest,
                       std::vector<Seen>& seen, int operation = RAR_EXTRACT) {
    unsigned result = 0;
    UnrarLibrary::Archive h(lib, lib.Open(archive, RAR_OM_EXTRACT, &result));
    if (!h) return static_cast<int>(result);
    Recorder rec;
    lib.SetCallback(h.get(), &Recorder::Callback, reinterpret_cast<LPARAM>(&rec));
    std::vector<RARHeaderDataEx> storage(1);
    RARHeaderDataEx& header = storage[0];
    int r;
    while ((r = lib.ReadHeaderEx(h.get(), &header)) == 0) {
        Seen s;
        s.name = header.FileNameW;
        s.flags = header.Flags;
        s.size = (static_cast<unsigned long long>(header.UnpSizeHigh) << 32) | header.UnpSize;
        size_t before = rec.messages.size(), dataBefore = rec.data.size();
        std::wstring d = dest;
        s.result = lib.ProcessFileW(h.get(), operation, &d[0], nullptr);
        for (size_t i = before; i < rec.messages.size(); ++i)
            if (rec.messages[i].msg == UCM_PROCESSDATA) {
                s.reported += rec.messages[i].size;
                ++s.chunks;
            }
        s.data = rec.data.substr(dataBefore);
        seen.push_back(s);
    }
    return r;
}

// Names (relative, with '\') of everything below `root`, folders with a trailing '\'.
inline void ListTree(const std::wstring& root, const std::wstring& prefix, std::vector<std::wstring>& out) {
    WIN32_FIND_DATAW fd;
    common::UniqueFindHandle f(::FindFirstFileW((root + L"\\*").c_str(), &fd));
    if (!f) return;
    do {
        std::wstring n = fd.cFileName;
        if (n == L"." || n == L"..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back(prefix + n + L"\\");
            ListTree(root + L"\\" + n, prefix + n + L"\\", out);
        } else {
            out.push_back(prefix + n);
        }
    } while (::FindNextFileW(f.get(), &fd));
}

}  // namespace unrartest

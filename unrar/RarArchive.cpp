#include "unrar/RarArchive.h"

#include <archive.h>
#include <archive_entry.h>

#include <errno.h>
#include <string.h>
#include <wchar.h>

#include <new>

#include "common/Handle.h"
#include "unrar/EntryPath.h"

namespace unrar {

namespace {

// Read-ahead block handed to libarchive; written chunks are at most this large.
const size_t kBlockSize = 256 * 1024;
// Password buffer offered to the callback, in characters (the interface's own limit).
const unsigned kPasswordChars = 128;

// Copies a wide string into a fixed ANSI field, always terminated.
void CopyNarrow(const wchar_t* from, char* to, int size) {
    int n = ::WideCharToMultiByte(CP_ACP, 0, from, lstrlenW(from), to, size - 1, nullptr, nullptr);
    to[n > 0 ? n : 0] = '\0';
}

// Copies a wide string into a fixed wide field, always terminated.
void CopyWide(const wchar_t* from, wchar_t* to, size_t size) {
    size_t n = static_cast<size_t>(lstrlenW(from));
    if (n >= size) n = size - 1;
    wmemcpy(to, from, n);
    to[n] = L'\0';
}

FILETIME ToFileTime(time_t seconds, long nanoseconds) {
    ULONGLONG t = static_cast<ULONGLONG>(static_cast<LONGLONG>(seconds) + 11644473600LL) * 10000000ULL +
                  static_cast<ULONGLONG>(nanoseconds / 100);
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(t);
    ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
    return ft;
}

// The full form of `path` (the current folder when empty), with \\?\ in front when it
// is too long for the plain Win32 form once a name is added.
Text FullPath(const wchar_t* path, size_t extra) {
    if (!path || !*path) path = L".";
    Text full;
    DWORD n = ::GetFullPathNameW(path, 0, nullptr, nullptr);
    Text buffer;
    if (!n || !buffer.Resize(n)) return full;
    DWORD got = ::GetFullPathNameW(path, n, buffer.data(), nullptr);
    if (!got || got >= n) return full;
    buffer.Truncate(got);
    if (buffer.size() + extra >= MAX_PATH - 12 && !buffer.StartsWith(L"\\\\?\\")) {
        if (buffer.StartsWith(L"\\\\")) {
            full.Append(L"\\\\?\\UNC\\");
            full.Append(buffer.c_str() + 2, buffer.size() - 2);
            return full;
        }
        full.Append(L"\\\\?\\");
    }
    full.Append(buffer);
    return full;
}

// Length of the root of a full path: C:\ or \\server\share\ or \\?\C:\ .
size_t RootLength(const Text& p) {
    size_t start;
    if (p.StartsWith(L"\\\\?\\UNC\\")) {
        start = 8;
    } else if (p.StartsWith(L"\\\\?\\")) {
        return p.size() >= 7 && p[5] == L':' ? 7 : 4;
    } else if (p.StartsWith(L"\\\\")) {
        start = 2;
    } else {
        return p.size() >= 3 && p[1] == L':' ? 3 : 0;
    }
    // Past the server and share names.
    size_t separators = 0, i = start;
    for (; i < p.size() && separators < 2; ++i) separators += p[i] == L'\\';
    return i;
}

// Creates every missing folder of `path` up to (and, with `self`, including) its last component.
void CreateFolders(Text& path, bool self) {
    for (size_t i = RootLength(path); i < path.size(); ++i) {
        if (path[i] != L'\\') continue;
        path.data()[i] = L'\0';
        ::CreateDirectoryW(path.c_str(), nullptr);
        path.data()[i] = L'\\';
    }
    if (self) ::CreateDirectoryW(path.c_str(), nullptr);
}

// The entry's name in UTF-16. libarchive converts UTF-8 names (RAR 5) through the
// ANSI code page, which loses every character outside it: convert those directly.
Text EntryName(archive_entry* e) {
    const wchar_t* w = archive_entry_pathname_w(e);
    if (w && *w) return Text(w);
    Text name;
    const char* utf8 = archive_entry_pathname_utf8(e);
    if (!utf8 || !*utf8) return name;
    int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (n <= 1 || !name.Resize(static_cast<size_t>(n))) return name;
    int got = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, name.data(), n);
    name.Truncate(got > 0 ? static_cast<size_t>(got - 1) : 0);
    return name;
}

bool IsDirectory(const wchar_t* path) {
    DWORD a = ::GetFileAttributesW(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

RarArchive* RarArchive::Open(const wchar_t* path, unsigned mode, unsigned& result) {
    DWORD attributes = path && *path ? ::GetFileAttributesW(path) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        result = ERAR_EOPEN;
        return nullptr;
    }
    archive* a = archive_read_new();
    if (!a) {
        result = ERAR_NO_MEMORY;
        return nullptr;
    }
    archive_read_support_format_rar(a);
    archive_read_support_format_rar5(a);
    if (archive_read_open_filename_w(a, path, kBlockSize) != ARCHIVE_OK) {
        int err = archive_errno(a);
        archive_read_free(a);
        result = err == ENOMEM ? ERAR_NO_MEMORY : (err == ENOENT || err == EACCES) ? ERAR_EOPEN : ERAR_BAD_ARCHIVE;
        return nullptr;
    }
    Text name(path);
    void* memory = ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(RarArchive));
    if (!memory || !name.ok()) {
        if (memory) ::HeapFree(::GetProcessHeap(), 0, memory);
        archive_read_free(a);
        result = ERAR_NO_MEMORY;
        return nullptr;
    }
    result = ERAR_SUCCESS;
    return new (memory) RarArchive(a, static_cast<Text&&>(name), mode);
}

void RarArchive::Close(RarArchive* a) {
    if (!a) return;
    a->~RarArchive();
    ::HeapFree(::GetProcessHeap(), 0, a);
}

RarArchive::RarArchive(archive* a, Text path, unsigned mode)
    : archive_(a), path_(static_cast<Text&&>(path)), mode_(mode) {}

RarArchive::~RarArchive() {
    ::SecureZeroMemory(password_, sizeof password_);
    archive_read_free(archive_);
}

void RarArchive::SetPassword(const char* password) {
    ::SecureZeroMemory(password_, sizeof password_);
    if (password) lstrcpynA(password_, password, sizeof password_);
}

int RarArchive::ReadError() const { return archive_errno(archive_) == ENOMEM ? ERAR_NO_MEMORY : ERAR_BAD_DATA; }

int RarArchive::ReadHeader(RARHeaderDataEx& h) {
    pending_ = false;
    entry_ = nullptr;
    if (ended_) return ERAR_END_ARCHIVE;
    archive_entry* e = nullptr;
    int r = archive_read_next_header(archive_, &e);
    if (r == ARCHIVE_EOF) {
        ended_ = true;
        return ERAR_END_ARCHIVE;
    }
    if (r < ARCHIVE_WARN || !e) return ReadError();
    entry_ = e;
    pending_ = true;

    name_ = EntryName(e);
    if (!name_.ok()) return ERAR_NO_MEMORY;
    // Names are shown with Windows separators.
    Text name(name_.c_str());
    if (!name.ok()) return ERAR_NO_MEMORY;
    for (size_t i = 0; i < name.size(); ++i)
        if (name[i] == L'/') name.data()[i] = L'\\';
    CopyWide(path_.c_str(), h.ArcNameW, 1024);
    CopyNarrow(path_.c_str(), h.ArcName, 1024);
    CopyWide(name.c_str(), h.FileNameW, 1024);
    CopyNarrow(name.c_str(), h.FileName, 1024);

    bool dir = archive_entry_filetype(e) == AE_IFDIR;
    bool encrypted = archive_entry_is_data_encrypted(e) > 0;
    h.Flags = (dir ? RHDF_LEGACY_DIRECTORY : 0) | (encrypted ? RHDF_ENCRYPTED : 0);
    ULONGLONG size = archive_entry_size_is_set(e) ? static_cast<ULONGLONG>(archive_entry_size(e)) : 0;
    // libarchive doesn't report packed sizes: the unpacked size stands in.
    h.UnpSize = h.PackSize = static_cast<unsigned>(size);
    h.UnpSizeHigh = h.PackSizeHigh = static_cast<unsigned>(size >> 32);
    h.HostOS = 2;  // Windows
    h.FileCRC = 0;
    h.UnpVer = 0;
    h.Method = 0;
    unsigned attributes = dir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!(archive_entry_perm(e) & 0200)) attributes |= FILE_ATTRIBUTE_READONLY;
    h.FileAttr = attributes;
    h.CmtSize = 0;
    h.CmtState = 0;
    h.DictSize = 0;
    h.HashType = RAR_HASH_NONE;
    memset(h.Hash, 0, sizeof h.Hash);
    h.RedirType = 0;
    h.DirTarget = 0;
    const wchar_t* link = archive_entry_symlink_w(e);
    if (!link) link = archive_entry_hardlink_w(e);
    if (link) h.RedirType = archive_entry_symlink_w(e) ? 2 /* Windows symbolic link */ : 4 /* hard link */;
    if (h.RedirName && h.RedirNameSize) CopyWide(link ? link : L"", h.RedirName, h.RedirNameSize);

    FILETIME mtime = ToFileTime(archive_entry_mtime(e), archive_entry_mtime_nsec(e));
    h.MtimeLow = mtime.dwLowDateTime;
    h.MtimeHigh = mtime.dwHighDateTime;
    FILETIME ctime = {}, atime = {};
    if (archive_entry_ctime_is_set(e)) ctime = ToFileTime(archive_entry_ctime(e), archive_entry_ctime_nsec(e));
    if (archive_entry_atime_is_set(e)) atime = ToFileTime(archive_entry_atime(e), archive_entry_atime_nsec(e));
    h.CtimeLow = ctime.dwLowDateTime;
    h.CtimeHigh = ctime.dwHighDateTime;
    h.AtimeLow = atime.dwLowDateTime;
    h.AtimeHigh = atime.dwHighDateTime;
    FILETIME local;
    WORD date = 0, time = 0;
    if (::FileTimeToLocalFileTime(&mtime, &local)) ::FileTimeToDosDateTime(&local, &date, &time);
    h.FileTime = (static_cast<unsigned>(date) << 16) | time;
    return ERAR_SUCCESS;
}

int RarArchive::Process(int operation, const wchar_t* destPath, const wchar_t* destName) {
    if (!pending_) return ERAR_UNKNOWN;  // no header read for this call
    pending_ = false;
    int r;
    if (mode_ != RAR_OM_EXTRACT || (operation != RAR_TEST && operation != RAR_EXTRACT))
        r = Skip();
    else
        r = ExtractEntry(operation, destPath, destName);
    entry_ = nullptr;
    return r;
}

int RarArchive::Skip() { return archive_read_data_skip(archive_) < ARCHIVE_WARN ? ReadError() : ERAR_SUCCESS; }

bool RarArchive::HavePassword() {
    if (password_[0]) return true;
    if (!callback_) return false;
    wchar_t wide[kPasswordChars] = {};
    if (callback_(UCM_NEEDPASSWORDW, userData_, reinterpret_cast<LPARAM>(wide), kPasswordChars) == -1) return false;
    wide[kPasswordChars - 1] = L'\0';
    if (wide[0]) {
        char narrow[kPasswordChars * 4];
        int n = ::WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
        if (n > 0) SetPassword(narrow);
        ::SecureZeroMemory(narrow, sizeof narrow);
        ::SecureZeroMemory(wide, sizeof wide);
        return password_[0] != '\0';
    }
    char narrow[kPasswordChars] = {};
    if (callback_(UCM_NEEDPASSWORD, userData_, reinterpret_cast<LPARAM>(narrow), kPasswordChars) == -1) return false;
    narrow[kPasswordChars - 1] = '\0';
    SetPassword(narrow);
    ::SecureZeroMemory(narrow, sizeof narrow);
    return password_[0] != '\0';
}

int RarArchive::TargetPath(const wchar_t* destPath, const wchar_t* destName, Text& target) const {
    if (destName && *destName) {
        // The caller chose the full name itself.
        target = FullPath(destName, 0);
        return target.ok() && !target.empty() ? ERAR_SUCCESS : ERAR_ECREATE;
    }
    Text relative;
    if (!EntryPath::MakeRelative(name_.c_str(), relative)) return ERAR_ECREATE;
    target = FullPath(destPath, relative.size() + 1);
    if (target.empty()) return ERAR_ECREATE;
    if (target.back() != L'\\') target.Append(L'\\');
    target.Append(relative);
    return target.ok() ? ERAR_SUCCESS : ERAR_NO_MEMORY;
}

int RarArchive::ExtractEntry(int operation, const wchar_t* destPath, const wchar_t* destName) {
    archive_entry* e = entry_;
    unsigned type = archive_entry_filetype(e);
    if (archive_entry_is_data_encrypted(e) > 0) {
        // libarchive reads no encrypted RAR data: ask for the password as the interface
        // does, then report that this entry can't be decrypted here.
        bool have = HavePassword();
        Skip();
        return have ? ERAR_UNKNOWN_FORMAT : ERAR_MISSING_PASSWORD;
    }
    if (operation == RAR_TEST) {
        if (type == AE_IFDIR) return Skip();
        return WriteData(INVALID_HANDLE_VALUE);
    }

    Text target;
    int r = TargetPath(destPath, destName, target);
    // Links are never created: a link could point anywhere, and later entries could be
    // written through it.
    const bool hardLink = archive_entry_hardlink_w(e) || archive_entry_hardlink_utf8(e);
    if (r == ERAR_SUCCESS && (hardLink || (type != AE_IFDIR && type != AE_IFREG))) r = ERAR_ECREATE;
    if (r != ERAR_SUCCESS) {
        Skip();
        return r;
    }
    if (type == AE_IFDIR) {
        CreateFolders(target, true);
        Skip();
        return IsDirectory(target.c_str()) ? ERAR_SUCCESS : ERAR_ECREATE;
    }

    common::UniqueHandle file(::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file && ::GetLastError() == ERROR_PATH_NOT_FOUND) {
        // Folders are made only when missing: most entries land in existing ones.
        CreateFolders(target, false);
        file.reset(::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    if (!file && ::GetLastError() == ERROR_ACCESS_DENIED && !IsDirectory(target.c_str())) {
        // A read-only file of the same name is replaced, as an overwrite should.
        ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        file.reset(::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    if (!file) {
        Skip();
        return ERAR_ECREATE;
    }
    r = WriteData(file.get());
    if (r == ERAR_SUCCESS) {
        FILETIME mtime = ToFileTime(archive_entry_mtime(e), archive_entry_mtime_nsec(e));
        ::SetFileTime(file.get(), nullptr, nullptr, &mtime);
    }
    // Closed here rather than by the owner: a failed close is a failed write.
    if (!::CloseHandle(file.release()) && r == ERAR_SUCCESS) r = ERAR_ECLOSE;
    if (r != ERAR_SUCCESS) {
        // No damaged or partial file is left looking like a good one.
        ::DeleteFileW(target.c_str());
    } else if (!(archive_entry_perm(e) & 0200)) {
        ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
    }
    return r;
}

// Copies the entry's data to `file` (or nowhere when testing), reporting each chunk.
int RarArchive::WriteData(HANDLE file) {
    LONGLONG written = 0;
    for (;;) {
        const void* buffer = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        int r = archive_read_data_block(archive_, &buffer, &size, &offset);
        if (r == ARCHIVE_EOF) break;
        if (r < ARCHIVE_WARN) return ReadError();
        if (file != INVALID_HANDLE_VALUE && offset != written) {
            // A hole: continue writing at the block's offset.
            LARGE_INTEGER to;
            to.QuadPart = offset;
            if (!::SetFilePointerEx(file, to, nullptr, FILE_BEGIN)) return ERAR_EWRITE;
        }
        written = offset + static_cast<LONGLONG>(size);
        if (size == 0) continue;
        if (file != INVALID_HANDLE_VALUE) {
            DWORD done = 0;
            if (!::WriteFile(file, buffer, static_cast<DWORD>(size), &done, nullptr) || done != size) return ERAR_EWRITE;
        }
        if (callback_ && callback_(UCM_PROCESSDATA, userData_, reinterpret_cast<LPARAM>(buffer),
                                   static_cast<LPARAM>(size)) == -1)
            return ERAR_UNKNOWN;  // cancelled by the caller
        if (processDataProc_ &&
            processDataProc_(static_cast<unsigned char*>(const_cast<void*>(buffer)), static_cast<int>(size)) == 0)
            return ERAR_UNKNOWN;
    }
    if (file != INVALID_HANDLE_VALUE) {
        // A trailing hole still makes the file its full size.
        LARGE_INTEGER end;
        end.QuadPart = archive_entry_size_is_set(entry_) ? archive_entry_size(entry_) : written;
        if (end.QuadPart > written && (!::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) || !::SetEndOfFile(file)))
            return ERAR_EWRITE;
    }
    return ERAR_SUCCESS;
}

}  // namespace unrar

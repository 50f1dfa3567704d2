#include "unrar/RarArchive.h"

#include <archive.h>
#include <archive_entry.h>

#include <errno.h>
#include <string.h>

#include "unrar/EntryPath.h"

namespace unrar {

namespace {

// Read-ahead block handed to libarchive; written chunks are at most this large.
const size_t kBlockSize = 256 * 1024;
// Password buffer offered to the callback, in characters (the interface's own limit).
const unsigned kPasswordChars = 128;

// Copies a wide string into a fixed ANSI field, always terminated.
void CopyNarrow(const std::wstring& from, char* to, int size) {
    int n = ::WideCharToMultiByte(CP_ACP, 0, from.c_str(), static_cast<int>(from.size()), to, size - 1, nullptr, nullptr);
    to[n > 0 ? n : 0] = '\0';
}

void CopyWide(const std::wstring& from, wchar_t* to, size_t size) {
    size_t n = from.size() < size ? from.size() : size - 1;
    wmemcpy(to, from.data(), n);
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

// Prefixes a full path with \\?\ when it is too long for the plain Win32 form.
std::wstring Extended(const std::wstring& full) {
    if (full.size() < MAX_PATH - 12 || full.compare(0, 4, L"\\\\?\\") == 0) return full;
    if (full.size() > 2 && full[0] == L'\\' && full[1] == L'\\') return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::wstring FullPath(const std::wstring& path) {
    DWORD n = ::GetFullPathNameW(path.empty() ? L"." : path.c_str(), 0, nullptr, nullptr);
    if (!n) return std::wstring();
    std::wstring out(n, L'\0');
    n = ::GetFullPathNameW(path.empty() ? L"." : path.c_str(), n, &out[0], nullptr);
    out.resize(n);
    return out;
}

// Length of the root of a full path ("C:\", "\\server\share\", "\\?\C:\").
size_t RootLength(const std::wstring& p) {
    size_t start = 0;
    if (p.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        start = 8;
    } else if (p.compare(0, 4, L"\\\\?\\") == 0) {
        start = 4;
    } else if (p.compare(0, 2, L"\\\\") == 0) {
        start = 2;
    } else {
        return p.size() >= 3 && p[1] == L':' ? 3 : 0;
    }
    if (start == 4) return p.size() >= 7 && p[5] == L':' ? 7 : start;
    // server\share\ ...
    size_t s = p.find(L'\\', start);
    if (s == std::wstring::npos) return p.size();
    s = p.find(L'\\', s + 1);
    return s == std::wstring::npos ? p.size() : s + 1;
}

// Creates every missing folder of `path` up to (and, with `self`, including) its last component.
void CreateFolders(const std::wstring& path, bool self) {
    for (size_t i = RootLength(path); i < path.size(); ++i) {
        if (path[i] == L'\\') ::CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    }
    if (self) ::CreateDirectoryW(path.c_str(), nullptr);
}

bool IsDirectory(const std::wstring& path) {
    DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

RarArchive* RarArchive::Open(const std::wstring& path, unsigned mode, unsigned& result) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (path.empty() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
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
    if (archive_read_open_filename_w(a, path.c_str(), kBlockSize) != ARCHIVE_OK) {
        int err = archive_errno(a);
        archive_read_free(a);
        result = err == ENOMEM ? ERAR_NO_MEMORY : (err == ENOENT || err == EACCES) ? ERAR_EOPEN : ERAR_BAD_ARCHIVE;
        return nullptr;
    }
    result = ERAR_SUCCESS;
    return new RarArchive(a, path, mode);
}

RarArchive::RarArchive(archive* a, std::wstring path, unsigned mode)
    : archive_(a), path_(std::move(path)), mode_(mode) {}

RarArchive::~RarArchive() {
    if (!password_.empty()) ::SecureZeroMemory(&password_[0], password_.size());
    archive_read_free(archive_);
}

void RarArchive::SetPassword(const char* password) {
    if (!password_.empty()) ::SecureZeroMemory(&password_[0], password_.size());
    password_ = password ? password : "";
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

    const wchar_t* w = archive_entry_pathname_w(e);
    std::wstring name = w ? w : L"";
    for (wchar_t& c : name)
        if (c == L'/') c = L'\\';
    CopyWide(path_, h.ArcNameW, 1024);
    CopyNarrow(path_, h.ArcName, 1024);
    CopyWide(name, h.FileNameW, 1024);
    CopyNarrow(name, h.FileName, 1024);

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
    if (!password_.empty()) return true;
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
        return !password_.empty();
    }
    char narrow[kPasswordChars] = {};
    if (callback_(UCM_NEEDPASSWORD, userData_, reinterpret_cast<LPARAM>(narrow), kPasswordChars) == -1) return false;
    narrow[kPasswordChars - 1] = '\0';
    SetPassword(narrow);
    ::SecureZeroMemory(narrow, sizeof narrow);
    return !password_.empty();
}

int RarArchive::TargetPath(const wchar_t* destPath, const wchar_t* destName, std::wstring& target) const {
    if (destName && *destName) {
        // The caller chose the full name itself.
        target = Extended(FullPath(destName));
        return target.empty() ? ERAR_ECREATE : ERAR_SUCCESS;
    }
    const wchar_t* w = archive_entry_pathname_w(entry_);
    std::wstring relative;
    if (!w || !EntryPath::MakeRelative(w, relative)) return ERAR_ECREATE;
    std::wstring base = FullPath(destPath ? destPath : L"");
    if (base.empty()) return ERAR_ECREATE;
    if (base.back() != L'\\') base += L'\\';
    target = Extended(base + relative);
    return ERAR_SUCCESS;
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

    std::wstring target;
    int r = TargetPath(destPath, destName, target);
    // Links are never created: a link could point anywhere, and later entries could be
    // written through it.
    if (r == ERAR_SUCCESS && (type == AE_IFLNK || archive_entry_hardlink_w(e) || (type != AE_IFDIR && type != AE_IFREG)))
        r = ERAR_ECREATE;
    if (r != ERAR_SUCCESS) {
        Skip();
        return r;
    }
    if (type == AE_IFDIR) {
        CreateFolders(target, true);
        Skip();
        return IsDirectory(target) ? ERAR_SUCCESS : ERAR_ECREATE;
    }

    CreateFolders(target, false);
    HANDLE file = ::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED && !IsDirectory(target)) {
        // A read-only file of the same name is replaced, as an overwrite should.
        ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        file = ::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) {
        Skip();
        return ERAR_ECREATE;
    }
    r = WriteData(file);
    if (r == ERAR_SUCCESS) {
        FILETIME mtime = ToFileTime(archive_entry_mtime(e), archive_entry_mtime_nsec(e));
        ::SetFileTime(file, nullptr, nullptr, &mtime);
    }
    if (!::CloseHandle(file) && r == ERAR_SUCCESS) r = ERAR_ECLOSE;
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

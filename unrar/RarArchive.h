#pragma once
// One open archive behind an UnRAR.dll handle: libarchive reads the RAR 4 / RAR 5
// structure; this class walks the entries the way the published interface does (read a
// header, then skip, test or extract that entry), writes the files itself so it can
// report every written chunk to the caller's callback, and refuses entry names that
// would land outside the destination folder.
#include <windows.h>

#include "unrar/Text.h"
#include "unrar/UnrarApi.h"

struct archive;
struct archive_entry;

namespace unrar {

class RarArchive {
public:
    // Opens `path` for listing or extraction. On failure returns nullptr and sets
    // `result` to the published error code (ERAR_EOPEN for a missing file,
    // ERAR_BAD_ARCHIVE when it isn't an archive libarchive reads as RAR).
    static RarArchive* Open(const wchar_t* path, unsigned mode, unsigned& result);
    // Closes the archive and frees the object Open made.
    static void Close(RarArchive* a);
    RarArchive(const RarArchive&) = delete;
    RarArchive& operator=(const RarArchive&) = delete;

    void SetCallback(UNRARCALLBACK callback, LPARAM userData) {
        callback_ = callback;
        userData_ = userData;
    }
    void SetProcessDataProc(PROCESSDATAPROC proc) { processDataProc_ = proc; }
    void SetChangeVolProc(CHANGEVOLPROC proc) { changeVolProc_ = proc; }
    void SetPassword(const char* password);

    // Reads the next entry header into `header`. Returns 0, ERAR_END_ARCHIVE after
    // the last entry, or ERAR_BAD_DATA for a damaged or truncated header.
    int ReadHeader(RARHeaderDataEx& header);

    // Skips, tests or extracts the entry of the last header. `destPath` is the
    // destination folder (current folder when empty); `destName`, when given, is the
    // full path of the extracted file and takes precedence.
    int Process(int operation, const wchar_t* destPath, const wchar_t* destName);

private:
    RarArchive(archive* a, Text path, unsigned mode);
    ~RarArchive();

    int Skip();
    int ExtractEntry(int operation, const wchar_t* destPath, const wchar_t* destName);
    int TargetPath(const wchar_t* destPath, const wchar_t* destName, Text& target) const;
    int WriteData(HANDLE file);
    bool HavePassword();
    int ReadError() const;

    archive* archive_;
    archive_entry* entry_ = nullptr;  // owned by archive_, valid while pending_
    Text name_;                       // the entry's name, as stored
    bool pending_ = false;            // a header was read and its entry not yet processed
    bool ended_ = false;              // the end of the archive was reached
    Text path_;
    unsigned mode_;
    UNRARCALLBACK callback_ = nullptr;
    LPARAM userData_ = 0;
    PROCESSDATAPROC processDataProc_ = nullptr;
    CHANGEVOLPROC changeVolProc_ = nullptr;
    char password_[512] = {};  // narrow, as RARSetPassword passes it
};

}  // namespace unrar

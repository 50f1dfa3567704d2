#include "dialog/services/unrar/CUnRar.h"

#include <string>

#include "common/HResult.h"
#include "dialog/module/DispIds.h"
#include "dialog/services/unrar/EntryName.h"
#include "dialog/services/unrar/UnRarArchive.h"
#include "dialog/services/unrar/UnRarLibrary.h"

namespace {
// Unpack's two arguments (archive, destination) are converted to text.
const common::DispatchRow<CUnRar> kRows[] = {
    {L"Unpack", DISPID_UNRAR_UNPACK, 2, [](CUnRar& u, common::DispatchCall& c) { return u.Unpack(c.Text(0), c.Text(1)); }},
    {L"PercentComplete", DISPID_UNRAR_PERCENTCOMPLETE, 0,
     [](CUnRar& u, common::DispatchCall& c) {
         INT percent = 0;
         HRESULT hr = u.PercentComplete(&percent);
         *c.NumberResult() = percent;
         return hr;
     }},
};

const DISPID kOnProgress = DISPID_UNRAR_ONPROGRESS;
const wchar_t kLibraryPath[] = L"bin\\UnRAR.dll";

// Bytes to unpack and bytes unpacked, summed over every Unpack of the process: a
// second archive continues the progress of the first, relative to both sizes. They
// wrap like the unsigned 32-bit counters they are.
volatile LONG g_totalBytes = 0;
volatile LONG g_doneBytes = 0;

ULONG AddBytes(volatile LONG& counter, ULONG bytes) {
    return static_cast<ULONG>(::InterlockedExchangeAdd(&counter, static_cast<LONG>(bytes))) + bytes;
}

// The whole-number percentage of done in total: the quotient is formed first, in
// double precision, then scaled and truncated, so 29 of 100 gives 28. Nothing to
// divide by gives 0. A count beyond the total (sizes the counting pass could not
// read) is reported as 100 rather than as a percentage above it.
INT ProgressPercent(ULONG done, ULONG total) {
    if (total == 0) return 0;
    // Stored through volatile doubles so that the x87 unit's wider registers don't
    // change the rounding of either step.
    volatile double quotient = static_cast<double>(done) / static_cast<double>(total);
    volatile double scaled = quotient * 100.0;
    double percent = scaled;
    if (percent >= 100.0) return 100;
    return static_cast<INT>(percent);
}

// Counting pass: adds the unpacked size of every file entry to the running total and
// returns what it added. An archive that can't be opened adds nothing; a failed skip
// ends the count.
ULONG CountArchive(const unrar::Library& lib, const std::wstring& archive) {
    ULONG counted = 0;
    unrar::Archive arc(lib, archive.c_str(), RAR_OM_LIST);
    if (!arc.Open()) return counted;
    for (;;) {
        RARHeaderData header;
        ZeroMemory(&header, sizeof header);
        if (lib.ReadHeader(arc.get(), &header) != 0) break;
        if (unrar::IsDirectory(header)) continue;
        wchar_t empty[1] = {0};
        if (lib.ProcessFileW(arc.get(), RAR_SKIP, empty, nullptr) != 0) {
            common::DebugOut("ERROR processing RAR file\n");
            break;
        }
        AddBytes(g_totalBytes, header.UnpSize);
        counted += header.UnpSize;
    }
    return counted;
}
}  // namespace

// Up to two arguments reach any member; more are refused before the member is looked at.
const common::DispatchTable<CUnRar> CUnRar::kDispatchTable = {kRows, sizeof kRows / sizeof kRows[0], 2};

CUnRar::CUnRar()
    : common::ProvideClassInfo2Impl(__uuidof(CUnRar), DIID__IUnRarEvents),
      propertyNotify_(this, IID_IPropertyNotifySink),
      events_(this, DIID__IUnRarEvents),
      points_{&propertyNotify_, &events_} {}

CUnRar::~CUnRar() = default;

common::ConnectionPoint* const* CUnRar::Points(size_t& count) noexcept {
    count = 2;
    return points_;
}

STDMETHODIMP CUnRar::Unpack(BSTR archive, BSTR destination) {
    return common::NoThrow([&] { return UnpackArchive(archive, destination); });
}

HRESULT CUnRar::UnpackArchive(BSTR archive, BSTR destination) {
    const std::wstring archivePath(archive ? archive : L"");
    std::wstring folder(destination ? destination : L"");
    common::DebugOut("Unpacking ");
    common::DebugOut(archivePath.c_str());
    common::DebugOut(folder.c_str());

    unrar::Library lib;
    DWORD error = lib.Bind(kLibraryPath);
    if (error != ERROR_SUCCESS) {
        common::DebugOut("Failed to find UnRar exported functions");
        common::DebugOut(common::Hex(error).c_str());
        return HRESULT_FROM_WIN32(error);
    }
    common::DebugOut("\n");

    const ULONG counted = CountArchive(lib, archivePath);
    reported_ = 0;

    unrar::Archive arc(lib, archivePath.c_str(), RAR_OM_EXTRACT);
    if (!arc.Open()) {
        common::DebugOut("UnRar Error\n");
        return E_UNEXPECTED;
    }
    lib.SetCallback(arc.get(), &CUnRar::ProgressCallback, reinterpret_cast<LPARAM>(this));
    for (bool first = true;; first = false) {
        RARHeaderData header;
        ZeroMemory(&header, sizeof header);
        const int read = lib.ReadHeader(arc.get(), &header);
        // The end of the archive ends the walk, unless not even one entry came before it
        // (a download cut short after the archive's own header). A header the library
        // could not read (damaged, encrypted, in a volume that is missing) fails the
        // call like an entry: what comes after it was not unpacked.
        const bool ended = read == ERAR_END_ARCHIVE && !first;
        if (ended) {
            arc.Close();
            // Entries whose size the headers announce but whose data the library never
            // reports (links it doesn't create) would keep this and every later archive
            // below 100: a complete walk accounts for the rest of its bytes as unpacked.
            if (reported_ < counted) ReportBytes(counted - reported_);
            return S_OK;
        }
        // The stored name is checked here, before the library writes anything for the
        // entry, whatever library sits in bin\.
        const bool extracted = read == 0 && unrar::EntryName::IsSafe(header.FileName, sizeof header.FileName) &&
                               lib.ProcessFileW(arc.get(), RAR_EXTRACT, &folder[0], nullptr) == 0;
        if (!extracted) {
            arc.Close();
            common::DebugOut("Unrar fatal error ");
            common::DebugOut(archivePath.c_str());
            common::DebugOut("\n");
            return E_UNEXPECTED;
        }
    }
}

STDMETHODIMP CUnRar::PercentComplete(INT* percent) {
    RETURN_IF_NULL(percent);
    common::ScopedLock lock(percentLock_);
    *percent = percent_;
    return S_OK;
}

int CALLBACK CUnRar::ProgressCallback(UINT msg, LPARAM userData, LPARAM p1, LPARAM p2) {
    auto* self = reinterpret_cast<CUnRar*>(userData);
    switch (msg) {
    case UCM_PROCESSDATA:
        if (self) self->ReportBytes(static_cast<ULONG>(p2));
        break;
    case UCM_CHANGEVOLUME:
    case UCM_CHANGEVOLUMEW:
        // Asked for a volume the library could not find: nobody here can supply it, so
        // stop rather than be asked again; the entry then fails. A notification that the
        // next volume was opened goes on.
        return p2 == RAR_VOL_ASK ? -1 : 0;
    case UCM_NEEDPASSWORD:
        // No password is supplied: the entry then fails to extract.
        common::DebugOut("ERROR This rar file needs password\n");
        break;
    default:
        break;
    }
    return 0;  // go on
}

void CUnRar::ReportBytes(ULONG bytes) noexcept {
    // No exception may reach the library. Progress that could not be reported for want
    // of memory doesn't change the extraction's outcome: firing results are ignored.
    const HRESULT fired = common::NoThrow([&] {
        OnDataProcessed(bytes);
        return S_OK;
    });
    static_cast<void>(fired);
}

void CUnRar::OnDataProcessed(ULONG bytes) {
    reported_ += bytes;
    const ULONG done = AddBytes(g_doneBytes, bytes);
    const ULONG total = static_cast<ULONG>(g_totalBytes);
    const INT percent = ProgressPercent(done, total);
    {
        common::ScopedLock lock(percentLock_);
        percent_ = percent;
    }
    // Every data notification fires, changed or not; a failing sink doesn't stop the
    // others, and how many failed is of no consequence to the extraction.
    VARIANT arg;
    ::VariantInit(&arg);
    V_VT(&arg) = VT_I4;
    V_I4(&arg) = percent;
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    events_.FireDispatch(kOnProgress, &params);
}

#include "UnrarLibrary.h"

#include "Harness.h"

namespace unrartest {

UnrarLibrary::UnrarLibrary(const std::wstring& path) {
    module_.reset(::LoadLibraryW((path.empty() ? harness::Join(harness::BinDir(), L"UnRAR.dll") : path).c_str()));
    if (!module_) {
        missing_ = "UnRAR.dll";
        return;
    }
    Resolve(OpenArchive, "RAROpenArchive");
    Resolve(OpenArchiveEx, "RAROpenArchiveEx");
    Resolve(CloseArchive, "RARCloseArchive");
    Resolve(ReadHeader, "RARReadHeader");
    Resolve(ReadHeaderEx, "RARReadHeaderEx");
    Resolve(ProcessFile, "RARProcessFile");
    Resolve(ProcessFileW, "RARProcessFileW");
    Resolve(SetCallback, "RARSetCallback");
    Resolve(SetPassword, "RARSetPassword");
    Resolve(GetDllVersion, "RARGetDllVersion");
}

template <class Fn>
void UnrarLibrary::Resolve(Fn& fn, const char* name) {
    fn = reinterpret_cast<Fn>(::GetProcAddress(module_.get(), name));
    if (!fn) missing_ += std::string(missing_.empty() ? "" : " ") + name;
}

HANDLE UnrarLibrary::Open(const std::wstring& archive, unsigned mode, unsigned* result) {
    RAROpenArchiveDataEx data = {};
    std::wstring name = archive;
    data.ArcNameW = &name[0];
    data.OpenMode = mode;
    HANDLE h = OpenArchiveEx(&data);
    if (result) *result = data.OpenResult;
    return h;
}

}  // namespace unrartest

// Unpacks a generated stored RAR archive (~200 MB in ~2000 files by default) with
// UnRAR.dll, directly and through the installer's unpacking object PebbleUtil.UnRar
// (stagehand.dll registered, OnProgress events to a connected sink), and prints the
// throughputs as ratios to each other and to plain copying of the same files; then the
// same for any archives made by RAR that are named on the command line.
#include <windows.h>
#include <ocidl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <functional>
#include <utility>
#include <string>
#include <vector>

#include "Harness.h"
#include "RarWriter.h"
#include "UnrarLibrary.h"
#include "common/ComPtr.h"
#include "common/Handle.h"
#include "stagehand.h"

using harness::Join;
using harness::RarWriter;
using unrartest::UnrarLibrary;

namespace {

struct Corpus {
    std::wstring root;     // the plain files
    std::wstring archive;  // the same files, stored in one archive
    std::vector<std::wstring> names;
    unsigned long long bytes = 0;
};

struct Method {
    const char* name;
    // Unpacks (or copies) the corpus into `dest`; returns false on failure.
    std::function<bool(const Corpus&, const std::wstring& dest)> run;
    double best = 0;  // seconds of the fastest round
};

double Now() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

// Files of varying size (half to one and a half times the mean) in 20 folders.
Corpus Generate(const std::wstring& work, unsigned long long total, unsigned files) {
    Corpus c;
    c.root = Join(work, L"src");
    c.archive = Join(work, L"bench.rar");
    ::CreateDirectoryW(c.root.c_str(), nullptr);
    common::UniqueHandle out(::CreateFileW(c.archive.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!out) throw std::runtime_error("cannot create the archive");
    RarWriter writer([&](const void* data, size_t size) {
        DWORD done = 0;
        if (!::WriteFile(out.get(), data, static_cast<DWORD>(size), &done, nullptr) || done != size)
            throw std::runtime_error("cannot write the archive");
    });
    unsigned seed = 12345;
    const unsigned long long mean = total / files;
    std::string data;
    for (unsigned i = 0; i < files; ++i) {
        wchar_t folder[32], name[64];
        std::swprintf(folder, 32, L"dir%02u", i % 20);
        std::swprintf(name, 64, L"dir%02u\\file%04u.bin", i % 20, i);
        if (i < 20) {
            ::CreateDirectoryW(Join(c.root, folder).c_str(), nullptr);
            writer.AddFolder(folder);
        }
        seed = seed * 1103515245u + 12345u;
        size_t size = static_cast<size_t>(mean / 2 + (seed >> 8) % (mean + 1));
        data.resize(size);
        unsigned x = seed;
        for (size_t k = 0; k + 4 <= size; k += 4) {
            x = x * 1664525u + 1013904223u;
            std::memcpy(&data[k], &x, 4);
        }
        harness::WriteFile(Join(c.root, name), data);
        writer.AddFile(name, data);
        c.names.push_back(name);
        c.bytes += size;
    }
    writer.Finish();
    return c;
}

bool CopyAll(const Corpus& c, const std::wstring& dest) {
    ::CreateDirectoryW(dest.c_str(), nullptr);
    for (const std::wstring& n : c.names) {
        std::wstring to = Join(dest, n);
        ::CreateDirectoryW(to.substr(0, to.find_last_of(L'\\')).c_str(), nullptr);
        if (!::CopyFileW(Join(c.root, n).c_str(), to.c_str(), FALSE)) return false;
    }
    return true;
}

// Counts the data notifications the way a client's progress callback would.
int CALLBACK CountBytes(UINT msg, LPARAM user, LPARAM, LPARAM size) {
    if (msg == UCM_PROCESSDATA) *reinterpret_cast<unsigned long long*>(user) += static_cast<unsigned long long>(size);
    return 0;
}

// UnRAR.dll driven directly: open for extraction, read each header, extract.
bool UnrarDirect(UnrarLibrary& lib, const Corpus& c, const std::wstring& dest, int operation = RAR_EXTRACT) {
    UnrarLibrary::Archive a(lib, lib.Open(c.archive, RAR_OM_EXTRACT));
    if (!a) return false;
    unsigned long long seen = 0;
    lib.SetCallback(a.get(), &CountBytes, reinterpret_cast<LPARAM>(&seen));
    RARHeaderData h = {};
    std::wstring d = dest;
    while (lib.ReadHeader(a.get(), &h) == 0)
        if (lib.ProcessFileW(a.get(), operation, &d[0], nullptr) != 0) return false;
    return seen == c.bytes;
}

// An OnProgress sink such as the installer script connects: keeps the count and the
// last percentage.
class ProgressSink : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != DIID__IUnRarEvents) return E_NOINTERFACE;
        *ppv = static_cast<IDispatch*>(this);
        return S_OK;
    }
    // Lives on main's stack, longer than any connection.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        if (id != 1 || !params || params->cArgs != 1 || V_VT(&params->rgvarg[0]) != VT_I4) return DISP_E_MEMBERNOTFOUND;
        ++events;
        last = V_I4(&params->rgvarg[0]);
        return S_OK;
    }
    unsigned long long events = 0;
    LONG last = -1;
};

// PebbleUtil.UnRar as the installer script drives it: late-bound Unpack with a sink
// connected, the library loaded from bin\UnRAR.dll below the current folder.
class UnpackObject {
public:
    explicit UnpackObject(const std::wstring& installFolder) {
        wchar_t cwd[MAX_PATH];
        DWORD n = ::GetCurrentDirectoryW(MAX_PATH, cwd);
        if (n > 0 && n < MAX_PATH) savedCwd_ = cwd;
        // The object loads bin\UnRAR.dll relative to the current folder, as in an installation.
        ::CreateDirectoryW(Join(installFolder, L"bin").c_str(), nullptr);
        harness::CopyFileOrThrow(Join(harness::BinDir(), L"UnRAR.dll"), Join(installFolder, L"bin\\UnRAR.dll"));
        if (!::SetCurrentDirectoryW(installFolder.c_str())) throw std::runtime_error("cannot enter the install folder");
        HRESULT hr = S_OK;
        object_ = harness::Create(L"PebbleUtil.UnRar", &hr);
        if (!object_) {
            char text[96];
            std::snprintf(text, sizeof text, "PebbleUtil.UnRar not created: 0x%08lx (stagehand.dll registered?)",
                          static_cast<unsigned long>(hr));
            throw std::runtime_error(text);
        }
        common::ComPtr<IConnectionPointContainer> container;
        if (FAILED(object_->QueryInterface(IID_IConnectionPointContainer, container.put_void())) ||
            FAILED(container->FindConnectionPoint(DIID__IUnRarEvents, point_.put())) ||
            FAILED(point_->Advise(&sink_, &cookie_)))
            throw std::runtime_error("cannot connect to OnProgress");
    }
    ~UnpackObject() {
        if (cookie_) point_->Unadvise(cookie_);
        // Out of the install folder, so that it can be removed.
        if (!savedCwd_.empty()) ::SetCurrentDirectoryW(savedCwd_.c_str());
    }
    UnpackObject(const UnpackObject&) = delete;
    UnpackObject& operator=(const UnpackObject&) = delete;

    bool Unpack(const Corpus& c, const std::wstring& dest) {
        const unsigned long long before = sink_.events;
        HRESULT hr = harness::Call(object_.get(), L"Unpack", {harness::Str(c.archive), harness::Str(dest)});
        // Every byte counted and unpacked: the progress of all rounds so far is complete.
        return hr == S_OK && sink_.events > before && sink_.last == 100;
    }
    unsigned long long events() const { return sink_.events; }

private:
    ProgressSink sink_;
    common::ComPtr<IDispatch> object_;
    common::ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
    std::wstring savedCwd_;
};

// COM for the main thread, an apartment as the installer's script host has.
struct ComApartment {
    ComApartment() : hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(hr)) ::CoUninitialize();
    }
    HRESULT hr;
};

// The unpacked size of every file entry of an archive (list mode, nothing unpacked).
unsigned long long ListBytes(UnrarLibrary& lib, const std::wstring& archive) {
    UnrarLibrary::Archive a(lib, lib.Open(archive, RAR_OM_LIST));
    if (!a) throw std::runtime_error("cannot open " + harness::Narrow(archive));
    unsigned long long bytes = 0;
    RARHeaderDataEx h = {};
    while (lib.ReadHeaderEx(a.get(), &h) == 0) {
        if (!(h.Flags & RHDF_DIRECTORY))
            bytes += (static_cast<unsigned long long>(h.UnpSizeHigh) << 32) | h.UnpSize;
        if (lib.ProcessFileW(a.get(), RAR_SKIP, nullptr, nullptr) != 0) break;
    }
    return bytes;
}

// Runs every method `rounds` times on the corpus, keeping each one's best time.
bool Measure(std::vector<Method>& methods, const Corpus& c, const std::wstring& work, int rounds) {
    for (int r = 0; r < rounds; ++r) {
        for (Method& m : methods) {
            std::wstring dest = Join(work, L"out");
            double t0 = Now();
            bool ok = m.run(c, dest);
            double t = Now() - t0;
            harness::RemoveTree(dest);
            if (!ok) {
                std::fprintf(stderr, "%s failed\n", m.name);
                return false;
            }
            if (m.best == 0 || t < m.best) m.best = t;
        }
    }
    return true;
}

void PrintTimes(const std::vector<Method>& methods, double mb) {
    int width = 0;
    for (const Method& m : methods) width = std::max(width, static_cast<int>(std::strlen(m.name)));
    for (const Method& m : methods) std::printf("  %-*s %8.3f s %9.1f MB/s\n", width, m.name, m.best, mb / m.best);
}

}  // namespace

// bench_unrar [total MB] [files] [label=archive ...]: the generated stored archive, then
// each archive given (made by RAR, e.g. compressed or solid) with the extractor driven
// directly and through the unpacking object.
int main(int argc, char** argv) {
    unsigned long long totalMb = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 200;
    unsigned files = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 2000;
    std::vector<std::pair<std::string, std::wstring>> archives;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        const size_t eq = arg.find('=');
        if (eq == std::string::npos || eq == 0) totalMb = 0;
        else archives.emplace_back(arg.substr(0, eq), harness::Widen(arg.substr(eq + 1)));
    }
    if (totalMb == 0 || files == 0) {
        std::fprintf(stderr, "usage: bench_unrar [total MB] [files] [label=archive ...]\n");
        return 2;
    }
    ComApartment com;
    try {
        UnrarLibrary lib;
        if (!lib.loaded()) {
            std::fprintf(stderr, "UnRAR.dll not usable: %s\n", lib.missing().c_str());
            return 1;
        }
        harness::TempDir work(L"unrarbench");
        std::printf("generating %llu MB in %u files...\n", totalMb, files);
        Corpus c = Generate(work.path(), totalMb * 1024 * 1024, files);
        UnpackObject unpacker(work.path());

        const char* const kObject = "unpacking through PebbleUtil.UnRar (with OnProgress events and a connected sink)";
        std::vector<Method> methods = {
            {"plain copy", CopyAll},
            {"UnRAR.dll direct", [&](const Corpus& k, const std::wstring& d) { return UnrarDirect(lib, k, d); }},
            // Reading, checking and reporting without writing: the extractor's own share.
            {"UnRAR.dll test only",
             [&](const Corpus& k, const std::wstring& d) { return UnrarDirect(lib, k, d, RAR_TEST); }},
            // Both passes of the object, a percentage and an event per written chunk.
            {kObject, [&](const Corpus& k, const std::wstring& d) { return unpacker.Unpack(k, d); }},
        };
        const Method& copy = methods[0];
        const Method& direct = methods[1];
        const Method& object = methods[3];
        const int rounds = 3;
        if (!Measure(methods, c, work.path(), rounds)) return 1;
        const double mb = static_cast<double>(c.bytes) / (1024.0 * 1024.0);
        std::printf("stored RAR 4: %.1f MB in %zu files, best of %d rounds:\n", mb, c.names.size(), rounds);
        PrintTimes(methods, mb);
        std::printf("OnProgress events: %llu in %d rounds\n", unpacker.events(), rounds);
        // Throughput ratios (higher is faster): every method against plain copying, and
        // the unpacking object against the extractor driven directly without its events.
        for (size_t i = 1; i < methods.size(); ++i)
            std::printf("ratio %s / %s: %.2f\n", methods[i].name, copy.name, copy.best / methods[i].best);
        std::printf("ratio %s / %s: %.2f\n", object.name, direct.name, direct.best / object.best);

        // Archives made by RAR itself: the same two ways of unpacking them.
        for (const auto& given : archives) {
            Corpus k;
            k.archive = given.second;
            k.bytes = ListBytes(lib, k.archive);
            std::vector<Method> pair = {
                {"UnRAR.dll direct", [&](const Corpus& x, const std::wstring& d) { return UnrarDirect(lib, x, d); }},
                {kObject, [&](const Corpus& x, const std::wstring& d) { return unpacker.Unpack(x, d); }},
            };
            if (!Measure(pair, k, work.path(), rounds)) return 1;
            const double size = static_cast<double>(k.bytes) / (1024.0 * 1024.0);
            std::printf("%s (%s): %.1f MB unpacked, best of %d rounds:\n", given.first.c_str(),
                        harness::Narrow(k.archive).c_str(), size, rounds);
            PrintTimes(pair, size);
            std::printf("ratio %s: %s / %s: %.2f\n", given.first.c_str(), kObject, pair[0].name,
                        pair[0].best / pair[1].best);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
    return 0;
}

// Unpacks a generated stored RAR archive (~200 MB in ~2000 files by default) with
// UnRAR.dll and prints its throughput as a ratio to plain copying of the same files.
// Every way of unpacking is one Method; further ones (for example the installer's
// unpacking object with its events) are added to the list and compared to any other.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <functional>
#include <string>
#include <vector>

#include "Harness.h"
#include "RarWriter.h"
#include "UnrarLibrary.h"
#include "common/Handle.h"

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

}  // namespace

int main(int argc, char** argv) {
    unsigned long long totalMb = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 200;
    unsigned files = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 2000;
    if (totalMb == 0 || files == 0) {
        std::fprintf(stderr, "usage: bench_unrar [total MB] [files]\n");
        return 2;
    }
    try {
        UnrarLibrary lib;
        if (!lib.loaded()) {
            std::fprintf(stderr, "UnRAR.dll not usable: %s\n", lib.missing().c_str());
            return 1;
        }
        harness::TempDir work(L"unrarbench");
        std::printf("generating %llu MB in %u files...\n", totalMb, files);
        Corpus c = Generate(work.path(), totalMb * 1024 * 1024, files);

        std::vector<Method> methods = {
            {"plain copy", CopyAll},
            {"UnRAR.dll direct", [&](const Corpus& k, const std::wstring& d) { return UnrarDirect(lib, k, d); }},
            // Reading, checking and reporting without writing: the extractor's own share.
            {"UnRAR.dll test only",
             [&](const Corpus& k, const std::wstring& d) { return UnrarDirect(lib, k, d, RAR_TEST); }},
        };
        const int rounds = 3;
        for (int r = 0; r < rounds; ++r) {
            for (Method& m : methods) {
                std::wstring dest = Join(work.path(), L"out");
                double t0 = Now();
                bool ok = m.run(c, dest);
                double t = Now() - t0;
                harness::RemoveTree(dest);
                if (!ok) {
                    std::fprintf(stderr, "%s failed\n", m.name);
                    return 1;
                }
                if (m.best == 0 || t < m.best) m.best = t;
            }
        }
        const double mb = static_cast<double>(c.bytes) / (1024.0 * 1024.0);
        std::printf("%.1f MB in %zu files, best of %d rounds:\n", mb, c.names.size(), rounds);
        for (const Method& m : methods) std::printf("  %-24s %8.3f s %9.1f MB/s\n", m.name, m.best, mb / m.best);
        // Throughput ratios (higher is faster): every method against plain copying.
        const Method& copy = methods[0];
        for (size_t i = 1; i < methods.size(); ++i)
            std::printf("ratio %s / %s: %.2f\n", methods[i].name, copy.name, copy.best / methods[i].best);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
    return 0;
}

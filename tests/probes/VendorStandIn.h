#pragma once
// A vendor compatibility library for one test: the stand-in DLL copied under the
// vendor's file name into a scratch folder that becomes this process's DLL search
// folder, with its answer chosen through the environment and its log read back.
#include <windows.h>

#include <string>
#include <vector>

#include "Harness.h"

// One at a time per process: the scratch folder is the process's single DLL folder.
class VendorStandIn {
public:
    // builtName: the stand-in in the bin folder, or null for a folder without the library.
    VendorStandIn(const wchar_t* builtName, const wchar_t* vendorName);
    ~VendorStandIn();
    VendorStandIn(const VendorStandIn&) = delete;
    VendorStandIn& operator=(const VendorStandIn&) = delete;

    // The library's return value and, when given, the word it writes into the reasons argument.
    void Answer(DWORD result);
    void Answer(DWORD result, DWORD reasons);

    // The lines the library logged ("load", "call ...", "unload").
    std::vector<std::string> Log() const;
    std::vector<std::string> Calls() const;
    // Call lines also name the calling thread.
    void LogThreads();
    // The scratch folder holding the library.
    const std::wstring& Folder() const { return dir_.path(); }
    // Whether the library is mapped into this process now.
    bool Loaded() const;

private:
    harness::TempDir dir_;
    std::wstring vendorName_;
    std::wstring log_;
};

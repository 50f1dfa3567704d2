#pragma once
// The child side of the robustness run for the script bridge: the installer window up
// with a page of ours in it, whose script calls window.external with hostile arguments,
// batch by batch as the engine would call page functions.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "SharedRecord.h"
#include "common/ComPtr.h"

namespace fuzz {

class PageFuzzer {
public:
    // The row's name in the robustness table.
    static const wchar_t kName[];

    PageFuzzer(unsigned seed, SharedRecord* record, std::wstring scratch);

    // Creates the singleton control, its window, and navigates to the fuzzing page.
    HRESULT Setup();
    // Makes calls first..last (1-based). Every call's values come from the seed and its
    // number alone, so a restarted child continues the same sequence.
    void Run(LONG first, LONG last);

private:
    // Runs calls [first, first + count) in the page; the number the page made, or -1.
    LONG Batch(LONG first, LONG count);
    void Describe(const std::wstring& text);

    unsigned seed_;
    SharedRecord* record_;
    std::wstring scratch_;
    common::ComPtr<IDispatch> control_;
    common::ComPtr<IDispatch> state_;
};

}  // namespace fuzz

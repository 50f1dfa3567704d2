#pragma once
// The record a fuzzing child shares with the parent that watches it: the call in
// progress (so a hang or a crash can be named) and the child's tallies.
#include <windows.h>

namespace fuzz {

// HRESULT families the tallies are kept by.
enum Family {
    kOk,
    kFalse,
    kOtherSuccess,
    kDispatchError,  // DISP_E_* and TYPE_E_*
    kInvalidArg,
    kPointer,
    kNotImpl,
    kFail,
    kOutOfMemory,
    kWin32,
    kOtherError,
    kFamilyCount
};

const wchar_t* FamilyName(int family);
int FamilyOf(HRESULT hr);

struct SharedRecord {
    volatile LONG callIndex;  // 1-based number of the call in progress or last made
    volatile LONG finished;   // the child ran to its end
    volatile LONG crashed;    // the child's crash handler ran
    DWORD crashCode;
    wchar_t current[1024];    // the call in progress, described
    LONG calls;               // calls made by this child (from its first call on)
    LONG families[kFamilyCount];
    LONG boxes;               // message boxes the child's answerer had to close
    wchar_t firstBox[512];    // the call in progress when the first box was seen, and its text
    double seconds;
    // Floors after the warm-up and at the end, measuredCalls calls apart (GrowthMeter).
    LONG measuredCalls;
    LONGLONG privateBytes[2];
    LONG handles[2];
    LONG gdiObjects[2];
    LONG userObjects[2];
    LONG keptReferences;      // references to our objects the server still holds at the end
    wchar_t firstKept[512];   // the first call after which the server held one more of them
    wchar_t policy[2048];     // methods skipped and bounded for this class
    LONG keptNotCounted;      // the calls passed none of our objects: keptReferences means nothing
    LONG scriptErrors;        // page script: calls that threw in the page
    LONG pageFailures;        // page script: batches the page did not run to their end
};

}  // namespace fuzz

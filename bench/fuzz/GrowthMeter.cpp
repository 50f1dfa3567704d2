#include "GrowthMeter.h"

#include <algorithm>

namespace fuzz {

namespace {
template <class T>
void Min(T& floor, T value) {
    if (floor < 0 || value < floor) floor = value;
}

// Private memory committed in the process's own address space: every heap, stack and
// VirtualAlloc region, as the system charges it. The memory counters Wine reports are
// the host process's resident anonymous pages instead, and where Wine itself runs
// under an emulator these include the emulator's buffer of translated code, which
// rises in 2 MB steps (huge pages) whenever code not run before is translated: a
// class that leaks nothing then shows a step after the warm-up as "growth".
LONGLONG CommittedPrivateBytes() {
    SYSTEM_INFO system;
    ::GetSystemInfo(&system);
    const BYTE* at = static_cast<const BYTE*>(system.lpMinimumApplicationAddress);
    const BYTE* const end = static_cast<const BYTE*>(system.lpMaximumApplicationAddress);
    LONGLONG total = 0;
    MEMORY_BASIC_INFORMATION region;
    while (at < end && ::VirtualQuery(at, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += LONGLONG(region.RegionSize);
        const BYTE* next = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return total;
}
}  // namespace

GrowthMeter::GrowthMeter(LONG first, LONG last) {
    const LONG calls = std::max<LONG>(1, last - first + 1);
    const LONG warmUp = std::min<LONG>(1000, std::max<LONG>(1, calls / 10));
    windowLength_ = std::max<LONG>(1, (calls - warmUp) / 4);
    windowStart_[0] = first + warmUp;
    windowStart_[1] = std::max(windowStart_[0] + windowLength_, last - windowLength_ + 1);
    step_ = std::max<LONG>(1, windowLength_ / 25);
}

void GrowthMeter::Lower(Figures& floor) {
    Min<LONGLONG>(floor.privateBytes, CommittedPrivateBytes());
    DWORD handles = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &handles)) Min<LONG>(floor.handles, LONG(handles));
    Min<LONG>(floor.gdi, LONG(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS)));
    Min<LONG>(floor.user, LONG(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS)));
}

void GrowthMeter::AfterCall(LONG index) {
    for (int w = 0; w < 2; ++w) {
        const LONG offset = index - windowStart_[w];
        if (offset >= 0 && offset < windowLength_ && (offset % step_ == 0 || offset == windowLength_ - 1))
            Lower(floor_[w]);
    }
}

void GrowthMeter::Finish(SharedRecord* record) const {
    if (floor_[0].privateBytes < 0 || floor_[1].privateBytes < 0) {
        record->measuredCalls = 0;  // too few calls for two windows
        return;
    }
    for (int w = 0; w < 2; ++w) {
        record->privateBytes[w] = floor_[w].privateBytes;
        record->handles[w] = std::max<LONG>(0, floor_[w].handles);
        record->gdiObjects[w] = std::max<LONG>(0, floor_[w].gdi);
        record->userObjects[w] = std::max<LONG>(0, floor_[w].user);
    }
    record->measuredCalls = windowStart_[1] - windowStart_[0];
}

}  // namespace fuzz

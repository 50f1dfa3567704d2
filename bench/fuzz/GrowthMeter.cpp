#include "GrowthMeter.h"

#include <psapi.h>

#include <algorithm>

namespace fuzz {

namespace {
template <class T>
void Min(T& floor, T value) {
    if (floor < 0 || value < floor) floor = value;
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
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                               sizeof memory))
        Min<LONGLONG>(floor.privateBytes, memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage);
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

#pragma once
// Growth of a fuzzing child's committed private memory, handles, GDI and USER objects, measured as
// the rise of their floor: the lowest figure seen in a window after the warm-up against
// the lowest in the last quarter of the calls. Transient use (a window surface that
// follows a random size, a collection the script engine has not yet made) does not count;
// what is never given back raises the floor.
#include <windows.h>

#include "SharedRecord.h"

namespace fuzz {

class GrowthMeter {
public:
    // Calls first..last will be made.
    GrowthMeter(LONG first, LONG last);
    // After call `index`: samples when it falls in one of the two windows.
    void AfterCall(LONG index);
    // The two floors and the calls between the windows' centres, into the record.
    void Finish(SharedRecord* record) const;

private:
    struct Figures {
        LONGLONG privateBytes = -1;
        LONG handles = -1, gdi = -1, user = -1;
    };
    static void Lower(Figures& floor);

    LONG windowStart_[2];
    LONG windowLength_;
    LONG step_;
    Figures floor_[2];
};

}  // namespace fuzz

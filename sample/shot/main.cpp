// windowshot: saves a picture of a window of another process as a PNG file.
//
//   windowshot <title> <phrase> <progress> <timeout ms> <file.png>
//
// waits until a visible top-level window titled <title> shows a page containing
// <phrase> and (when <progress> is above 0) a progress bar at <progress> or beyond,
// then writes its pixels to <file.png> and prints the page's text. Exit code 0 when
// the picture was written, 1 when no such window came up in time, 2 on usage errors.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <exception>

#include "PngFile.h"
#include "WindowShot.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 6) {
        std::fputs("usage: windowshot <title> <phrase> <progress> <timeout ms> <file.png>\n", stderr);
        return 2;
    }
    sample::WindowShot::Wanted wanted;
    wanted.title = argv[1];
    wanted.pageText = argv[2];
    wanted.progressAtLeast = _wtoi(argv[3]);
    const DWORD timeout = static_cast<DWORD>(_wtoi(argv[4]));

    sample::WindowShot shot;
    if (!shot.WaitFor(wanted, timeout)) {
        std::fputs("windowshot: no such window came up in time\n", stderr);
        return 1;
    }
    if (!shot.Capture()) {
        std::fputs("windowshot: the window's pixels could not be read\n", stderr);
        return 1;
    }
    try {
        sample::PngFile png(shot.width(), shot.height());
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const uint32_t p = shot.pixels()[static_cast<size_t>(y) * shot.width() + x];
                png.Set(x, y, static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p));
            }
        if (!png.Save(argv[5])) {
            std::fputs("windowshot: cannot write the picture\n", stderr);
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "windowshot: %s\n", e.what());
        return 1;
    }
    std::printf("%dx%d, progress %d\n", shot.width(), shot.height(), shot.progress());
    return 0;
}

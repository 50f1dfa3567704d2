#pragma once
// The check an entry's stored name must pass before the library is asked to extract it
// below the destination folder. The unpacker makes it itself, so that no extractor in
// bin\ can be led to write elsewhere or to a device.
#include <cstddef>

namespace unrar {

class EntryName {
public:
    // `name` is the FileName field of the entry's header: `capacity` bytes in the ANSI
    // code page, where every separator, drive colon and dot the library reports survives
    // (characters the code page lacks become other, non-ASCII or '?' characters; the
    // official library already shows a stored ':' as '_'). True
    // when the name stays below the destination: not rooted, no drive, no stream, no
    // "." or ".." component (nor one of dots and spaces only, which Windows trims to
    // one), no device name and no control character. A name that fills the field may
    // have been cut short and can't be judged: false.
    static bool IsSafe(const char* name, std::size_t capacity) noexcept;

private:
    // One component (between separators) of `size` bytes.
    static bool IsSafeComponent(const char* component, std::size_t size) noexcept;
    static bool IsDeviceName(const char* component, std::size_t size) noexcept;
};

}  // namespace unrar

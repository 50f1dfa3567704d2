#pragma once
// Turns an entry name read from an archive into a path relative to the destination
// folder, refusing every name that could reach outside it or name something that is
// not a plain file: absolute paths, drive letters, UNC and device prefixes, "." and
// ".." components, alternate data streams, reserved device names (CON, NUL.txt, ...),
// characters Windows doesn't allow in names, and components ending in a dot or a space
// (Windows would silently strip those, so ".. " would become "..").
#include <stddef.h>

#include "unrar/Text.h"

namespace unrar {

class EntryPath {
public:
    // On success `relative` holds the components joined with backslashes. Both slash
    // kinds separate components; empty components (a//b) are dropped.
    static bool MakeRelative(const wchar_t* name, Text& relative);

    // True when the component (one path element, `length` characters) is a reserved
    // device name, with or without an extension: CON, PRN, AUX, NUL, COM0-9, LPT0-9,
    // CONIN$, CONOUT$.
    static bool IsReservedDeviceName(const wchar_t* component, size_t length);
};

}  // namespace unrar

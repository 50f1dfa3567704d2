#pragma once
// The engine: one Lua state with the standard libraries (Lua 5.0's global loadlib
// among them) and the COM bridge, running the script named on the command line on the
// calling thread, a COM single-threaded apartment.
#include <string>
#include <vector>

namespace scriptdeck {

class ScriptHost {
public:
    // args: this program's path, the script, then the script's arguments. Returns the
    // process exit code: the script's own (os.exit(n), or the number the chunk returns;
    // false gives 1, anything else 0), the quit message's code when one ended the
    // script, 1 after an error (reported on stderr and the debug output), 2 without a
    // script.
    int Run(const std::vector<std::wstring>& args);
};

}  // namespace scriptdeck

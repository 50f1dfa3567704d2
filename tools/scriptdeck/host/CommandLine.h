#pragma once
// The process's command line split the way the C runtime splits it.
#include <string>
#include <vector>

namespace scriptdeck {

class CommandLine {
public:
    // Every argument, the program's path first; empty when the line can't be split.
    static std::vector<std::wstring> Arguments();
};

}  // namespace scriptdeck

#include "scriptdeck/host/CommandLine.h"

#include <windows.h>
#include <shellapi.h>

#include "common/Handle.h"

namespace scriptdeck {

std::vector<std::wstring> CommandLine::Arguments() {
    std::vector<std::wstring> args;
    int count = 0;
    wchar_t** list = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    common::UniqueLocalMem owner(reinterpret_cast<HLOCAL>(list));
    if (!list) return args;
    for (int i = 0; i < count; ++i) args.emplace_back(list[i]);
    return args;
}

}  // namespace scriptdeck

// samplemaker: makes the generated parts of the sample installer package at build time
// (run under Wine by the build):
//
//   samplemaker <package folder> <payload folder> <game program> <licence text>
//
// writes <package folder>\skin\*.bmp and <package folder>\game.rar, and the payload's
// files, exactly as packed, into <payload folder>.
#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>

#include "PayloadBuilder.h"
#include "SkinPainter.h"

namespace {

const char kReadme[] =
    "Sample Game\r\n"
    "===========\r\n"
    "\r\n"
    "This is the game that the sample installer installs. Start it from the Start menu\r\n"
    "or the desktop shortcut; saved games (*.sgsave) open it as well.\r\n"
    "\r\n"
    "data\\      levels and music\r\n"
    "saves\\     an example saved game\r\n";

const char kExampleSave[] = "[save]\r\nlevel=3\r\nscore=12500\r\n";

// Removes what the installer wrote: the registry entries and the game's folder.
const char kUninstall[] =
    "@echo off\r\n"
    "reg delete \"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TessalySampleGame\" /f >nul 2>&1\r\n"
    "reg delete \"HKLM\\Software\\Tessaly\\Sample Game\" /f >nul 2>&1\r\n"
    "reg delete \"HKCR\\.sgsave\" /f >nul 2>&1\r\n"
    "reg delete \"HKCR\\Playdeck.sgsave\" /f >nul 2>&1\r\n"
    "cd /d \"%TEMP%\"\r\n"
    "rmdir /s /q \"%~dp0.\"\r\n";

// Level data: 5 x 600 KB and music 300 KB, about 3.3 MB in all with the program.
constexpr int kLevels = 5;
constexpr size_t kLevelBytes = 600 * 1024;
constexpr size_t kMusicBytes = 300 * 1024;

void Make(const std::wstring& package, const std::wstring& payload, const std::wstring& game,
          const std::wstring& licence) {
    const std::wstring skin = package + L"\\skin";
    ::CreateDirectoryW(package.c_str(), nullptr);
    ::CreateDirectoryW(skin.c_str(), nullptr);
    sample::SkinPainter().WriteAll(skin);

    sample::PayloadBuilder builder(payload, package + L"\\game.rar");
    builder.AddCopy(L"SampleGame.exe", game);
    builder.Add(L"readme.txt", kReadme);
    builder.AddCopy(L"licence.txt", licence);
    builder.Add(L"uninstall.cmd", kUninstall);
    for (int i = 1; i <= kLevels; ++i)
        builder.Add(L"data\\level" + std::to_wstring(i) + L".dat", sample::PayloadBuilder::Noise(kLevelBytes, 1000u + i));
    builder.Add(L"data\\music\\theme.dat", sample::PayloadBuilder::Noise(kMusicBytes, 77u));
    builder.Add(L"saves\\example.sgsave", kExampleSave);
    builder.Finish();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        std::fputs("usage: samplemaker <package folder> <payload folder> <game program> <licence text>\n", stderr);
        return 2;
    }
    try {
        Make(argv[1], argv[2], argv[3], argv[4]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "samplemaker: %s (Windows error %lu)\n", e.what(), ::GetLastError());
        return 1;
    }
    return 0;
}

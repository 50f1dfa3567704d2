// stagehand's string table and sound as the built DLL carries them, read back from
// its resources.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "StringsTestSupport.h"

using stringstest::Placeholders;
using stringstest::ReadStringTable;
using stringstest::StagehandFile;

namespace {

// The English texts the installer's scripts and pages are written against.
const std::map<int, std::wstring>& EnglishTable() {
    static const std::map<int, std::wstring> table = {
        {1001, L"A network related error has occurred. Please ensure your computer is connected to the Internet and "
               L"click Yes to retry now or No to exit."},
        {1002, L"A critical error has occurred which prevents installation. The problem has been reported to Tessaly. "
               L"Please try again."},
        {1004, L"Insufficient disk space for installation. Please ensure you have at least %ls MB available and "
               L"restart installation. "},
        {1005, L"Sorry, Windows has blocked the game downloader from accessing your computer. Make sure your Windows "
               L"user account has full privileges."},
        {1006, L"You have decided not to upgrade.  Please click OK to cleanup installation files. "},
        {1007, L"This version of Playdeck is already installed on your computer. Re-install Playdeck?"},
        {1010, L"Uninstallation Complete!"},
        {1012, L"Please close all applications prior to continuing."},
        {1013, L"Another game is currently being installed. Please complete that installation before downloading "
               L"another game."},
        {1014, L"Sorry, the game downloader can't continue while your web browser and games are open. Please save "
               L"your progress and then close all web browsers and game windows. Then click OK to continue."},
        {1015, L"Invalid game package. Please re-download the package and run when prompted or save with the file "
               L"name provided."},
        {1016, L"This application requires the XP or Vista editions of the Microsoft Windows operating system. "
               L"Installation will now Exit."},
        {1017, L"We've detected that you already downloaded this game. Please choose another game to download."},
        {1018, L"Thank you for requesting this download.  We need to update the Gamefold client.  Please close all "
               L"your browser windows so that the update can successfully complete.  Your game download will "
               L"continue once the update has finished.  Hit retry when you have exited all your browser windows"},
        {1019, L"The game downloader needs to be updated.\n\nPlease close ALL open web browser windows including our "
               L"web site, then click the Retry button to start the update.\n\nIf the update does not start, click "
               L"the Cancel button, reboot your computer and try downloading again."},
        {1020, L"Add or Remove Programs"},
        {1021, L"Control Panel\\Programs and Features"},
        {1022, L"Really cancel installation?"},
        {1023, L"Preparing to install"},
        {1024, L"Setting up game"},
        {1025, L"Configuring System"},
        {1026, L"Downloading game files"},
        {1027, L"Installing game files"},
        {1028, L"Installing game files."},
        {1029, L"Installing upgrade"},
        {1030, L"Downloading upgrade"},
        {1031, L"Sorry, the game downloader must restart the Firefox web browser. Please save your progress and then "
               L"click OK to continue."},
        {1033, L"Game Installer"},
        {1034, L"Games Manager"},
        {1037, L"Downloading  %d of %d game files"},
        {1038, L"Installing %d of %d game files"},
        {1039, L"Your selected drive cannot be accessed.\nPlease select a different folder."},
        {1040, L"Please restart your computer before installing this game again"},
    };
    return table;
}

const wchar_t* const kLanguages[] = {L"German", L"Spanish", L"French", L"Italian", L"Dutch", L"Portuguese",
                                     L"Swedish"};

}  // namespace

TEST(StringTable, EnglishBlockIsExactlyTheInstallersTexts) {
    StagehandFile dll;
    ASSERT_TRUE(dll.get());
    std::vector<LANGID> languages;
    auto table = ReadStringTable(dll.get(), &languages);
    // One language-neutral table: every UI language reads the same blocks.
    ASSERT_FALSE(languages.empty());
    for (LANGID l : languages) EXPECT_EQ(MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), l);

    std::map<int, std::wstring> english(table.lower_bound(0), table.lower_bound(2000));
    ASSERT_EQ(EnglishTable().size(), english.size());
    for (const auto& [id, text] : EnglishTable()) {
        ASSERT_TRUE(english.count(id)) << id;
        // Unit for unit, blanks and line feeds included.
        EXPECT_EQ(text.size(), english[id].size()) << id;
        EXPECT_TRUE(text == english[id]) << id << ": " << harness::Narrow(english[id]);
    }
}

TEST(StringTable, EveryLanguageBlockTranslatesEachTextButTheCountersKeepingPlaceholders) {
    StagehandFile dll;
    ASSERT_TRUE(dll.get());
    auto table = ReadStringTable(dll.get());
    for (const auto& [id, text] : table) EXPECT_TRUE(id >= 1001 && id <= 8040) << "stray string " << id;

    for (int block = 1; block <= 7; ++block) {
        SCOPED_TRACE(harness::Narrow(kLanguages[block - 1]));
        const int offset = block * 1000;
        std::set<int> ids;
        for (auto it = table.lower_bound(1000 + offset); it != table.lower_bound(2000 + offset); ++it)
            ids.insert(it->first - offset);
        std::set<int> expected;
        for (const auto& [id, text] : EnglishTable())
            if (id != 1037 && id != 1038) expected.insert(id);
        EXPECT_EQ(expected, ids);  // 1037 and 1038 are English only

        for (int id : expected) {
            const std::wstring& translated = table[id + offset];
            const std::wstring& english = EnglishTable().at(id);
            EXPECT_EQ(Placeholders(english), Placeholders(translated)) << id + offset;
            // Line feeds give the long texts their paragraphs in every language.
            EXPECT_EQ(std::count(english.begin(), english.end(), L'\n'),
                      std::count(translated.begin(), translated.end(), L'\n'))
                << id + offset;
            // Only the Spanish titles stay English.
            const bool keptEnglish = offset == 2000 && (id == 1033 || id == 1034);
            EXPECT_EQ(keptEnglish, translated == english) << id + offset << ": " << harness::Narrow(translated);
        }
    }
}

namespace {

struct Wave {
    std::string bytes;
    WORD format = 0, channels = 0, bitsPerSample = 0, blockAlign = 0;
    DWORD rate = 0, byteRate = 0;
    std::vector<short> samples;
    size_t dataBytes = 0;
};

DWORD Le32(const std::string& b, size_t at) {
    DWORD v = 0;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
WORD Le16(const std::string& b, size_t at) {
    WORD v = 0;
    std::memcpy(&v, b.data() + at, 2);
    return v;
}

// Parses a RIFF/WAVE file chunk by chunk; fails the test on a malformed file.
void ParseWave(const std::string& b, Wave& w) {
    ASSERT_GE(b.size(), 12u);
    ASSERT_EQ("RIFF", b.substr(0, 4));
    ASSERT_EQ(b.size() - 8, Le32(b, 4));
    ASSERT_EQ("WAVE", b.substr(8, 4));
    size_t at = 12;
    while (at + 8 <= b.size()) {
        const std::string id = b.substr(at, 4);
        const DWORD size = Le32(b, at + 4);
        ASSERT_LE(at + 8 + size, b.size()) << id;
        if (id == "fmt ") {
            ASSERT_GE(size, 16u);
            w.format = Le16(b, at + 8);
            w.channels = Le16(b, at + 10);
            w.rate = Le32(b, at + 12);
            w.byteRate = Le32(b, at + 16);
            w.blockAlign = Le16(b, at + 20);
            w.bitsPerSample = Le16(b, at + 22);
        } else if (id == "data") {
            w.dataBytes = size;
            w.samples.resize(size / 2);
            std::memcpy(w.samples.data(), b.data() + at + 8, w.samples.size() * 2);
        }
        at += 8 + size + (size & 1);
    }
    ASSERT_EQ(b.size(), at);
}

// Strength of one frequency in a stretch of samples (Goertzel).
double Strength(const std::vector<short>& s, size_t from, size_t count, double hz, double rate) {
    const double k = 2 * std::cos(2 * 3.14159265358979 * hz / rate);
    double a = 0, b = 0;
    for (size_t i = from; i < from + count; ++i) {
        double c = s[i] + k * a - b;
        b = a;
        a = c;
    }
    return std::sqrt(a * a + b * b - k * a * b) / count;
}

}  // namespace

TEST(Sound, ChimeIsAShortPcmWaveThatFadesOut) {
    StagehandFile dll;
    ASSERT_TRUE(dll.get());
    HRSRC res = ::FindResourceW(dll.get(), MAKEINTRESOURCEW(2000), L"WAVE");
    ASSERT_TRUE(res);
    const DWORD size = ::SizeofResource(dll.get(), res);
    const char* p = static_cast<const char*>(::LockResource(::LoadResource(dll.get(), res)));
    ASSERT_TRUE(p);
    Wave w;
    ParseWave(std::string(p, size), w);
    if (HasFatalFailure()) return;

    EXPECT_EQ(27848u, size);
    EXPECT_EQ(1, w.format);  // PCM
    EXPECT_EQ(1, w.channels);
    EXPECT_EQ(22050u, w.rate);
    EXPECT_EQ(16, w.bitsPerSample);
    EXPECT_EQ(2, w.blockAlign);
    EXPECT_EQ(44100u, w.byteRate);
    ASSERT_EQ(27804u, w.dataBytes);  // 0.63 s

    // Audible and never clipped; silent at both ends so it starts and stops without a click.
    int peak = 0;
    for (short s : w.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_GT(peak, 8000);
    EXPECT_LT(peak, 32767);
    EXPECT_EQ(0, w.samples.front());
    for (size_t i = w.samples.size() - 16; i < w.samples.size(); ++i) EXPECT_LT(std::abs(w.samples[i]), 64) << i;

    // A tone, not noise: the first note (C6) stands far above a frequency the chime
    // doesn't have, and the last note (G6) sounds by the end.
    EXPECT_GT(Strength(w.samples, 0, 1800, 1046.5, 22050), 20 * Strength(w.samples, 0, 1800, 700, 22050));
    EXPECT_GT(Strength(w.samples, 5000, 1800, 1568.0, 22050), 5 * Strength(w.samples, 5000, 1800, 700, 22050));
}

// Localized messages of ignition.exe. Wine takes a process's UI language from the LC_ALL
// of its Unix environment, which a child inherits from its parent and which a Windows
// environment block can't change; so this program runs once per locale with LC_ALL set
// by CTest, and each run checks the language its ignition child shows.
#include <gtest/gtest.h>

#include <map>

#include "IgnitionRun.h"
#include "InstallerFolder.h"

using launchertest::InstallerFolder;
using launchertest::RunProcess;
using launchertest::RunResult;

namespace {

struct Expected {
    LANGID language;
    std::wstring caption;    // 1019 + offset
    std::wstring textStart;  // beginning of 1018 + offset
};

const std::wstring kEnglishCaption = L"You need administration rights to install this game";
const std::wstring kEnglishText = L"You don\u2019t have authorized administration rights on this computer.";

// By the locale name before the code set.
const std::map<std::string, Expected>& Table() {
    static const std::map<std::string, Expected> table = {
        {"de_DE", {0x0407, L"Du musst \u00fcber Administratorenrechte verf\u00fcgen, um das Spiel zu installieren",
                   L"Du verf\u00fcgst auf diesem Computer nicht \u00fcber die n\u00f6tigen Administratorenrechte."}},
        {"de_CH", {0x0807, L"Du musst \u00fcber Administratorenrechte verf\u00fcgen, um das Spiel zu installieren",
                   L"Du verf\u00fcgst auf diesem Computer nicht \u00fcber die n\u00f6tigen Administratorenrechte."}},
        {"es_ES", {0x0C0A, L"Necesitas derechos de administraci\u00f3n para instalar este juego",
                   L"No tienes derechos de administraci\u00f3n en este equipo. Cierra la sesi\u00f3n en  este"}},
        {"fr_FR", {0x040C, L"Pour installer ce jeu, vous devez disposer des droits d\u2019administrateur ",
                   L"Vous ne disposez pas des droits d\u2019administrateur pour cet ordinateur."}},
        {"it_IT", {0x0410, L"Devi disporre dei privilegi di amministratore per installare questo gioco",
                   L"Non disponi dei privilegi di amministratore autorizzato su questo computer."}},
        {"nl_NL", {0x0413, L"Je moet gebruikersrechten hebben om dit spel te installeren",
                   L"Je hebt op deze computer geen geautorizeerde gebruikersrechten."}},
        {"pt_BR", {0x0416, L"Voc\u00ea precisa de direitos de administrador para instalar o jogo",
                   L"Voc\u00ea n\u00e3o possui direitos de administrador autorizados neste computador."}},
        {"sv_SE", {0x041D,
                   L"Du beh\u00f6ver administrat\u00f6rs beh\u00f6righet f\u00f6r att installera det h\u00e4r spelet",
                   L"Du saknar administrat\u00f6rs beh\u00f6righet f\u00f6r den h\u00e4r datorn."}},
        {"ja_JP", {0x0411, kEnglishCaption, kEnglishText}},
        {"en_US", {0x0409, kEnglishCaption, kEnglishText}},
    };
    return table;
}

std::string Locale() {
    char value[64] = "";
    DWORD n = ::GetEnvironmentVariableA("LC_ALL", value, sizeof value);
    std::string locale(value, n < sizeof value ? n : 0);
    return locale.substr(0, locale.find('.'));
}

const Expected* ForThisRun() {
    auto it = Table().find(Locale());
    return it == Table().end() ? nullptr : &it->second;
}

RunResult RunIgnition(const InstallerFolder& folder) {
    return RunProcess(L"\"" + folder.Exe() + L"\"", folder.path());
}

}  // namespace

TEST(LauncherLanguage, ChildProcessHasTheLocalesUiLanguage) {
    const Expected* expected = ForThisRun();
    if (!expected) GTEST_SKIP() << "LC_ALL not set by the test run";
    const std::wstring probe = L"\"" + harness::Join(harness::BinDir(), L"launcher_probe.exe") + L"\" uilang";
    RunResult r = RunProcess(probe, L"");
    EXPECT_EQ(expected->language, r.exitCode);
}

TEST(LauncherLanguage, AdministratorMessageIsInTheUiLanguage) {
    const Expected* expected = ForThisRun();
    if (!expected) GTEST_SKIP() << "LC_ALL not set by the test run";
    InstallerFolder folder;
    folder.SetUnregisterResult(E_ACCESSDENIED);  // regsvr32 exits with 5
    RunResult r = RunIgnition(folder);
    EXPECT_EQ(5u, r.exitCode);
    ASSERT_EQ(1u, r.boxes.size());
    EXPECT_EQ(expected->caption, r.boxes[0].caption);
    EXPECT_EQ(0u, r.boxes[0].text.find(expected->textStart)) << harness::Narrow(r.boxes[0].text);
}

TEST(LauncherLanguage, UnregistrationMessageIsEnglishInEveryLanguage) {
    if (!ForThisRun()) GTEST_SKIP() << "LC_ALL not set by the test run";
    InstallerFolder folder;
    folder.RemoveStagehand();  // regsvr32 exits with 3
    RunResult r = RunIgnition(folder);
    EXPECT_EQ(3u, r.exitCode);
    ASSERT_EQ(1u, r.boxes.size());
    EXPECT_EQ(L"", r.boxes[0].caption);
    EXPECT_EQ(L"Failed to register COM object. Error: 3", r.boxes[0].text);
}

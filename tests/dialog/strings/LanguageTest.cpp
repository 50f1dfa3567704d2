// The control's texts in the user's UI language. Wine takes a process's UI language
// from the LC_ALL of its Unix environment, so this program runs once per locale with
// LC_ALL set by CTest; each run checks the block of its language.
#include <gtest/gtest.h>

#include "StringsTestSupport.h"

using common::Variant;
using harness::BoxAnswerer;
using harness::Call;
using harness::I4;
using harness::Str;
using stringstest::Control;
using stringstest::ControlVtable;
using stringstest::LoopEnds;

namespace {

struct Expected {
    LANGID language;
    std::wstring cancel;      // 1022
    std::wstring diskSpace;   // 1004 with "250" for %ls
    std::wstring title;       // 1033
    std::wstring drive;       // 1039, with its line feed
    bool hasCounters;         // 1037 and 1038 exist only in English
    std::wstring japanese;    // 日本語 after the trip through the ANSI code page
};

const std::wstring kJapanese = L"\u65e5\u672c\u8a9e";

const Expected kEnglish = {
    0x0409, L"Really cancel installation?",
    L"Insufficient disk space for installation. Please ensure you have at least 250 MB available and restart "
    L"installation. ",
    L"Game Installer", L"Your selected drive cannot be accessed.\nPlease select a different folder.", true, L"???"};

const Expected kGerman = {
    0x0407, L"Installation wirklich abbrechen?",
    L"Nicht gen\u00fcgend Speicherplatz f\u00fcr die Installation. Bitte sorge daf\u00fcr, dass mindestens 250 MB "
    L"frei sind, und starte die Installation neu.",
    L"Spielinstallation",
    L"Auf das ausgew\u00e4hlte Laufwerk kann nicht zugegriffen werden.\nBitte w\u00e4hle einen anderen Ordner aus.",
    false, L"???"};

// By the locale name before the code set.
const std::map<std::string, Expected>& Table() {
    static const std::map<std::string, Expected> table = {
        {"en_US", kEnglish},
        {"de_DE", kGerman},
        {"de_CH", [] {
             Expected e = kGerman;  // every German-speaking region reads the German block
             e.language = 0x0807;
             return e;
         }()},
        {"es_ES",
         {0x0C0A, L"\u00bfSeguro que quieres cancelar la instalaci\u00f3n?",
          L"No hay suficiente espacio en disco para la instalaci\u00f3n. Aseg\u00farate de tener al menos 250 MB "
          L"libres y vuelve a iniciar la instalaci\u00f3n.",
          L"Game Installer",
          L"No se puede acceder a la unidad seleccionada.\nSelecciona otra carpeta.", false, L"???"}},
        {"fr_FR",
         {0x040C, L"Voulez-vous vraiment annuler l\u2019installation\u00a0?",
          L"Espace disque insuffisant pour l\u2019installation. Veuillez lib\u00e9rer au moins 250 Mo, puis "
          L"relancez l\u2019installation.",
          L"Installation du jeu",
          L"Impossible d\u2019acc\u00e9der au lecteur s\u00e9lectionn\u00e9.\nVeuillez s\u00e9lectionner un autre "
          L"dossier.",
          false, L"???"}},
        {"it_IT",
         {0x0410, L"Vuoi davvero annullare l\u2019installazione?",
          L"Spazio su disco insufficiente per l\u2019installazione. Assicurati di avere almeno 250 MB liberi e "
          L"riavvia l\u2019installazione.",
          L"Installazione gioco",
          L"Impossibile accedere all\u2019unit\u00e0 selezionata.\nSeleziona un\u2019altra cartella.", false,
          L"???"}},
        {"nl_NL",
         {0x0413, L"Weet je zeker dat je de installatie wilt annuleren?",
          L"Onvoldoende schijfruimte voor de installatie. Zorg dat er minstens 250 MB vrij is en start de "
          L"installatie opnieuw.",
          L"Game-installatie", L"Het geselecteerde station is niet toegankelijk.\nSelecteer een andere map.", false,
          L"???"}},
        {"pt_BR",
         {0x0416, L"Deseja mesmo cancelar a instala\u00e7\u00e3o?",
          L"Espa\u00e7o em disco insuficiente para a instala\u00e7\u00e3o. Verifique se h\u00e1 pelo menos 250 MB "
          L"dispon\u00edveis e reinicie a instala\u00e7\u00e3o.",
          L"Instalador de jogos",
          L"N\u00e3o \u00e9 poss\u00edvel acessar a unidade selecionada.\nSelecione outra pasta.", false, L"???"}},
        {"sv_SE",
         {0x041D, L"Vill du verkligen avbryta installationen?",
          L"Det finns inte tillr\u00e4ckligt med diskutrymme f\u00f6r installationen. Se till att minst 250 MB "
          L"\u00e4r ledigt och starta om installationen.",
          L"Spelinstallation", L"Det g\u00e5r inte att komma \u00e5t den valda enheten.\nV\u00e4lj en annan mapp.",
          false, L"???"}},
        {"ja_JP", [] {
             Expected e = kEnglish;  // a language without a block of its own reads English
             e.language = 0x0411;
             e.japanese = kJapanese;  // code page 932 holds it
             return e;
         }()},
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

std::wstring StringById(IDispatch* ctl, INT id) {
    return harness::AsString(*harness::CallOk(ctl, L"GetStringById", {I4(id)}).get());
}

// The caption the system gives a box without one, in this run's language.
std::wstring SystemDefaultCaption() {
    BoxAnswerer boxes(IDOK, ::GetCurrentProcessId());
    ::MessageBoxW(nullptr, L"probe", nullptr, MB_OK);
    auto seen = boxes.Seen();
    return seen.empty() ? L"?" : seen[0].caption;
}

}  // namespace

TEST(Language, StringsAndLocaleComeFromTheUiLanguagesBlock) {
    const Expected* expected = ForThisRun();
    if (!expected) GTEST_SKIP() << "LC_ALL not set by the test run";
    auto ctl = Control();
    ASSERT_TRUE(ctl);
    EXPECT_EQ(expected->language, harness::AsLong(*harness::CallOk(ctl.get(), L"GetUserLocale").get()));
    EXPECT_EQ(expected->cancel, StringById(ctl.get(), 1022));
    EXPECT_EQ(expected->title, StringById(ctl.get(), 1033));
    EXPECT_EQ(expected->drive, StringById(ctl.get(), 1039));

    // The counters exist in English only: no fallback for the other languages.
    auto itf = ControlVtable();
    ASSERT_TRUE(itf);
    for (INT id : {1037, 1038}) {
        BSTR text = nullptr;
        EXPECT_HR(expected->hasCounters ? S_OK : S_FALSE, itf->GetStringById(id, &text)) << id;
        EXPECT_EQ(expected->hasCounters, text != nullptr) << id;
        ::SysFreeString(text);
    }

    EXPECT_EQ(L"Spiel " + expected->japanese,
              harness::AsString(*harness::CallOk(ctl.get(), L"Utf32beToUtf8", {Str(L"Spiel " + kJapanese)}).get()));
}

TEST(Language, BoxesShowTheUiLanguagesTexts) {
    const Expected* expected = ForThisRun();
    if (!expected) GTEST_SKIP() << "LC_ALL not set by the test run";
    const std::wstring defaultCaption = SystemDefaultCaption();
    auto ctl = Control();
    ASSERT_TRUE(ctl);
    BoxAnswerer boxes(IDNO, ::GetCurrentProcessId());
    Variant r;
    EXPECT_HR(S_OK, Call(ctl.get(), L"DisplayErrorYN", {I4(1022)}, r.get()));
    EXPECT_FALSE(harness::AsBool(*r.get()));
    boxes.SetButton(IDOK);
    EXPECT_HR(S_OK, Call(ctl.get(), L"DisplayError", {I4(1004), Str(L"250")}));
    EXPECT_TRUE(LoopEnds(5000));

    auto seen = boxes.Seen();
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(expected->cancel, seen[0].text);
    EXPECT_EQ(expected->diskSpace, seen[1].text);
    for (const auto& box : seen) EXPECT_EQ(defaultCaption, box.caption);  // no caption before Create
}

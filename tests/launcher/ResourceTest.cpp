// The shipped ignition.exe as a file: its string table, version resource and imports.
#include <gtest/gtest.h>

#include <map>

#include "Harness.h"
#include "common/Handle.h"

namespace {

std::wstring IgnitionPath() { return harness::Join(harness::BinDir(), L"ignition.exe"); }

// The exact texts; non-ASCII characters spelled out so the source encoding can't matter.
const std::map<UINT, std::wstring>& ExpectedStrings() {
    static const std::map<UINT, std::wstring> texts = {
        {1016, L"This application requires the XP or Vista editions of the Microsoft Windows operating system. "
               L"Installation will now Exit."},
        {1018, L"You don\u2019t have authorized administration rights on this computer. Please log out from this "
               L"computer, and then log in as a user with administration rights. If you don\u2019t have the rights, "
               L"please contact the person who does have them, so he or she can install the game for you."},
        {1019, L"You need administration rights to install this game"},
        {2016, L"Diese Anwendung setzt die Versionen XP oder Vista des Betriebssystems Windows voraus. Das "
               L"Installationsprogramm wird jetzt beendet."},
        {2018, L"Du verf\u00fcgst auf diesem Computer nicht \u00fcber die n\u00f6tigen Administratorenrechte. Bitte "
               L"melde dich von diesem Computer ab und melde dich dann als Benutzer mit Administratorenrechten "
               L"erneut an. Falls du nicht \u00fcber die Rechte verf\u00fcgst, bitte einfach den berechtigten "
               L"Administrator, das Spiel f\u00fcr dich zu installieren."},
        {2019, L"Du musst \u00fcber Administratorenrechte verf\u00fcgen, um das Spiel zu installieren"},
        {3016, L"Esta aplicaci\u00f3n necesita las versiones XP o Vista del sistema operativo Microsoft Windows. La "
               L"instalaci\u00f3n finalizar\u00e1 ahora."},
        {3018, L"No tienes derechos de administraci\u00f3n en este equipo. Cierra la sesi\u00f3n en  este ordenador "
               L"y despu\u00e9s con\u00e9ctate como usuario con derechos de administraci\u00f3n. Si no tienes tales "
               L"derechos, ponte en contacto con la persona que los tenga para que \u00e9l/ella pueda instalar el "
               L"juego."},
        {3019, L"Necesitas derechos de administraci\u00f3n para instalar este juego"},
        {4016, L"Cette application n\u00e9cessite les \u00e9ditions XP ou Vista du syst\u00e8me d'exploitation "
               L"Microsoft Windows. L'installation va maintenant quitter."},
        {4018, L"Vous ne disposez pas des droits d\u2019administrateur pour cet ordinateur. Veuillez vous "
               L"d\u00e9connecter, puis vous reconnecter en tant qu\u2019utilisateur poss\u00e9dant les droits "
               L"d\u2019administrateur. Si vous n\u2019\u00eates pas en possession de ces droits, veuillez contacter "
               L"la personne qui les poss\u00e8de afin qu\u2019il ou qu\u2019elle vous installe le jeu."},
        {4019, L"Pour installer ce jeu, vous devez disposer des droits d\u2019administrateur "},
        {5016, L"Questa applicazione richiede le edizioni XP o Vista del sistema operativo Microsoft Windows. "
               L"L'installazione verr\u00e0 ora abortita."},
        {5018, L"Non disponi dei privilegi di amministratore autorizzato su questo computer. Effettua il logout da "
               L"questo computer e quindi rieffettua il login come utente fornito di privilegi di amministratore. Se "
               L"non ne hai il diritto, contatta l\u2019amministratore del computer e fai installare il gioco per te "
               L"da questa persona."},
        {5019, L"Devi disporre dei privilegi di amministratore per installare questo gioco"},
        {6016, L"Voor deze applicatie heb je Windows XP of Windows Vista nodig. De installatie wordt nu afgebroken."},
        {6018, L"Je hebt op deze computer geen geautorizeerde gebruikersrechten. Log uit van deze computer en log "
               L"daarna in als gebruiker met gebruikersrechten. Als je deze rechten niet hebt, neem dan contact op "
               L"met de persoon die ze heeft, zodat hij of zij het spel voor je kan installeren."},
        {6019, L"Je moet gebruikersrechten hebben om dit spel te installeren"},
        {7016, L"Esse programa exige as edi\u00e7\u00f5es XP ou Vista do sistema operacional Microsoft Windows.  "
               L"Agora, a instala\u00e7\u00e3o ser\u00e1 Fechada."},
        {7018, L"Voc\u00ea n\u00e3o possui direitos de administrador autorizados neste computador. Desconecte-se "
               L"deste computador e conecte-se novamente como usu\u00e1rio com direitos de administrador. Se "
               L"voc\u00ea n\u00e3o possui esse direito, entre em contato com quem possui, pois esta pessoa pode "
               L"instalar o jogo para voc\u00ea."},
        {7019, L"Voc\u00ea precisa de direitos de administrador para instalar o jogo"},
        {8016, L"Detta program kv\u00e4ver Microsoft XP eller Vista. Installationen kommer nu avslutas."},
        {8018, L"Du saknar administrat\u00f6rs beh\u00f6righet f\u00f6r den h\u00e4r datorn. Logga d\u00e4rf\u00f6r ut "
               L"fr\u00e5n den h\u00e4r datorn, och logga sedan in som en anv\u00e4ndare med administrat\u00f6rs "
               L"beh\u00f6righet. Har du inte administrat\u00f6rs beh\u00f6righet? Kontakta den person som har "
               L"beh\u00f6righeten, s\u00e5 att hon och han kan installera spelet \u00e5t dig."},
        {8019, L"Du beh\u00f6ver administrat\u00f6rs beh\u00f6righet f\u00f6r att installera det h\u00e4r spelet"},
    };
    return texts;
}

// The string as stored (LoadStringW with no buffer points into the resource).
bool StoredString(HMODULE module, UINT id, std::wstring& out) {
    const wchar_t* p = nullptr;
    int n = ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&p), 0);
    if (n <= 0 || !p) return false;
    out.assign(p, static_cast<size_t>(n));
    return true;
}

// Names of the DLLs a PE file imports, and its subsystem.
bool ReadImports(const std::string& file, std::vector<std::string>& dlls, WORD& subsystem) {
    if (file.size() < sizeof(IMAGE_DOS_HEADER)) return false;
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data());
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew + sizeof(IMAGE_NT_HEADERS32) > file.size()) return false;
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(file.data() + dos->e_lfanew);
    subsystem = nt->OptionalHeader.Subsystem;
    auto sections = IMAGE_FIRST_SECTION(nt);
    auto toOffset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const auto& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.Misc.VirtualSize)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return 0;
    };
    DWORD importRva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    size_t off = toOffset(importRva);
    if (!off) return false;
    for (;; off += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        if (off + sizeof(IMAGE_IMPORT_DESCRIPTOR) > file.size()) return false;
        auto d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(file.data() + off);
        if (d->Name == 0) break;
        size_t name = toOffset(d->Name);
        if (!name || name >= file.size()) return false;
        std::string n(file.data() + name, strnlen(file.data() + name, file.size() - name));
        for (auto& c : n) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        dlls.push_back(n);
    }
    return true;
}

}  // namespace

TEST(IgnitionResources, StringTableHoldsEveryLanguageExactly) {
    common::UniqueModule module(::LoadLibraryExW(IgnitionPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module);
    for (const auto& [id, text] : ExpectedStrings()) {
        std::wstring stored;
        ASSERT_TRUE(StoredString(module.get(), id, stored)) << id;
        EXPECT_EQ(text, stored) << "string " << id;
    }
    // 1017 is English in all eight blocks.
    for (UINT offset = 0; offset <= 7000; offset += 1000) {
        std::wstring stored;
        ASSERT_TRUE(StoredString(module.get(), 1017 + offset, stored)) << offset;
        EXPECT_EQ(L"Failed to register COM object. Error: %1", stored) << 1017 + offset;
    }
    // The characters a resource compiler tends to lose.
    std::wstring s;
    ASSERT_TRUE(StoredString(module.get(), 1018, s));
    EXPECT_EQ(2u, static_cast<size_t>(std::count(s.begin(), s.end(), L'\u2019')));
    ASSERT_TRUE(StoredString(module.get(), 4019, s));
    EXPECT_EQ(L' ', s.back());
    ASSERT_TRUE(StoredString(module.get(), 3018, s));
    EXPECT_NE(std::wstring::npos, s.find(L"sesi\u00f3n en  este"));
    ASSERT_TRUE(StoredString(module.get(), 7016, s));
    EXPECT_NE(std::wstring::npos, s.find(L"Windows.  Agora"));
}

TEST(IgnitionResources, CaptionIdZeroFindsNoStringInAnyLanguage) {
    common::UniqueModule module(::LoadLibraryExW(IgnitionPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module);
    wchar_t buf[64];
    for (UINT offset = 0; offset <= 7000; offset += 1000) {
        EXPECT_EQ(0, ::LoadStringW(module.get(), offset, buf, 64)) << offset;
        EXPECT_EQ(0, ::LoadStringW(module.get(), offset + 1020, buf, 64)) << offset;
    }
}

TEST(IgnitionResources, GuiProgramWithVersionAndOnlySystemImports) {
    std::vector<std::string> dlls;
    WORD subsystem = 0;
    ASSERT_TRUE(ReadImports(harness::ReadFile(IgnitionPath()), dlls, subsystem));
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, subsystem);
    const std::vector<std::string> system = {"kernel32.dll", "user32.dll", "advapi32.dll",
                                             "shell32.dll",  "shlwapi.dll", "msvcrt.dll"};
    EXPECT_FALSE(dlls.empty());
    for (const auto& d : dlls) EXPECT_NE(system.end(), std::find(system.begin(), system.end(), d)) << d;

    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeW(IgnitionPath().c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(IgnitionPath().c_str(), 0, size, info.data()));
    wchar_t* name = nullptr;
    UINT len = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\StringFileInfo\\040904b0\\OriginalFilename",
                                 reinterpret_cast<void**>(&name), &len));
    EXPECT_STREQ(L"ignition.exe", name);
}

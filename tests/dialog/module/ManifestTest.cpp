// The side-by-side manifest embedded in stagehand.dll (resource type 24, id 1).
#include <gtest/gtest.h>

#include <string>

#include "Harness.h"

namespace {
std::string EmbeddedManifest() {
    HMODULE m = ::LoadLibraryExW(harness::Join(harness::BinDir(), L"stagehand.dll").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE);
    if (!m) return {};
    std::string text;
    if (HRSRC r = ::FindResourceW(m, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
        if (HGLOBAL g = ::LoadResource(m, r))
            text.assign(static_cast<const char*>(::LockResource(g)), ::SizeofResource(m, r));
    }
    ::FreeLibrary(m);
    return text;
}
}  // namespace

TEST(Manifest, ComClassesInOrderWithCommonControlsDependency) {
    const std::string xml = EmbeddedManifest();
    ASSERT_FALSE(xml.empty());
    EXPECT_NE(std::string::npos, xml.find("<assemblyIdentity version=\"1.0.0.0\" processorArchitecture=\"x86\" "
                                          "name=\"stagehand\" type=\"win32\"/>"));
    EXPECT_NE(std::string::npos, xml.find("<description>stagehand Application</description>"));
    EXPECT_NE(std::string::npos, xml.find("<typelib tlbid=\"{12631F96-F37E-4975-81D5-16E871EE557B}\" "
                                          "version=\"1.0\" helpdir=\"\"/>"));
    const char* order[] = {"PebbleUtil.RegAccess",     "PebbleUtil.ShellCtl", "PebbleUtil.CookieCtl",
                           "Stagehand.InstallDlgCtl", "PebbleUtil.ProcessMgr", "PebbleUtil.UnRar",
                           "DOZUvidaruve.StateCtrl"};
    size_t at = 0;
    for (const char* progId : order) {
        size_t found = xml.find(std::string("progid=\"") + progId + "\"", at);
        ASSERT_NE(std::string::npos, found) << progId << " missing or out of order";
        at = found;
    }
    size_t classes = 0;
    for (size_t p = xml.find("<comClass "); p != std::string::npos; p = xml.find("<comClass ", p + 1)) {
        const std::string element = xml.substr(p, xml.find("/>", p) - p);
        EXPECT_NE(std::string::npos, element.find("threadingModel=\"both\""));
        EXPECT_NE(std::string::npos, element.find("tlbid=\"{12631F96-F37E-4975-81D5-16E871EE557B}\""));
        ++classes;
    }
    EXPECT_EQ(7u, classes);
    EXPECT_NE(std::string::npos, xml.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" "
                                          "processorArchitecture=\"x86\" publicKeyToken=\"6595b64144ccf1df\" "
                                          "language=\"*\""));
}

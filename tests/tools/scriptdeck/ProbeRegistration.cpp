// deckprobe.dll, the bridge's test object, registered with the real regsvr32 for the
// run (fixture set-up) and unregistered at its end (clean-up).
#include <gtest/gtest.h>

#include "Harness.h"

namespace {

const wchar_t kClsid[] = L"{CC77C479-B99A-4E1D-A1A8-92F21BE4320A}";

std::wstring Dll() { return harness::Join(harness::BinDir(), L"deckprobe.dll"); }

}  // namespace

TEST(DeckProbeRegister, ThroughRegsvr32) {
    ASSERT_EQ(0u, harness::Regsvr32(Dll(), false));
    EXPECT_EQ(kClsid, harness::StringValue(HKEY_CLASSES_ROOT, L"DeckProbe.Probe\\CLSID"));
}

TEST(DeckProbeUnregister, ThroughRegsvr32) {
    EXPECT_EQ(0u, harness::Regsvr32(Dll(), true));
    EXPECT_FALSE(harness::KeyExists(HKEY_CLASSES_ROOT, L"DeckProbe.Probe"));
}

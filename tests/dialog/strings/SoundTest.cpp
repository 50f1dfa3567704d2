// PlayPDSound: the chime resource handed to the platform's player, and what Wine
// answers without a sound device.
#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>

#include <cstring>

#include "StringsTestSupport.h"

using harness::Call;
using harness::I4;
using stringstest::Control;

namespace {

// Replaces one imported function of a loaded module while alive: the module's import
// address table entry is pointed at a stand-in.
class ImportPatch {
public:
    ImportPatch(HMODULE module, const char* dll, const char* function, void* replacement) {
        auto* base = reinterpret_cast<BYTE*>(module);
        auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (!dir.VirtualAddress) return;
        for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
            if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
            auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
                auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
                slot_ = reinterpret_cast<void**>(&slots->u1.Function);
                DWORD old = 0;
                ::VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &old);
                original_ = *slot_;
                *slot_ = replacement;
                ::VirtualProtect(slot_, sizeof(void*), old, &old);
                return;
            }
        }
    }
    ~ImportPatch() {
        if (!slot_) return;
        DWORD old = 0;
        ::VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &old);
        *slot_ = original_;
        ::VirtualProtect(slot_, sizeof(void*), old, &old);
    }
    bool applied() const { return slot_ != nullptr; }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

// What the stand-in player received.
struct PlayerLog {
    int calls = 0;
    UINT flags = 0;
    std::string wave;
    bool finished = false;
    BOOL answer = TRUE;
} player;

BOOL WINAPI StandInPlay(LPCWSTR sound, UINT flags) {
    ++player.calls;
    player.flags = flags;
    const char* p = reinterpret_cast<const char*>(sound);
    DWORD riffSize = 0;
    std::memcpy(&riffSize, p + 4, 4);
    player.wave.assign(p, riffSize + 8);  // a RIFF file says its own length
    ::Sleep(300);                         // "playing"
    player.finished = true;
    return player.answer;
}

std::string ChimeBytes() {
    stringstest::StagehandFile dll;
    HRSRC res = ::FindResourceW(dll.get(), MAKEINTRESOURCEW(2000), L"WAVE");
    if (!res) return std::string();
    return std::string(static_cast<const char*>(::LockResource(::LoadResource(dll.get(), res))),
                       ::SizeofResource(dll.get(), res));
}

}  // namespace

TEST(Sound, ChimeIsHandedToThePlayerWholeAndPlayedToTheEnd) {
    auto ctl = Control();
    ASSERT_TRUE(ctl);
    const std::string chime = ChimeBytes();
    ASSERT_EQ(27848u, chime.size());
    HMODULE server = ::GetModuleHandleW(L"stagehand.dll");
    ASSERT_TRUE(server);
    ImportPatch patch(server, "winmm.dll", "sndPlaySoundW", reinterpret_cast<void*>(&StandInPlay));
    ASSERT_TRUE(patch.applied());

    player = PlayerLog();
    EXPECT_HR(S_OK, Call(ctl.get(), L"PlayPDSound", {harness::UI4(2000)}));
    EXPECT_EQ(1, player.calls);
    // From memory, synchronously (no SND_ASYNC), no default sound in its place.
    EXPECT_EQ(static_cast<UINT>(SND_MEMORY | SND_NODEFAULT), player.flags);
    EXPECT_TRUE(player.wave == chime);
    EXPECT_TRUE(player.finished);  // returned only after the sound

    // A player that fails: E_FAIL.
    player = PlayerLog();
    player.answer = FALSE;
    EXPECT_HR(E_FAIL, harness::CallScode(ctl.get(), L"PlayPDSound", {harness::UI4(2000)}));
    EXPECT_EQ(1, player.calls);

    // No such sound: the player is never asked.
    player = PlayerLog();
    EXPECT_HR(E_FAIL, harness::CallScode(ctl.get(), L"PlayPDSound", {harness::UI4(1)}));
    EXPECT_EQ(0, player.calls);
}

TEST(Sound, WithoutASoundDeviceWineRefusesToPlayAndTheCallFails) {
    // The test prefix has no audio driver: Wine's synchronous player answers FALSE at
    // once, which the control reports as E_FAIL after saying why on the debug channel.
    auto ctl = Control();
    ASSERT_TRUE(ctl);
    harness::DebugCapture debug;
    EXPECT_HR(E_FAIL, harness::CallScode(ctl.get(), L"PlayPDSound", {harness::UI4(2000)}));
    EXPECT_TRUE(debug.WaitFor("ResourceSound::Play could not play the sound")) << debug.Text();
    EXPECT_EQ(std::string::npos, debug.Text().find("found no sound"));
    debug.Clear();
    EXPECT_HR(E_FAIL, harness::CallScode(ctl.get(), L"PlayPDSound", {harness::UI4(1)}));
    EXPECT_TRUE(debug.WaitFor("ResourceSound::Play found no sound Error: 0x716")) << debug.Text();
}

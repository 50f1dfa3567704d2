#pragma once
// The machine identifier: 16 bytes shown as 32 upper-case hexadecimal digits, the
// bytewise XOR of the MD5 digests of four 16-byte blocks (computer name, Windows
// volume, network adapter, processor). A block that can't be read adds nothing.
// Identifiers made earlier are stored elsewhere, so the blocks must never change.
#include <windows.h>
#include <nb30.h>

#include <array>
#include <string>

namespace stagehand {

// The platform calls the identifier is made from. System() gives the real ones;
// a test may supply its own to describe another machine.
struct MachineIdApi {
    BOOL(WINAPI* getComputerNameA)(LPSTR name, LPDWORD size);
    UINT(WINAPI* getWindowsDirectoryA)(LPSTR buffer, UINT size);
    BOOL(WINAPI* getVolumeInformationA)(LPCSTR root, LPSTR volumeName, DWORD volumeNameSize, LPDWORD serial,
                                        LPDWORD maxComponent, LPDWORD fsFlags, LPSTR fsName, DWORD fsNameSize);
    UCHAR(APIENTRY* netbios)(PNCB ncb);
    // CPUID function 0: EAX, EBX, ECX, EDX in that order.
    void (*cpuid0)(DWORD regs[4]);

    static const MachineIdApi& System() noexcept;
};

class MachineId {
public:
    using Digest = std::array<BYTE, 16>;

    explicit MachineId(const MachineIdApi& api = MachineIdApi::System()) noexcept : api_(api) {}

    // The 16 identifier bytes.
    Digest Compute() const noexcept;
    // The identifier as 32 upper-case hexadecimal digits.
    std::wstring Text() const;
    static std::wstring Format(const Digest& id);

private:
    using Block = std::array<BYTE, 16>;
    bool ComputerNameBlock(Block& block) const noexcept;
    bool WindowsVolumeBlock(Block& block) const noexcept;
    bool AdapterBlock(Block& block) const noexcept;
    void ProcessorBlock(Block& block) const noexcept;

    const MachineIdApi& api_;
};

}  // namespace stagehand

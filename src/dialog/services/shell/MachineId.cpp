#include "dialog/services/shell/MachineId.h"

#include <new>

#include <wincrypt.h>
#include <cpuid.h>

#include <cstring>

#include "common/Format.h"
#include "common/Handle.h"

namespace stagehand {

namespace {

struct CryptProvTraits {
    using Type = HCRYPTPROV;
    static HCRYPTPROV Invalid() noexcept { return 0; }
    static bool IsValid(HCRYPTPROV p) noexcept { return p != 0; }
    static void Close(HCRYPTPROV p) noexcept { ::CryptReleaseContext(p, 0); }
};
struct CryptHashTraits {
    using Type = HCRYPTHASH;
    static HCRYPTHASH Invalid() noexcept { return 0; }
    static bool IsValid(HCRYPTHASH h) noexcept { return h != 0; }
    static void Close(HCRYPTHASH h) noexcept { ::CryptDestroyHash(h); }
};
using UniqueCryptProv = common::UniqueResource<CryptProvTraits>;
using UniqueCryptHash = common::UniqueResource<CryptHashTraits>;

void RealCpuid0(DWORD regs[4]) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    __cpuid(0, a, b, c, d);
    regs[0] = a;
    regs[1] = b;
    regs[2] = c;
    regs[3] = d;
}

// The base RSA provider; a user without a default key container gets one made.
UniqueCryptProv AcquireProvider() noexcept {
    UniqueCryptProv prov;
    if (!::CryptAcquireContextA(prov.put(), nullptr, MS_DEF_PROV_A, PROV_RSA_FULL, 0) &&
        !::CryptAcquireContextA(prov.put(), nullptr, MS_DEF_PROV_A, PROV_RSA_FULL, CRYPT_NEWKEYSET))
        return UniqueCryptProv();
    return prov;
}

// XORs the MD5 digest of one 16-byte block into id. A block that can't be hashed
// leaves id unchanged.
void Fold(HCRYPTPROV prov, const std::array<BYTE, 16>& block, MachineId::Digest& id) noexcept {
    if (!prov) return;
    UniqueCryptHash hash;
    if (!::CryptCreateHash(prov, CALG_MD5, 0, 0, hash.put())) return;
    if (!::CryptHashData(hash.get(), block.data(), static_cast<DWORD>(block.size()), 0)) return;
    BYTE digest[16] = {};
    DWORD size = sizeof digest;
    if (!::CryptGetHashParam(hash.get(), HP_HASHVAL, digest, &size, 0) || size != sizeof digest) return;
    for (size_t i = 0; i < id.size(); ++i) id[i] ^= digest[i];
}

}  // namespace

const MachineIdApi& MachineIdApi::System() noexcept {
    static const MachineIdApi api = {&::GetComputerNameA, &::GetWindowsDirectoryA, &::GetVolumeInformationA,
                                     &::Netbios, &RealCpuid0};
    return api;
}

// The NetBIOS name in the ANSI code page, at most 15 characters, zero-filled.
bool MachineId::ComputerNameBlock(Block& block) const noexcept {
    block.fill(0);
    DWORD size = static_cast<DWORD>(block.size());
    return api_.getComputerNameA(reinterpret_cast<LPSTR>(block.data()), &size) != FALSE;
}

// Bytes 0-11: the serial of the Windows volume as lower-case hex text, zero-filled;
// bytes 12-14: the root of the Windows directory ("C:\"); byte 15: zero.
bool MachineId::WindowsVolumeBlock(Block& block) const noexcept {
    block.fill(0);
    char windir[MAX_PATH + 1] = {};
    UINT n = api_.getWindowsDirectoryA(windir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    const char drive = windir[0];
    const bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    if (!letter || windir[1] != ':' || windir[2] != '\\') return false;
    windir[3] = '\0';
    DWORD serial = 0;
    if (!api_.getVolumeInformationA(windir, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) return false;
    char hex[12] = {};
    common::FormatText(hex, sizeof hex, "%lx", static_cast<unsigned long>(serial));
    std::memcpy(block.data(), hex, std::strlen(hex));  // at most 8 characters
    std::memcpy(block.data() + 12, windir, 3);
    return true;
}

// The first 16 bytes of the adapter status of the first LAN adapter that answers:
// the MAC address, revision, adapter type and three 16-bit counters.
bool MachineId::AdapterBlock(Block& block) const noexcept {
    block.fill(0);
    LANA_ENUM lanas = {};
    static_assert(sizeof(LANA_ENUM) == 256, "enumeration buffer");
    NCB ncb = {};
    ncb.ncb_command = NCBENUM;
    ncb.ncb_buffer = reinterpret_cast<PUCHAR>(&lanas);
    ncb.ncb_length = sizeof lanas;
    if (api_.netbios(&ncb) != NRC_GOODRET || lanas.length == 0) return false;

    const UCHAR count = lanas.length < MAX_LANA + 1 ? lanas.length : static_cast<UCHAR>(MAX_LANA + 1);
    for (UCHAR i = 0; i < count; ++i) {
        ncb = NCB{};
        ncb.ncb_command = NCBRESET;
        ncb.ncb_lana_num = lanas.lana[i];
        api_.netbios(&ncb);  // a failed reset shows in the status query that follows

        UCHAR status[600] = {};
        ncb = NCB{};
        ncb.ncb_command = NCBASTAT;
        ncb.ncb_lana_num = lanas.lana[i];
        std::memcpy(ncb.ncb_callname, "*               ", NCBNAMSZ);
        ncb.ncb_buffer = status;
        ncb.ncb_length = sizeof status;
        if (api_.netbios(&ncb) == NRC_GOODRET) {
            std::memcpy(block.data(), status, block.size());
            return true;
        }
    }
    return false;
}

// Bytes 0-3: the highest standard CPUID function (low 16 bits, little-endian);
// bytes 4-15: the vendor text in register order EBX, EDX, ECX.
void MachineId::ProcessorBlock(Block& block) const noexcept {
    block.fill(0);
    DWORD regs[4] = {};
    api_.cpuid0(regs);
    const DWORD highest = regs[0] & 0xFFFFu;
    const DWORD vendor[3] = {regs[1], regs[3], regs[2]};
    for (int i = 0; i < 4; ++i) block[i] = static_cast<BYTE>(highest >> (8 * i));
    for (int r = 0; r < 3; ++r)
        for (int i = 0; i < 4; ++i) block[4 + 4 * r + i] = static_cast<BYTE>(vendor[r] >> (8 * i));
}

MachineId::Digest MachineId::Compute() const noexcept {
    Digest id = {};
    // One provider for the process: acquiring and releasing it for every identifier
    // costs the platform's provider a handle each time. It is never released.
    static UniqueCryptProv* const shared = new (std::nothrow) UniqueCryptProv(AcquireProvider());
    HCRYPTPROV prov = shared ? shared->get() : 0;
    UniqueCryptProv own;
    if (!prov) {
        own = AcquireProvider();
        prov = own.get();
    }
    Block block;
    if (ComputerNameBlock(block)) Fold(prov, block, id);
    if (WindowsVolumeBlock(block)) Fold(prov, block, id);
    if (AdapterBlock(block)) Fold(prov, block, id);
    ProcessorBlock(block);
    Fold(prov, block, id);
    return id;
}

std::wstring MachineId::Format(const Digest& id) {
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring text;
    text.reserve(32);
    for (BYTE b : id) {
        text += digits[b >> 4];
        text += digits[b & 0xF];
    }
    return text;
}

std::wstring MachineId::Text() const { return Format(Compute()); }

}  // namespace stagehand

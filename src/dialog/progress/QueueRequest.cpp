#include "dialog/progress/QueueRequest.h"

#include <algorithm>

namespace stagehand {

namespace {

constexpr wchar_t kLineFeed = L'\n';

bool HoldsSeparator(const wchar_t* text, size_t length) {
    return std::any_of(text, text + length, [](wchar_t c) { return c == kLineFeed || c == L'\0'; });
}

// Reads one field from text[pos...] up to its line feed; the field may hold at most
// `limit` characters. Advances pos past the line feed.
bool ReadField(const wchar_t* text, size_t units, size_t& pos, size_t limit, std::wstring& field) {
    const size_t start = pos;
    while (pos < units) {
        const wchar_t c = text[pos];
        if (c == kLineFeed) {
            field.assign(text + start, pos - start);
            ++pos;
            return true;
        }
        if (c == L'\0' || pos - start >= limit) return false;
        ++pos;
    }
    return false;
}

}  // namespace

HRESULT QueueRequest::Format(const wchar_t* gameId, size_t gameIdLength, const wchar_t* tps, size_t tpsLength,
                             const wchar_t* gameName, size_t gameNameLength, std::vector<wchar_t>& block) {
    if (HoldsSeparator(gameId, gameIdLength) || HoldsSeparator(tps, tpsLength) ||
        HoldsSeparator(gameName, gameNameLength))
        return E_INVALIDARG;
    // Each length is below the block's size before they are added, so the sum can't wrap.
    if (gameIdLength >= kBlockUnits || tpsLength >= kBlockUnits || gameNameLength >= kBlockUnits ||
        gameIdLength + tpsLength + gameNameLength + 4 > kBlockUnits)
        return E_INVALIDARG;

    std::vector<wchar_t> out(kBlockUnits, L'\0');
    auto at = out.begin();
    at = std::copy(gameId, gameId + gameIdLength, at);
    *at++ = kLineFeed;
    at = std::copy(tps, tps + tpsLength, at);
    *at++ = kLineFeed;
    at = std::copy(gameName, gameName + gameNameLength, at);
    *at++ = kLineFeed;
    block.swap(out);
    return S_OK;
}

bool QueueRequest::Parse(const wchar_t* text, size_t units) {
    if (!text) return false;
    units = std::min(units, kViewUnits);
    size_t pos = 0;
    std::wstring id, t, name;
    if (!ReadField(text, units, pos, kMaxGameId, id) || !ReadField(text, units, pos, kMaxTps, t) ||
        !ReadField(text, units, pos, kMaxGameName, name))
        return false;
    gameId.swap(id);
    tps.swap(t);
    gameName.swap(name);
    return true;
}

}  // namespace stagehand

#pragma once
// A queued download request as one installer process hands it to another: game id, TPS and
// game name, each ended by a line feed, then a terminating NUL, in UTF-16. The sender
// writes it as a block of 1024 units (2048 bytes); the receiver reads no more than the
// first 512 units (1024 bytes) and accepts a game id and a TPS of at most 127 characters
// and a game name of at most 255.
#include <windows.h>

#include <string>
#include <vector>

namespace stagehand {

class QueueRequest {
public:
    static constexpr size_t kBlockUnits = 1024;  // what the sender writes
    static constexpr size_t kViewUnits = 512;    // what the receiver reads at most
    static constexpr size_t kMaxGameId = 127;
    static constexpr size_t kMaxTps = 127;
    static constexpr size_t kMaxGameName = 255;

    // The block for the three texts (length-counted, so embedded characters are seen).
    // E_INVALIDARG, with block untouched, when a text holds a line feed or a NUL (either
    // would shift the fields) or when the texts, their line feeds and the terminator do
    // not fit the block. What follows the terminator is zero.
    static HRESULT Format(const wchar_t* gameId, size_t gameIdLength, const wchar_t* tps, size_t tpsLength,
                          const wchar_t* gameName, size_t gameNameLength, std::vector<wchar_t>& block);

    // Reads a request from the first `units` characters of text (never more, never more
    // than kViewUnits). False, leaving the fields as they were, when a field reaches its
    // limit, a NUL or the end of what may be read before its line feed.
    bool Parse(const wchar_t* text, size_t units);

    std::wstring gameId, tps, gameName;
};

}  // namespace stagehand

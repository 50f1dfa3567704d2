#pragma once
// Cached pages of the installer's content server: InitFrame drops them so that the
// installer shows the server's current pages.

namespace stagehand {

class ContentServerCache {
public:
    // The content server this build talks to (a plain lower-case host name).
    static const wchar_t* Host() noexcept;
    // Deletes every WinINet URL-cache entry with a local file (cookies aside) whose
    // source URL contains the host name, compared without regard to ASCII case.
    static void Purge(const wchar_t* host);
};

}  // namespace stagehand

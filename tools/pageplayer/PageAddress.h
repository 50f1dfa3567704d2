#pragma once
// The address of a page: what Navigate and script were given, resolved to a local file
// and its query string. Local pages are Windows paths ("C:\dir\page.html?x=1") or file:
// URLs ("file:///C:/dir/page.html?x=1"); relative addresses resolve against the page
// that is showing. When PAGEPLAYER_WEB_ROOT names a folder, http: and https: addresses
// are played from it as a web server would serve them ("http://host/dir/a.html" from
// "<root>\host\dir\a.html") and keep their own address. Anything else (res:, ...) is
// not loadable here.
#include <string>

namespace pageplayer {

class PageAddress {
public:
    PageAddress() = default;
    // Resolves text against base (may be null). Surrounding white space is ignored.
    static PageAddress Resolve(const std::wstring& text, const PageAddress* base);

    // A file to read (existing or not): a local page, or a web page from the web root.
    bool IsFile() const { return kind_ == Kind::File; }
    // A web address played from the web root.
    bool IsWeb() const { return web_; }
    // about:blank: an empty page.
    bool IsBlank() const { return kind_ == Kind::Blank; }
    // "javascript:..." addresses (links and location assignments run the code).
    bool IsScript() const { return kind_ == Kind::Script; }

    // The full address the page shows as location.href and the browser's LocationURL:
    // "file:///C:/dir/page.html?x=1#part" for local files, the text itself otherwise.
    const std::wstring& Href() const { return href_; }
    // The Windows path of a local file.
    const std::wstring& Path() const { return path_; }
    // "?x=1" or empty; "#part" or empty.
    const std::wstring& Search() const { return search_; }
    const std::wstring& Hash() const { return hash_; }
    // "file:", "about:", "http:", ...
    std::wstring Protocol() const;
    // The path part as a URL ("/C:/dir/page.html") for location.pathname.
    std::wstring PathName() const;
    // The code of a javascript: address.
    const std::wstring& ScriptCode() const { return path_; }

private:
    enum class Kind { None, File, Blank, Script, Other };
    void SetFile(const std::wstring& path, const std::wstring& search, const std::wstring& hash);
    // "http://host/dir/a.html?x#y" served from root.
    static PageAddress Web(const std::wstring& url, const std::wstring& root);
    // A relative address against this web page's address.
    std::wstring WebRelative(const std::wstring& text) const;

    Kind kind_ = Kind::None;
    std::wstring href_;
    std::wstring path_;
    std::wstring search_;
    std::wstring hash_;
    bool web_ = false;
};

}  // namespace pageplayer

#include "tools/pageplayer/PageAddress.h"

#include <windows.h>

#include <cwctype>
#include <vector>

namespace pageplayer {

namespace {

std::wstring Trim(const std::wstring& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::iswspace(s[b])) ++b;
    while (e > b && std::iswspace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool StartsWithNoCase(const std::wstring& s, const wchar_t* prefix) {
    size_t n = wcslen(prefix);
    return s.size() >= n && ::CompareStringOrdinal(s.c_str(), static_cast<int>(n), prefix, static_cast<int>(n), TRUE) ==
                                CSTR_EQUAL;
}

// "C:\x", "C:/x" or "\\server\share": a Windows path.
bool IsWindowsPath(const std::wstring& s) {
    if (s.size() >= 3 && std::iswalpha(s[0]) && s[1] == L':' && (s[2] == L'\\' || s[2] == L'/')) return true;
    return s.size() >= 2 && s[0] == L'\\' && s[1] == L'\\';
}

// "scheme:" of two or more characters (a drive letter is not a scheme).
bool HasScheme(const std::wstring& s) {
    size_t i = 0;
    while (i < s.size() && (std::iswalnum(s[i]) || s[i] == L'+' || s[i] == L'-' || s[i] == L'.')) ++i;
    return i >= 2 && i < s.size() && s[i] == L':' && std::iswalpha(s[0]);
}

// Splits "path?query#hash" into its three parts (query and hash keep their marks).
void SplitSuffixes(const std::wstring& s, std::wstring& path, std::wstring& search, std::wstring& hash) {
    size_t h = s.find(L'#');
    std::wstring rest = h == std::wstring::npos ? s : s.substr(0, h);
    hash = h == std::wstring::npos ? std::wstring() : s.substr(h);
    size_t q = rest.find(L'?');
    path = q == std::wstring::npos ? rest : rest.substr(0, q);
    search = q == std::wstring::npos ? std::wstring() : rest.substr(q);
}

// Decodes %XX escapes (UTF-8 sequences included) of a URL path.
std::wstring PercentDecode(const std::wstring& s) {
    std::string bytes;
    std::wstring out;
    auto flush = [&]() {
        if (bytes.empty()) return;
        int n = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
        if (n > 0) {
            std::wstring w(static_cast<size_t>(n), L'\0');
            ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &w[0], n);
            out += w;
        }
        bytes.clear();
    };
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == L'%' && i + 2 < s.size() && std::iswxdigit(s[i + 1]) && std::iswxdigit(s[i + 2])) {
            bytes += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            flush();
            out += s[i];
        }
    }
    flush();
    return out;
}

// "file:///C:/dir/a%20b.html" -> "C:\dir\a b.html"; "file://server/share/x" -> "\\server\share\x".
std::wstring PathFromFileUrl(const std::wstring& url) {
    std::wstring rest = url.substr(5);  // after "file:"
    std::wstring path;
    if (rest.compare(0, 3, L"///") == 0) {
        path = rest.substr(3);
    } else if (rest.compare(0, 2, L"//") == 0) {
        rest = rest.substr(2);
        // file://C:/x (a drive right after the slashes) or file://server/share.
        if (rest.size() >= 2 && std::iswalpha(rest[0]) && (rest[1] == L':' || rest[1] == L'|'))
            path = rest;
        else
            path = L"\\\\" + rest;
    } else {
        path = rest;
        while (!path.empty() && (path[0] == L'/' || path[0] == L'\\')) path.erase(0, 1);
    }
    path = PercentDecode(path);
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    if (path.size() >= 2 && path[1] == L'|') path[1] = L':';
    return path;
}

// "C:\dir\a b.html" -> "file:///C:/dir/a%20b.html", the form a browser shows.
std::wstring FileUrlFromPath(const std::wstring& path) {
    std::wstring body = path;
    for (auto& c : body)
        if (c == L'\\') c = L'/';
    std::wstring out = L"file://";
    if (body.compare(0, 2, L"//") == 0)
        body = body.substr(2);  // UNC: file://server/share/...
    else
        out += L'/';
    for (wchar_t c : body) {
        if (c == L' ') {
            out += L"%20";
        } else if (c == L'%') {
            out += L"%25";
        } else if (c == L'#' || c == L'?') {
            wchar_t buf[4];
            wsprintfW(buf, L"%%%02X", static_cast<unsigned>(c));
            out += buf;
        } else {
            out += c;
        }
    }
    return out;
}

// Full, canonical Windows path ("..", "." and "/" resolved).
std::wstring FullPath(const std::wstring& path) {
    std::wstring p = path;
    for (auto& c : p)
        if (c == L'/') c = L'\\';
    DWORD n = ::GetFullPathNameW(p.c_str(), 0, nullptr, nullptr);
    if (n == 0) return p;
    std::vector<wchar_t> buf(n + 1);
    DWORD m = ::GetFullPathNameW(p.c_str(), n + 1, buf.data(), nullptr);
    if (m == 0 || m > n) return p;
    return std::wstring(buf.data(), m);
}

std::wstring Directory(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// The folder web addresses are served from; empty when none is set.
std::wstring WebRoot() {
    wchar_t buf[MAX_PATH] = {};
    DWORD n = ::GetEnvironmentVariableW(L"PAGEPLAYER_WEB_ROOT", buf, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(buf, n) : std::wstring();
}

bool IsWebUrl(const std::wstring& s) { return StartsWithNoCase(s, L"http://") || StartsWithNoCase(s, L"https://"); }

}  // namespace

PageAddress PageAddress::Web(const std::wstring& url, const std::wstring& root) {
    PageAddress a;
    std::wstring path, search, hash;
    SplitSuffixes(url, path, search, hash);
    const size_t start = path.find(L"//") + 2;
    size_t slash = path.find(L'/', start);
    std::wstring host = path.substr(start, slash == std::wstring::npos ? std::wstring::npos : slash - start);
    std::wstring rest = slash == std::wstring::npos ? L"/" : path.substr(slash);
    const size_t colon = host.find(L':');
    if (colon != std::wstring::npos) host.resize(colon);
    std::wstring local = PercentDecode(rest);
    for (auto& c : local)
        if (c == L'/') c = L'\\';
    // ".." can't climb out of the host's folder: the path is made full first, as a
    // server would, and a path outside the host folder serves nothing.
    const std::wstring hostFolder = FullPath(root + L"\\" + host);
    std::wstring file = FullPath(hostFolder + local);
    if (file.compare(0, hostFolder.size() + 1, hostFolder + L"\\") != 0) file = hostFolder + L"\\<outside>";
    a.kind_ = Kind::File;
    a.web_ = true;
    a.path_ = file;
    a.search_ = search;
    a.hash_ = hash;
    a.href_ = url;
    return a;
}

std::wstring PageAddress::WebRelative(const std::wstring& text) const {
    std::wstring path, search, hash;
    SplitSuffixes(href_, path, search, hash);
    if (text[0] == L'#') return path + search + text;
    if (text[0] == L'?') return path + text;
    const size_t hostEnd = path.find(L'/', path.find(L"//") + 2);
    if (text[0] == L'/') return (hostEnd == std::wstring::npos ? path : path.substr(0, hostEnd)) + text;
    const size_t last = path.find_last_of(L'/');
    return (hostEnd == std::wstring::npos ? path + L"/" : path.substr(0, last + 1)) + text;
}

void PageAddress::SetFile(const std::wstring& path, const std::wstring& search, const std::wstring& hash) {
    kind_ = Kind::File;
    path_ = FullPath(path);
    search_ = search;
    hash_ = hash;
    href_ = FileUrlFromPath(path_) + search_ + hash_;
}

PageAddress PageAddress::Resolve(const std::wstring& input, const PageAddress* base) {
    PageAddress a;
    const std::wstring text = Trim(input);
    std::wstring path, search, hash;
    if (StartsWithNoCase(text, L"javascript:")) {
        a.kind_ = Kind::Script;
        a.href_ = text;
        a.path_ = text.substr(11);
    } else if (StartsWithNoCase(text, L"about:blank") || text.empty()) {
        a.kind_ = Kind::Blank;
        a.href_ = L"about:blank";
    } else if (StartsWithNoCase(text, L"file:")) {
        SplitSuffixes(text, path, search, hash);
        a.SetFile(PathFromFileUrl(path), search, hash);
    } else if (IsWindowsPath(text)) {
        SplitSuffixes(text, path, search, hash);
        a.SetFile(path, search, hash);
    } else if (IsWebUrl(text) && !WebRoot().empty()) {
        a = Web(text, WebRoot());
    } else if (HasScheme(text)) {
        a.kind_ = Kind::Other;
        a.href_ = text;
        SplitSuffixes(text, path, a.search_, a.hash_);
    } else {
        // Relative to the showing page: "next.html", "../x.html?y", "?y", "#part", "/C:/x".
        if (base && base->web_) return Resolve(base->WebRelative(text), nullptr);
        SplitSuffixes(text, path, search, hash);
        path = PercentDecode(path);
        if (base && base->IsFile()) {
            if (path.empty())
                a.SetFile(base->path_, text[0] == L'#' ? base->search_ : search, hash);
            else if (path[0] == L'/' || path[0] == L'\\')
                a.SetFile(path.size() >= 3 && path[2] == L':' ? path.substr(1) : base->path_.substr(0, 2) + path,
                          search, hash);
            else
                a.SetFile(Directory(base->path_) + path, search, hash);
        } else {
            a.SetFile(path, search, hash);  // relative to the current folder
        }
    }
    return a;
}

std::wstring PageAddress::Protocol() const {
    size_t colon = href_.find(L':');
    return colon == std::wstring::npos ? std::wstring() : href_.substr(0, colon + 1);
}

std::wstring PageAddress::PathName() const {
    if (web_) {
        std::wstring path, search, hash;
        SplitSuffixes(href_, path, search, hash);
        const size_t slash = path.find(L'/', path.find(L"//") + 2);
        return slash == std::wstring::npos ? L"/" : path.substr(slash);
    }
    if (kind_ != Kind::File) return href_.substr(Protocol().size());
    std::wstring url = FileUrlFromPath(path_);
    // "file:///C:/x" -> "/C:/x"; "file://server/share" -> "/share"
    if (url.compare(0, 8, L"file:///") == 0) return url.substr(7);
    size_t slash = url.find(L'/', 7);
    return slash == std::wstring::npos ? L"/" : url.substr(slash);
}

}  // namespace pageplayer

#pragma once
// Where a page that sites one of our objects comes from, and whether the object may serve
// it. An object created by a page is given a site by the page's script engine; through
// that site it can reach the browser (the page's address) and the browser's host. Two
// kinds of page are served: pages of the installer's own window (the host that answers
// kInstallerHostService with a live host identity of this process, or a browser whose
// window lies inside the installer's frame or notification window of this process, as
// the queue browser does) and local files under the installer's folder, whatever window
// shows them. Everything else is refused.
#include <windows.h>
#include <unknwn.h>

#include <string>

namespace stagehand {

class SiteOrigin {
public:
    // Whether an object sited by `site` may serve its caller. Never throws; any failure on
    // the way counts as "no".
    static bool Trusted(IUnknown* site) noexcept;

    // Whether the site leads to the browser host of the installer's window.
    static bool IsInstallerHost(IUnknown* site) noexcept;

    // Whether the site's browser (service SID_SWebBrowserApp) has its window inside a
    // top-level window of this process of the installer's frame or notification class.
    static bool IsInInstallerWindow(IUnknown* site) noexcept;

    // The address of the page behind the site: the browser's LocationURL (service
    // SID_SWebBrowserApp), else the URL of the client site's document; empty when
    // neither is reachable.
    static std::wstring PageUrl(IUnknown* site);

    // Whether url is a local file strictly inside folder: a file: URL or a drive or UNC
    // path, its query and fragment left out, "." and ".." resolved, compared without
    // regard to case. Any other scheme is not.
    static bool IsFileUnder(const std::wstring& url, const std::wstring& folder);

    // The installer's folder: the folder that holds bin\stagehand.dll, i.e. the parent of
    // the folder this server was loaded from when that folder is named "bin", else that
    // folder itself. Empty when the module's path can't be read.
    static std::wstring InstallerFolder();
};

}  // namespace stagehand

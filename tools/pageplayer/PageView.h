#pragma once
// The player's child window: draws the page's title and its text lines in a plain
// layout (bold title, then one paragraph per line, word-wrapped), so a screenshot
// shows the page. WM_GETTEXT answers the drawn text, line by line.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace pageplayer {

class Page;

class PageView {
public:
    PageView() = default;
    ~PageView() { Destroy(); }
    PageView(const PageView&) = delete;
    PageView& operator=(const PageView&) = delete;

    // Creates the window as a visible child of parent, placed at rect.
    HRESULT Create(HWND parent, const RECT& rect);
    void Destroy() noexcept;
    HWND hwnd() const { return hwnd_; }

    // The page to draw (null: an empty page).
    void SetPage(std::shared_ptr<Page> page);
    void Invalidate();
    void Move(const RECT& rect);

    // Draws a page's title and lines into dc within bounds.
    static void Draw(HDC dc, const RECT& bounds, const std::wstring& title, const std::vector<std::wstring>& lines);
    // The drawn text: the title and the lines, separated by "\r\n".
    std::wstring Text() const;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Paint(HDC dc, const RECT& bounds) const;

    HWND hwnd_ = nullptr;
    std::shared_ptr<Page> page_;
};

}  // namespace pageplayer
